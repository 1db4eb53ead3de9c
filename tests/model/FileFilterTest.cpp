#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/FileInfo.h"
#include "model/FileExclude.h"
#include "model/FileInclude.h"
#include "model/TextList.h"
#include "platform/FindRecord.h"

using Tokens = std::vector<std::string>;

namespace {

FileInfo entry(const std::string& path, std::uint32_t attributes = platform::kAttrArchive) {
    platform::FindRecord record;
    record.attributes = attributes;
    return FileInfo(path, record);
}

}  // namespace

TEST(TextList, SplitKeepsInnerEmptyTokensButNotATrailingOne) {
    const struct {
        const char* text;
        Tokens tokens;
    } rows[] = {
        {"", {}},    {"exe", {"exe"}}, {"exe;;bat;", {"exe", "", "bat"}}, {";exe", {"", "exe"}},
        {";", {""}}, {";;", {"", ""}}, {" exe ; bat", {" exe ", " bat"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(splitList(row.text, ';'), row.tokens) << '"' << row.text << '"';
    }
    EXPECT_EQ(splitList("a,b;c", ','), (Tokens{"a", "b;c"}));
}

TEST(TextList, NormalizeDropsEmptyTokensAndEndsEachWithASeparator) {
    const struct {
        const char* text;
        const char* normal;
    } rows[] = {
        {"exe;;bat", "exe;bat;"}, {"exe;bat;", "exe;bat;"}, {"", ""}, {";;;", ""},
        {";exe", "exe;"},         {"EXE;exe", "EXE;exe;"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(normalizeList(row.text), row.normal) << '"' << row.text << '"';
    }
}

TEST(FileExclude, TypesAreASortedSetKeptAsWritten) {
    FileExclude filter;
    filter.setFileTypes("exe;bat;;exe");
    EXPECT_EQ(filter.fileType(), (std::set<std::string>{"bat", "exe"}));
    EXPECT_EQ(filter.getFileTypes(), "bat;exe;");
    filter.setFileTypes("EXE;bat");
    EXPECT_EQ(filter.getFileTypes(), "EXE;bat;");
    filter.setFileTypes(" exe;.old");
    EXPECT_EQ(filter.getFileTypes(), " exe;.old;");
    filter.setFileTypes(";;");
    EXPECT_EQ(filter.getFileTypes(), "");
}

TEST(FileExclude, AttributesReadOnlyTheirExactNamesAndWriteInTableOrder) {
    FileExclude filter;
    filter.setFileAttrs("HIDDEN;hidden;ARCHIVE;;SYSTEM");
    EXPECT_EQ(filter.fileAttr(), 0x6u);
    EXPECT_EQ(filter.getFileAttrs(), "SYSTEM;HIDDEN;");
    filter.setFileAttrs("READONLY;HIDDEN");
    EXPECT_EQ(filter.getFileAttrs(), "HIDDEN;READONLY;");
    filter.setFileAttrs("COMPRESSED;ENCRYPTED;READONLY;HIDDEN;SYSTEM;TEMPORARY");
    EXPECT_EQ(filter.fileAttr(), 0x4907u);
    EXPECT_EQ(filter.getFileAttrs(), "TEMPORARY;SYSTEM;HIDDEN;READONLY;ENCRYPTED;COMPRESSED;");
    filter.setFileAttrs("");
    EXPECT_EQ(filter.fileAttr(), 0u);
    EXPECT_EQ(filter.getFileAttrs(), "");
}

TEST(FileExclude, PathsAreStoredLowerCased) {
    FileExclude filter;
    filter.addFile("/Data/A.DOC");
    filter.addFile("/data/\xC3\x84rger/");  // "Ärger", with a trailing separator
    EXPECT_EQ(filter.fileList(), (std::set<std::string>{"/data/a.doc", "/data/\xC3\xA4rger"}));
    filter.removeFile("/DATA/a.doc");
    EXPECT_EQ(filter.fileList(), (std::set<std::string>{"/data/\xC3\xA4rger"}));
    filter.clearFiles();
    EXPECT_TRUE(filter.fileList().empty());
}

// One filter, every kind of exclusion; each row names an entry and whether the
// change plan must leave it out.
TEST(FileExclude, IsExcludedTable) {
    FileExclude filter;
    filter.addFile("/Data/A.DOC");
    filter.addFile("/data/\xC3\x84rger");
    filter.addFile("/data/tmp/");
    filter.setFileTypes("txt;old; exe;.bak;\xC3\x84X");
    filter.setFileAttrs("HIDDEN");
    const struct {
        const char* path;
        std::uint32_t attributes;
        bool excluded;
    } rows[] = {
        {"/data/a.doc", 0x20, true},
        {"/DATA/a.doc", 0x20, true},
        {"/data/a.doc/inner", 0x20, false},  // only the exact path
        {"/data/a.do", 0x20, false},
        {"/data/\xC3\xA4RGER", 0x10, true},  // "äRGER" against "Ärger"
        {"/data/tmp", 0x10, true},
        {"/data/Notes.TXT", 0x20, true},
        {"/data/notes.txt", 0x20, true},
        {"/data/notes.txt.bak", 0x20, false},
        {"/data/txt", 0x20, false},  // no dot
        {"/data/notes.", 0x20, false},
        {"/data/setup.old", 0x10, true},    // folders too
        {"/data.old/setup", 0x20, false},   // the folder's dot does not count
        {"/data/run.exe", 0x20, false},     // " exe" keeps its blank
        {"/data/run.bak", 0x20, false},     // ".bak" keeps its dot
        {"/data/x.\xC3\xA4x", 0x20, true},  // "äx" against "ÄX"
        {"/data/hidden", 0x22, true},
        {"/data/plain", 0x20, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(filter.isExcluded(entry(row.path, row.attributes)), row.excluded) << row.path;
    }
}

TEST(FileExclude, TypeTestIgnoresCaseOfTheStoredType) {
    FileExclude filter;
    filter.setFileTypes("TXT");
    EXPECT_TRUE(filter.isTypeExcluded(".txt"));
    EXPECT_TRUE(filter.isTypeExcluded(".Txt"));
    EXPECT_FALSE(filter.isTypeExcluded(""));
    EXPECT_FALSE(filter.isTypeExcluded("."));
}

TEST(FileExclude, EmptyFilterExcludesNothing) {
    const FileExclude filter;
    EXPECT_FALSE(filter.isExcluded(entry("/data/x.txt", 0xFFFFFFFFu)));
}

TEST(FileInclude, KeepsPathsUnchangedAndSorted) {
    FileInclude include;
    include.addFile("/b.txt");
    include.addFile("/A.txt");
    include.addFile("/a.txt");
    include.addFile("/A.txt");
    EXPECT_EQ(include.fileList(), (std::set<std::string>{"/A.txt", "/a.txt", "/b.txt"}));
    include.clearFiles();
    EXPECT_TRUE(include.fileList().empty());
}
