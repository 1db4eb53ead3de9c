#pragma once

#include <cstdint>
#include <memory>
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

// One operation of a change plan. Kept small, since a first run over a large
// tree plans one item per entry: both paths share one buffer.
class FileItem {
public:
    // Whether the entry the item concerns is a directory.
    bool isDirectory = false;
    // A skipped item that the run counts as failed: what the plan found
    // cannot be mirrored (a mirror folder that could not be listed, a name
    // that clashes in letter case on the mirror).
    bool failure = false;
    // An update of the permission bits (and, as root, owner and group) only:
    // the mirror's entry is changed in place, never replaced, and its content
    // and times stay as they are.
    bool attributesOnly = false;
    // Index of the folder pair the item belongs to, or -1.
    std::int32_t pair = -1;

    // The entry that was judged.
    void setSource(std::string_view path);
    std::string source() const { return m_paths.substr(0, m_sourceSize); }
    // Its counterpart on the other side.
    void setTarget(std::string_view path);
    std::string target() const { return m_paths.substr(m_sourceSize); }

    void setOperation(std::int32_t code);
    std::int32_t operation() const { return m_operation; }
    std::string_view operationName() const { return operationNames[m_operation]; }

    // The path the task log and listings show: the target for the items that
    // create or update, the source for the others.
    std::string logPath() const;

    // Why an item is skipped, for the error line of the log; empty otherwise.
    const std::string& reason() const;
    void setReason(std::string reason);

private:
    std::string m_paths;  // the source, then the target
    std::uint32_t m_sourceSize = 0;
    std::int32_t m_operation = opSkip;
    std::unique_ptr<std::string> m_reason;
};
