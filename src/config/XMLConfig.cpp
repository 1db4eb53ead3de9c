#include "config/XMLConfig.h"

#include <cerrno>
#include <charconv>
#include <pugixml.hpp>
#include <vector>

#include "config/AttributeText.h"
#include "config/EDOMError.h"
#include "config/EFileNotFound.h"
#include "config/NormalSetting.h"
#include "model/CopyPolicy.h"
#include "model/PolicyManager.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Assert.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/InstallLayout.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"
#include "platform/UserFolders.h"

namespace {

// Every attribute goes through the byte-preserving text form.
std::string text(const pugi::xml_node& node, const char* attribute) {
    return config::decodeAttributeText(node.attribute(attribute).value());
}

bool flag(const pugi::xml_node& node, const char* attribute) {
    return std::string_view(node.attribute(attribute).value()) == "true";
}

// A whole number within [low, high]; anything else gives `fallback`.
int number(const pugi::xml_node& node, const char* attribute, int low, int high, int fallback) {
    const std::string_view value = node.attribute(attribute).value();
    int result = 0;
    const auto [stop, error] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (value.empty() || error != std::errc() || stop != value.data() + value.size() ||
        result < low || result > high) {
        return fallback;
    }
    return result;
}

void put(pugi::xml_node& node, const char* attribute, std::string_view value) {
    node.append_attribute(attribute).set_value(config::encodeAttributeText(value).c_str());
}

void putFlag(pugi::xml_node& node, const char* attribute, bool value) {
    node.append_attribute(attribute).set_value(value ? "true" : "false");
}

// The child elements of a container in document order, whatever their names;
// comments, text and other nodes are passed over.
template <typename Visit>
void forEachElement(const pugi::xml_node& container, Visit visit) {
    for (pugi::xml_node child = container.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            visit(child);
        }
    }
}

// A name or a value quoted in a notice, on one line.
std::string quoted(std::string_view text) {
    return '"' + platform::escapeControl(text) + '"';
}

void readTask(const pugi::xml_node& node, Task& task, const TaskManager& taskManager,
              const PolicyManager& policys, std::vector<std::string>& notices) {
    task.name = text(node, "name");
    const std::string policyName = text(node, "policy");
    policys.assignPolicy(task, policyName);
    if (task.hasMissingPolicy()) {
        notices.push_back("task " + quoted(task.name) + ": no copy policy is named " +
                          quoted(policyName) +
                          "; the task runs with deletion off until a policy is picked for it");
    }
    task.enableLog = flag(node, "enableLog");
    task.logFile = text(node, "logFile");
    // Without a usable stored identifier the fresh one stays, so that no two
    // tasks share one.
    std::string id = text(node, "id");
    if (!id.empty() && taskManager.findTaskById(id) == nullptr) {
        task.id = std::move(id);
    }

    forEachElement(node.child("folderList"), [&task](const pugi::xml_node& folder) {
        task.folderList.addItem(text(folder, "main"), text(folder, "mirror"));
    });
    forEachElement(node.child("include").child("fileList"), [&task](const pugi::xml_node& file) {
        task.include.addFile(text(file, "path"));
    });
    const pugi::xml_node exclude = node.child("exclude");
    forEachElement(exclude.child("fileList"), [&task](const pugi::xml_node& file) {
        task.exclude.addFile(text(file, "path"));
    });
    task.exclude.setFileTypes(text(exclude.child("fileType"), "type"));
    task.exclude.setFileAttrs(text(exclude.child("fileAttr"), "attr"));

    const pugi::xml_node schedule = node.child("schedule");
    if (const pugi::xml_node interval = schedule.child("interval")) {
        task.schedule.intervalEnabled = flag(interval, "enabled");
        task.schedule.setInterval(text(interval, "value"));
    }
    if (const pugi::xml_node fixup = schedule.child("fixup")) {
        task.schedule.fixupEnabled = flag(fixup, "enabled");
        task.schedule.setFixup(text(fixup, "value"));
        task.schedule.runMissed = flag(fixup, "runMissed");
        // Without it (an older file) the occurrences up to now count as
        // handled: nothing is known to have been missed.
        if (const auto handled = platform::readStoredDateTime(text(fixup, "handledUntil"))) {
            task.schedule.setFixupHandledUntil(*handled);
        }
    }
    if (const pugi::xml_node simulate = schedule.child("simulate")) {
        task.schedule.simulate = flag(simulate, "value");
    }

    // Files written before tasks kept versions have no such element.
    if (const pugi::xml_node versions = node.child("versions")) {
        task.versions.enabled = flag(versions, "enabled");
        task.versions.folder = text(versions, "folder");
        task.versions.keepDays = number(versions, "keepDays", 0, VersionSettings::kMaxDays, 0);
        task.versions.keepVersions =
            number(versions, "keepVersions", 0, VersionSettings::kMaxVersions, 0);
    }
}

void writeTask(pugi::xml_node& taskList, const Task& task) {
    pugi::xml_node node = taskList.append_child("task");
    put(node, "name", task.name);
    put(node, "policy",
        task.getPolicy() != nullptr ? std::string_view(task.getPolicyName()) : DefaultPolicyName);
    putFlag(node, "enableLog", task.enableLog);
    put(node, "logFile", task.logFile);
    put(node, "id", task.id);

    pugi::xml_node folderList = node.append_child("folderList");
    for (const TaskFolderItem& item : task.folderList.items()) {
        pugi::xml_node folder = folderList.append_child("folder");
        put(folder, "main", item.main);
        put(folder, "mirror", item.mirror);
    }
    pugi::xml_node includeFiles = node.append_child("include").append_child("fileList");
    for (const std::string& path : task.include.fileList()) {
        pugi::xml_node file = includeFiles.append_child("file");
        put(file, "path", path);
    }
    pugi::xml_node exclude = node.append_child("exclude");
    pugi::xml_node excludeFiles = exclude.append_child("fileList");
    for (const std::string& path : task.exclude.fileList()) {
        pugi::xml_node file = excludeFiles.append_child("file");
        put(file, "path", path);
    }
    pugi::xml_node fileType = exclude.append_child("fileType");
    put(fileType, "type", task.exclude.getFileTypes());
    pugi::xml_node fileAttr = exclude.append_child("fileAttr");
    put(fileAttr, "attr", task.exclude.getFileAttrs());

    pugi::xml_node schedule = node.append_child("schedule");
    pugi::xml_node interval = schedule.append_child("interval");
    putFlag(interval, "enabled", task.schedule.intervalEnabled);
    put(interval, "value", task.schedule.interval());
    pugi::xml_node fixup = schedule.append_child("fixup");
    putFlag(fixup, "enabled", task.schedule.fixupEnabled);
    put(fixup, "value", task.schedule.fixup());
    putFlag(fixup, "runMissed", task.schedule.runMissed);
    put(fixup, "handledUntil", platform::storedDateTimeText(task.schedule.fixupHandledUntil()));
    pugi::xml_node simulate = schedule.append_child("simulate");
    putFlag(simulate, "value", task.schedule.simulate);

    pugi::xml_node versions = node.append_child("versions");
    putFlag(versions, "enabled", task.versions.enabled);
    put(versions, "folder", task.versions.folder);
    put(versions, "keepDays", std::to_string(task.versions.keepDays));
    put(versions, "keepVersions", std::to_string(task.versions.keepVersions));
}

// A fresh declaration first in the document, naming the encoding the file
// is written in.
void setDeclaration(pugi::xml_document& document) {
    while (document.first_child().type() == pugi::node_declaration) {
        document.remove_child(document.first_child());
    }
    pugi::xml_node declaration = document.prepend_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("utf-16");
}

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
    }
    std::string bytes;
};

// The program's folder when it holds a configuration file (a portable
// installation), else "twinfold/" in the user's base folder of `kind`, else
// the program's folder.
std::string programOrUserFolder(const std::string& programFolder, platform::UserFolder kind) {
    if (!programFolder.empty() &&
        platform::exists(programFolder + std::string(XMLConfig::kConfigFileName))) {
        return programFolder;
    }
    const std::string base = platform::userFolder(kind);
    return base.empty() ? programFolder : base + "twinfold/";
}

}  // namespace

std::string XMLConfig::configFolderFor(const std::string& programFolder) {
    return programOrUserFolder(programFolder, platform::UserFolder::Config);
}

std::string XMLConfig::configFolder() {
    return configFolderFor(platform::programFolder());
}

std::string XMLConfig::stateFolderFor(const std::string& programFolder) {
    return programOrUserFolder(programFolder, platform::UserFolder::State);
}

std::string XMLConfig::stateFolder() {
    return stateFolderFor(platform::programFolder());
}

std::string XMLConfig::defaultFileFor(const std::string& programFolder) {
    return platform::locateShippedFile(programFolder, platform::Shipped::Data, kDefaultFileName);
}

std::string XMLConfig::defaultFile() {
    return defaultFileFor(platform::programFolder());
}

XMLConfig::XMLConfig(const std::string& folder, std::string defaultFile)
    : m_folder(folder.empty() ? std::string() : platform::withTrailingSeparator(folder)),
      m_defaultFile(std::move(defaultFile)),
      m_configPath(m_folder.empty() ? std::string() : m_folder + std::string(kConfigFileName)),
      m_document(std::make_unique<pugi::xml_document>()) {}

XMLConfig::XMLConfig(ReadOnlyFile file)
    : m_configPath(std::move(file.path)),
      m_readOnly(true),
      m_document(std::make_unique<pugi::xml_document>()) {}

XMLConfig::~XMLConfig() = default;

void XMLConfig::fail(bool notFound, const std::string& detail) {
    m_hasError = true;
    m_loaded = false;
    m_document->reset();
    if (notFound) {
        throw EFileNotFound(detail);
    }
    throw EDOMError(detail);
}

void XMLConfig::load() {
    m_hasError = false;
    m_loaded = false;
    m_document->reset();

    // Without a folder there is no place for the file (never the root or the
    // working folder).
    if (!m_readOnly && m_folder.empty()) {
        fail(true, "no folder for the configuration file");
    }
    if (!m_readOnly && !platform::exists(m_configPath)) {
        // Not even a dangling link: the first start.
        if (const platform::Lookup entry = platform::lookupEntry(m_configPath);
            entry.status == platform::LookupStatus::Absent && entry.error == ENOENT) {
            if (!platform::exists(m_defaultFile)) {
                fail(true, "neither " + m_configPath + " nor " + m_defaultFile + " exists");
            }
            // A failed copy shows in the read below.
            static_cast<void>(platform::makeFolders(m_folder));
            static_cast<void>(platform::copyFileNoReplace(m_defaultFile, m_configPath));
        }
    }

    std::string content;
    const platform::OpResult read = platform::readWholeFile(m_configPath, content);
    if (!read.ok()) {
        fail(m_readOnly && read.error == ENOENT, read.message);
    }
    parse(content);
    m_loaded = true;
}

void XMLConfig::parse(const std::string& content) {
    const pugi::xml_parse_result result = m_document->load_buffer(
        content.data(), content.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        fail(false, m_configPath + ": " + result.description() + " at byte " +
                        std::to_string(result.offset));
    }
    if (!m_document->child("config")) {
        fail(false, m_configPath + ": no \"config\" element");
    }
}

void XMLConfig::readNormalSetting(NormalSetting& setting) const {
    const pugi::xml_node node = m_document->child("config").child("normalSetting");
    setting.showDetail = flag(node, "showDetail");
    setting.showWizard = flag(node, "showWizard");
    setting.configVersion = text(node, "configVersion");
    const NormalSetting defaults;
    setting.maxDeletePercent = number(node, "maxDeletePercent", 0, 100, defaults.maxDeletePercent);
    setting.maxDeleteMinimum =
        number(node, "maxDeleteMinimum", 0, 1000000000, defaults.maxDeleteMinimum);
    setting.overdueDays = number(node, "overdueDays", 0, 36500, defaults.overdueDays);
    setting.startWithSession = flag(node, "startWithSession");
    setting.runMissedDefault = flag(node, "runMissedDefault");
}

void XMLConfig::readTasks(TaskManager& taskManager) {
    PolicyManager* policys = taskManager.policys();
    TF_ASSERT(policys != nullptr);
    const pugi::xml_node root = m_document->child("config");
    m_notices.clear();

    forEachElement(root.child("policyList"), [this, policys](const pugi::xml_node& node) {
        CopyPolicy& policy = policys->addPolicy();
        policy.name = text(node, "name");
        const pugi::xml_attribute value = node.attribute("value");
        if (const auto flags = CopyPolicy::parseFlags(value.value())) {
            policy.setFlags(*flags);
        } else {
            policy.setFlags(NonDeletingPolicyFlags);
            m_notices.push_back(
                "copy policy " + quoted(policy.name) + ": the rule word " +
                (value ? quoted(text(node, "value")) : std::string("(none)")) +
                " cannot be read; the policy now has the default rules without deletion, "
                "so its tasks run with deletion off");
        }
    });
    // Every fallback needs the default policy.
    if (policys->defaultPolicy() == nullptr) {
        policys->addPolicy().name = DefaultPolicyName;
    }

    forEachElement(root.child("taskList"),
                   [this, &taskManager, policys](const pugi::xml_node& node) {
                       readTask(node, taskManager.addTask(), taskManager, *policys, m_notices);
                   });
}

void XMLConfig::writeTasks(const TaskManager& taskManager) {
    const PolicyManager* policys = taskManager.policys();
    TF_ASSERT(policys != nullptr);
    m_document->reset();
    setDeclaration(*m_document);
    pugi::xml_node root = m_document->append_child("config");

    pugi::xml_node policyList = root.append_child("policyList");
    for (const auto& policy : policys->policyList()) {
        pugi::xml_node node = policyList.append_child("policy");
        put(node, "name", policy->name);
        put(node, "value", std::to_string(policy->getFlags()));
    }
    pugi::xml_node taskList = root.append_child("taskList");
    for (const auto& task : taskManager.taskList()) {
        writeTask(taskList, *task);
    }
}

void XMLConfig::writeNormalSetting(const NormalSetting& setting) {
    pugi::xml_node root = m_document->child("config");
    if (!root) {
        root = m_document->append_child("config");
    }
    while (pugi::xml_node old = root.child("normalSetting")) {
        root.remove_child(old);
    }
    pugi::xml_node node = root.append_child("normalSetting");
    putFlag(node, "showDetail", setting.showDetail);
    putFlag(node, "showWizard", setting.showWizard);
    put(node, "configVersion", NormalSetting::kCurrentVersion);
    put(node, "maxDeletePercent", std::to_string(setting.maxDeletePercent));
    put(node, "maxDeleteMinimum", std::to_string(setting.maxDeleteMinimum));
    put(node, "overdueDays", std::to_string(setting.overdueDays));
    putFlag(node, "startWithSession", setting.startWithSession);
    putFlag(node, "runMissedDefault", setting.runMissedDefault);
}

XMLConfig::SaveResult XMLConfig::save() {
    if (m_readOnly) {
        return platform::fileFailure(EROFS, "not saved, opened for reading only:", m_configPath);
    }
    if (!m_loaded || m_hasError || !m_document->child("config")) {
        return platform::fileFailure(ECANCELED, "not saved, no configuration was loaded from",
                                     m_configPath);
    }
    setDeclaration(*m_document);
    StringWriter writer;
    m_document->save(writer, "  ", pugi::format_indent | pugi::format_write_bom,
                     pugi::encoding_utf16_le);
    return platform::replaceFile(m_configPath, writer.bytes);
}

XMLConfig::SaveResult XMLConfig::saveAll(const TaskManager& taskManager,
                                         const NormalSetting& setting) {
    if (m_readOnly || !m_loaded || m_hasError) {
        return save();  // refused, and the document stays as loaded
    }
    writeTasks(taskManager);
    writeNormalSetting(setting);
    return save();
}
