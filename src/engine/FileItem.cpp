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

const std::string& FileItem::logPath() const {
    switch (m_operation) {
        case opCreateFile:
        case opUpdateFile:
        case opCreateDirectory:
            return m_target;
        default:
            return m_source;
    }
}
