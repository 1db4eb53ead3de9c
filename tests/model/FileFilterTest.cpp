#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/FileExclude.h"
#include "model/FileInclude.h"
#include "model/TaskFolder.h"
#include "model/TextList.h"
#include "platform/FindRecord.h"
#include "snapshot/FileInfo.h"

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

// Each row is a way people type a file type; a spelling that excluded nothing
// would let a deleting run remove the mirror-only files the user meant to keep.
TEST(FileExclude, TypedSpellingsOfATypeAllMeanTheSameType) {
    const struct {
        const char* name;
        const char* text;
        const char* normal;
    } rows[] = {
        {"bare", "bak", "bak;"},
        {"shell pattern", "*.bak", "bak;"},
        {"leading dot", ".bak", "bak;"},
        {"leading blank", " bak", "bak;"},
        {"trailing blank", "bak ", "bak;"},
        {"upper case", "BAK", "bak;"},
        {"all at once", " *.BAK\t", "bak;"},
        {"blank after the dot", "*. bak", "bak;"},
        {"stars and dots mixed", "*.*.bak", "bak;"},
        {"two spellings of one type", "bak;*.BAK", "bak;"},
        {"non-ASCII upper case", "*.\xC3\x84X", "\xC3\xA4x;"},  // "ÄX" is "äx"
        {"a set, sorted", "exe;bat;;exe", "bat;exe;"},
        {"nothing but a pattern", "*;.;*.; ;;", ""},
        {"an inner dot stays", "tar.gz", "tar.gz;"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FileExclude filter;
        filter.setFileTypes(row.text);
        EXPECT_EQ(filter.getFileTypes(), row.normal);
        FileExclude reread;  // as the next start reads what was written back
        reread.setFileTypes(filter.getFileTypes());
        EXPECT_EQ(reread.getFileTypes(), row.normal);
        if (std::string_view(row.normal) == "bak;") {
            EXPECT_TRUE(filter.isExcluded(entry("/data/old.bak")));
            EXPECT_TRUE(filter.isExcluded(entry("/data/OLD.BAK")));
            EXPECT_FALSE(filter.isExcluded(entry("/data/bak")));
        }
    }
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
    filter.removeFile("/DATA/./a.doc");
    EXPECT_EQ(filter.fileList(), (std::set<std::string>{"/data/\xC3\xA4rger"}));
    filter.clearFiles();
    EXPECT_TRUE(filter.fileList().empty());
}

// Each row spells the excluded file and the main folder one way; the entry's
// path is built the way the plan builds it, from the stored main folder. A
// spelling that does not match lets a run overwrite or delete the file.
TEST(FileExclude, TypedSpellingsOfAPathAndOfTheMainFolderMatch) {
    const struct {
        const char* name;
        const char* main;
        const char* excluded;
    } rows[] = {
        {"plain", "/srv/main", "/srv/main/secret.key"},
        {"doubled separator", "/srv/main", "/srv/main//secret.key"},
        {"dot component", "/srv/main", "/srv/main/./secret.key"},
        {"trailing separator", "/srv/main", "/srv/main/secret.key/"},
        {"main folder with a trailing separator", "/srv/main/", "/srv/main/secret.key"},
        {"main folder with a doubled separator", "/srv//main", "/srv/main/secret.key"},
        {"main folder with a dot component", "/srv/./main", "/srv/main/secret.key"},
        {"main folder in upper case", "/SRV/MAIN/", "/srv/main/secret.key"},
        {"both odd", "//srv/./main//", "/srv//main/./secret.key/"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TaskFolder folders;
        const TaskFolderItem& pair = folders.addItem(row.main, "/backup");
        FileExclude filter;
        filter.addFile(row.excluded);
        EXPECT_TRUE(filter.isExcluded(entry(pair.main + "/secret.key")));
        EXPECT_FALSE(filter.isExcluded(entry(pair.main + "/secret.key2")));
    }
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
        {"/data/notes.txt.orig", 0x20, false},  // only the last extension counts
        {"/data/txt", 0x20, false},             // no dot
        {"/data/notes.", 0x20, false},
        {"/data/setup.old", 0x10, true},    // folders too
        {"/data.old/setup", 0x20, false},   // the folder's dot does not count
        {"/data/run.exe", 0x20, true},      // " exe" is "exe"
        {"/data/run.bak", 0x20, true},      // ".bak" is "bak"
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

TEST(FileInclude, KeepsNormalPathsSortedInTheirLetterCase) {
    FileInclude include;
    include.addFile("/b.txt");
    include.addFile("/A.txt");
    include.addFile("/a.txt");
    include.addFile("//./A.txt");
    include.addFile("/etc/../b.txt");  // ".." is kept: /etc may be a link
    EXPECT_EQ(include.fileList(),
              (std::set<std::string>{"/A.txt", "/a.txt", "/b.txt", "/etc/../b.txt"}));
    include.clearFiles();
    EXPECT_TRUE(include.fileList().empty());
}
