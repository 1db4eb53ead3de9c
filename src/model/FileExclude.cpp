#include "model/FileExclude.h"

#include "model/TextList.h"
#include "platform/FindRecord.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "snapshot/FileInfo.h"

namespace {

// The form entry paths are compared in. A trailing separator is dropped
// because entry paths never carry one: "/data/tmp/" must still exclude the
// folder "/data/tmp".
std::string comparedPath(std::string_view path) {
    while (path.size() > 1 && path.back() == platform::kSeparator) {
        path.remove_suffix(1);
    }
    return platform::lowerCase(path);
}

}  // namespace

const std::array<FileExclude::AttrName, 6>& FileExclude::attrNames() {
    static const std::array<AttrName, 6> names = {{
        {"TEMPORARY", platform::kAttrTemporary},
        {"SYSTEM", platform::kAttrSystem},
        {"HIDDEN", platform::kAttrHidden},
        {"READONLY", platform::kAttrReadOnly},
        {"ENCRYPTED", platform::kAttrEncrypted},
        {"COMPRESSED", platform::kAttrCompressed},
    }};
    return names;
}

void FileExclude::addFile(std::string_view path) {
    m_fileList.insert(platform::lowerCase(platform::lexicallyNormal(path)));
}

void FileExclude::removeFile(std::string_view path) {
    m_fileList.erase(platform::lowerCase(platform::lexicallyNormal(path)));
}

std::string FileExclude::normalType(std::string_view token) {
    // Blanks, stars and dots in front, in any mix ("*. bak", "*.*bak"), so
    // that the normal form of a normal form is itself.
    while (!token.empty() && (token.front() == ' ' || token.front() == '\t' ||
                              token.front() == '*' || token.front() == '.')) {
        token.remove_prefix(1);
    }
    while (!token.empty() && (token.back() == ' ' || token.back() == '\t')) {
        token.remove_suffix(1);
    }
    return platform::lowerCase(token);
}

void FileExclude::setFileTypes(std::string_view text) {
    m_fileType.clear();
    for (const std::string& token : splitList(text, ';')) {
        if (std::string type = normalType(token); !type.empty()) {
            m_fileType.insert(std::move(type));
        }
    }
}

std::string FileExclude::getFileTypes() const {
    std::string text;
    for (const std::string& type : m_fileType) {
        text += type;
        text += ';';
    }
    return text;
}

void FileExclude::setFileAttrs(std::string_view text) {
    m_fileAttr = 0;
    for (const std::string& token : splitList(text, ';')) {
        for (const AttrName& attr : attrNames()) {
            if (token == attr.name) {
                m_fileAttr |= attr.bit;
            }
        }
    }
}

std::string FileExclude::getFileAttrs() const {
    std::string text;
    for (const AttrName& attr : attrNames()) {
        if ((m_fileAttr & attr.bit) != 0) {
            text += attr.name;
            text += ';';
        }
    }
    return text;
}

bool FileExclude::isFileExcluded(std::string_view path) const {
    return !m_fileList.empty() && m_fileList.contains(comparedPath(path));
}

bool FileExclude::isTypeExcluded(std::string_view extension) const {
    if (extension.starts_with('.')) {
        extension.remove_prefix(1);
    }
    return !extension.empty() && !m_fileType.empty() &&
           m_fileType.contains(platform::lowerCase(extension));
}

bool FileExclude::isExcluded(const FileInfo& entry) const {
    return isFileExcluded(entry.path()) || isTypeExcluded(entry.extension()) ||
           isAttrExcluded(entry.attributes());
}
