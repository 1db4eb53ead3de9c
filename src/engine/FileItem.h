#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The operations of a change plan, in the order of their codes.
enum OperationCode : std::int32_t {
    opSkip = 0,
    opCreateFile = 1,
    opUpdateFile = 2,
    opDeleteFile = 3,
    opCreateDirectory = 4,
    opDeleteDirectory = 5,
    opExclude = 6,
};

// Display names of the operations, indexed by code.
extern const char* const operationNames[7];

// One operation of a change plan.
class FileItem {
public:
    // Whether the entry the item concerns is a directory.
    bool isDirectory = false;

    void setSource(std::string path) { m_source = std::move(path); }
    const std::string& source() const { return m_source; }
    void setTarget(std::string path) { m_target = std::move(path); }
    const std::string& target() const { return m_target; }

    void setOperation(std::int32_t code);
    std::int32_t operation() const { return m_operation; }
    std::string_view operationName() const { return operationNames[m_operation]; }

    // The path the task log and listings show: the target for the items that
    // create or update, the source for the others.
    const std::string& logPath() const;

    // Index of the folder pair the item belongs to, or -1.
    std::int32_t pair = -1;
    // Why an item is skipped, for the error line of the log; empty otherwise.
    std::string reason;

private:
    std::string m_source;
    std::string m_target;
    std::int32_t m_operation = opSkip;
};
