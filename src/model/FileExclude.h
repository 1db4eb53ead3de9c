#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

class FileInfo;

// Keeps entries out of a run: listed paths, file types by extension, and
// attribute bits. The change plan asks it one question, isExcluded().
class FileExclude {
public:
    struct AttrName {
        std::string_view name;
        std::uint32_t bit;
    };

    // The attribute names the text form uses, upper case, in the order of
    // that text form.
    static const std::array<AttrName, 6>& attrNames();

    // Excluded paths, stored lower-cased in their lexically normal form
    // (platform::lexicallyNormal()), so that "/Data//a/./b/" lists "/data/a/b".
    void addFile(std::string_view path);
    void removeFile(std::string_view path);
    void clearFiles() { m_fileList.clear(); }
    const std::set<std::string>& fileList() const { return m_fileList; }

    // Replaces the types with those of the ";"-separated text, each in its
    // normal form (normalType()); tokens that come out empty are dropped.
    void setFileTypes(std::string_view text);
    // The type a token means, the way people write one: blanks around it and
    // the stars and dots in front of it go, and it is lower-cased. "*.BAK",
    // ".bak", " bak" and "bak " all give "bak"; "*" and "." give "".
    static std::string normalType(std::string_view token);
    // The types in set order, each followed by ";".
    std::string getFileTypes() const;
    const std::set<std::string>& fileType() const { return m_fileType; }

    // Replaces the mask with the bits of the ";"-separated attribute names;
    // tokens that are not exactly one of attrNames() add nothing.
    void setFileAttrs(std::string_view text);
    // The names of the mask's bits in attrNames() order, each followed by ";".
    std::string getFileAttrs() const;
    std::uint32_t fileAttr() const { return m_fileAttr; }

    // The lower-cased path, less a trailing separator, is listed; only the
    // exact path matches. Entry paths are taken as they come (the plan builds
    // them from normal folder paths and names), so they are not normalised.
    bool isFileExcluded(std::string_view path) const;
    // `extension` is a name's extension with its dot (".TXT"); it matches a
    // type regardless of letter case. An empty extension or a lone dot never
    // matches.
    bool isTypeExcluded(std::string_view extension) const;
    bool isAttrExcluded(std::uint32_t attributes) const { return (attributes & m_fileAttr) != 0; }

    // The path test, then the type test on the entry's own name, then the
    // attribute test; folders are tested like files.
    bool isExcluded(const FileInfo& entry) const;

private:
    std::set<std::string> m_fileType;  // normal forms: lower-cased
    std::set<std::string> m_fileList;
    std::uint32_t m_fileAttr = 0;
};
