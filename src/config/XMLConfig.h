#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/OpResult.h"

namespace pugi {
class xml_document;
}

class NormalSetting;
class TaskManager;

// The configuration file "config.xml": the general settings, the copy
// policies and the tasks. It is read into the model at start-up and written
// back whole; writing is cheap and may happen after every confirmed change.
//
// Where the file lives: a "config.xml" in the program's folder makes a
// portable installation, used as it is. Otherwise the file is in
// $XDG_CONFIG_HOME/twinfold/ (~/.config/twinfold/ by default), made on the
// first start from the shipped "default.xml".
//
// The file is written as UTF-16 little-endian with a byte-order mark and an
// XML declaration naming "utf-16"; any encoding the parser recognises is
// read. A file that failed to load is never written over (hasError()).
class XMLConfig {
public:
    using SaveResult = platform::OpResult;

    static constexpr std::string_view kConfigFileName = "config.xml";
    static constexpr std::string_view kDefaultFileName = "default.xml";

    // The folder holding the configuration file of this program, with a
    // trailing separator. The windows propose log file paths in it.
    static std::string configFolder();
    // Same, for a program in `programFolder` (with its trailing separator):
    // that folder when it holds a config.xml, else $XDG_CONFIG_HOME/twinfold/
    // when that variable is an absolute path, else $HOME/.config/twinfold/.
    static std::string configFolderFor(const std::string& programFolder);

    // The folder for the program's state (run history, task logs), with a
    // trailing separator: the configuration folder of a portable
    // installation, else $XDG_STATE_HOME/twinfold/ when that variable is an
    // absolute path, else $HOME/.local/state/twinfold/.
    static std::string stateFolder();
    static std::string stateFolderFor(const std::string& programFolder);

    // The shipped default file of this program.
    static std::string defaultFile();
    // Same, for a program in `programFolder`: default.xml beside the program
    // when it is there, else in the installation's data folder when it is
    // there, else the first of the two (see platform/InstallLayout.h).
    static std::string defaultFileFor(const std::string& programFolder);

    // The configuration file in `folder` (with or without its trailing
    // separator), seeded from `defaultFile` when missing.
    XMLConfig(const std::string& folder, std::string defaultFile);

    // A configuration file opened for reading only (the command line): it is
    // never seeded and never written; when it is missing load() throws
    // EFileNotFound.
    struct ReadOnlyFile {
        std::string path;
    };
    explicit XMLConfig(ReadOnlyFile file);

    ~XMLConfig();
    XMLConfig(const XMLConfig&) = delete;
    XMLConfig& operator=(const XMLConfig&) = delete;

    const std::string& configPath() const { return m_configPath; }
    bool isReadOnly() const { return m_readOnly; }

    // Finds, seeds and parses the file. When config.xml is missing, the
    // folder is made and the default file copied into it (never over an
    // existing file). Throws EFileNotFound when there is no file to read, and
    // EDOMError when the file cannot be read or is not a configuration
    // document; either sets hasError().
    void load();
    bool hasError() const { return m_hasError; }

    // Fills the settings from "normalSetting"; missing values read as false
    // and the empty text.
    void readNormalSetting(NormalSetting& setting) const;

    // Appends every policy of the file to the task manager's policy manager
    // (which must be set), then every task to the task manager. The default
    // policy is appended when the file lacks it. A task keeps the identifier
    // its constructor made when the stored one is missing, empty or taken by
    // an earlier task.
    //
    // Nothing the file holds turns into a deleting word by mistake: a policy
    // whose rule word cannot be read (CopyPolicy::parseFlags()) gets
    // NonDeletingPolicyFlags, and a task naming no policy of the file gets a
    // non-deleting stand-in that keeps the name it was stored with
    // (PolicyManager::assignPolicy()). Each such policy and task is listed in
    // notices(), for the front end to tell the user once.
    void readTasks(TaskManager& taskManager);

    // One line per policy or task the last readTasks() could not take as
    // stored, saying what runs instead. Names are escaped
    // (platform::escapeControl()), so each notice is one line.
    const std::vector<std::string>& notices() const { return m_notices; }

    // Rebuilds the document from the model: the policies and the tasks. A
    // task without a policy (one still being made in a dialog) is written with
    // the default policy's name; a task on a stand-in, with its stored name.
    void writeTasks(const TaskManager& taskManager);
    // Puts the general settings into the document rebuilt by writeTasks(),
    // replacing any there.
    void writeNormalSetting(const NormalSetting& setting);

    // Writes the document to the file in one step: the file is either the old
    // one or the new one, even after a crash. Refused (nothing written) in the
    // read-only mode, before a successful load(), and after a failed one.
    [[nodiscard]] SaveResult save();

    // writeTasks(), writeNormalSetting() and save() in one call.
    [[nodiscard]] SaveResult saveAll(const TaskManager& taskManager, const NormalSetting& setting);

private:
    [[noreturn]] void fail(bool notFound, const std::string& detail);
    void parse(const std::string& content);

    std::string m_folder;
    std::string m_defaultFile;
    std::string m_configPath;
    bool m_readOnly = false;
    bool m_loaded = false;
    bool m_hasError = false;
    std::unique_ptr<pugi::xml_document> m_document;
    std::vector<std::string> m_notices;
};
