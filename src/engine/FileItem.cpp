#include "engine/FileItem.h"

#include "platform/Assert.h"

const char* const operationNames[7] = {
    "[Skip]",        "[Create file]",      "[Update file]",
    "[Delete file]", "[Create directory]", "[Delete directory]",
    "[Exclude]",
};

void FileItem::setOperation(std::int32_t code) {
    TF_ASSERT(code >= opSkip && code <= opExclude);
    m_operation = code;
}

void FileItem::setSource(std::string_view path) {
    std::string paths;
    paths.reserve(path.size() + m_paths.size() - m_sourceSize);
    paths.append(path);
    paths.append(m_paths, m_sourceSize);
    m_paths = std::move(paths);
    m_sourceSize = static_cast<std::uint32_t>(path.size());
}

void FileItem::setTarget(std::string_view path) {
    m_paths.resize(m_sourceSize);
    m_paths.append(path);
}

std::string FileItem::logPath() const {
    switch (m_operation) {
        case opCreateFile:
        case opUpdateFile:
        case opCreateDirectory:
            return target();
        default:
            return source();
    }
}

const std::string& FileItem::reason() const {
    static const std::string none;
    return m_reason ? *m_reason : none;
}

void FileItem::setReason(std::string reason) {
    m_reason = reason.empty() ? nullptr : std::make_unique<std::string>(std::move(reason));
}
