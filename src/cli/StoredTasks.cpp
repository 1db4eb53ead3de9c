#include "cli/StoredTasks.h"

#include <cstdio>

#include "cli/ExitStatus.h"
#include "config/EDOMError.h"
#include "config/EFileNotFound.h"
#include "config/Support.h"
#include "config/XMLConfig.h"
#include "model/Task.h"
#include "platform/Text.h"

StoredTasks::StoredTasks() {
    m_tasks.setPolicys(&m_policies);
    m_policies.setTaskManager(&m_tasks);
}

bool StoredTasks::load(const std::string& configFile, bool mayBeMissing) {
    const std::string path =
        configFile.empty() ? XMLConfig::configFolder() + std::string(XMLConfig::kConfigFileName)
                           : configFile;
    XMLConfig config(XMLConfig::ReadOnlyFile{path});
    try {
        config.load();
        config.readNormalSetting(m_setting);
        config.readTasks(m_tasks);
        for (const std::string& notice : config.notices()) {
            std::fprintf(stderr, "twinfold-cli: %s\n", platform::escapeControl(notice).c_str());
        }
    } catch (const EFileNotFound&) {
        if (mayBeMissing) {
            return true;
        }
        std::fprintf(stderr, "twinfold-cli: no configuration file at %s\n",
                     platform::escapeControl(path).c_str());
        return false;
    } catch (const EDOMError& error) {
        // The reason names the file and the parser's position.
        std::fprintf(stderr, "twinfold-cli: %s\ntwinfold-cli: %s\n",
                     platform::escapeControl(error.what()).c_str(),
                     std::string(config::kCannotParseMessage).c_str());
        return false;
    }
    return true;
}

Task* StoredTasks::find(const std::string& key) const {
    Task* task = m_tasks.findTaskById(key);
    return task != nullptr ? task : m_tasks.findTaskByName(key);
}

Task* StoredTasks::loadTask(const std::string& configFile, const std::string& key, int& status) {
    if (!load(configFile)) {
        status = kConfig;
        return nullptr;
    }
    Task* task = find(key);
    if (task == nullptr) {
        std::fprintf(stderr, "twinfold-cli: no task %s\n", platform::escapeControl(key).c_str());
        status = kNoTask;
    }
    return task;
}
