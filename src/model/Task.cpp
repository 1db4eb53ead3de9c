#include "model/Task.h"

#include <algorithm>

#include "model/CopyPolicy.h"
#include "platform/Assert.h"
#include "platform/Path.h"
#include "platform/Uuid.h"

Task::Task(const platform::Clock& clock) : id(platform::newUuid()), schedule(this, clock) {}

const std::string& Task::getPolicyName() const {
    TF_ASSERT(m_policy != nullptr);
    return m_policy->name;
}

void Task::setMissingPolicy(std::string_view storedName) {
    m_standIn.name = storedName;
    m_standIn.setFlags(NonDeletingPolicyFlags);
    m_policy = &m_standIn;
}

std::string Task::includeFolder() const {
    // Without a mirror there is no folder to put the files in (an empty mirror
    // must not turn into the file-system root).
    if (folderList.count() == 0) {
        return {};
    }
    return includeFolderFor(folderList.items().front().mirror, name);
}

std::string Task::includeFolderFor(std::string_view mirror, std::string_view name) {
    if (mirror.empty()) {
        return {};
    }
    std::string safeName(name);
    std::replace(safeName.begin(), safeName.end(), platform::kSeparator, '_');
    return platform::withTrailingSeparator(mirror) + "<" + safeName + "_append>";
}

std::string Task::versionsFolder() const {
    return versionsFolderFor(versions, folderList);
}

std::string Task::versionsFolderProblem() const {
    return versionsFolderProblemFor(versions, folderList);
}

std::string Task::versionsFolderFor(const VersionSettings& versions, const TaskFolder& folderList) {
    if (!versions.enabled) {
        return {};
    }
    if (!versions.folder.empty()) {
        return platform::lexicallyNormal(versions.folder);
    }
    if (folderList.count() == 0 || folderList.items().front().mirror.empty()) {
        return {};
    }
    return platform::withTrailingSeparator(folderList.items().front().mirror) +
           std::string(VersionSettings::kDefaultFolderName);
}

std::string Task::versionsFolderProblemFor(const VersionSettings& versions,
                                           const TaskFolder& folderList) {
    if (!versions.enabled) {
        return {};
    }
    const std::string folder = versionsFolderFor(versions, folderList);
    if (folder.empty()) {
        return "the task has no mirror folder to keep versions in";
    }
    if (folder.front() != platform::kSeparator) {
        return "the versions folder must be an absolute path";
    }
    for (const TaskFolderItem& item : folderList.items()) {
        if (!item.main.empty() && platform::isSameOrInside(folder, item.main)) {
            return "the versions folder lies inside the main folder " + item.main;
        }
        if (!item.main.empty() && platform::isSameOrInside(item.main, folder)) {
            return "the versions folder holds the main folder " + item.main;
        }
        if (!item.mirror.empty() && platform::isSameOrInside(folder, item.mirror) &&
            platform::isSameOrInside(item.mirror, folder)) {
            return "the versions folder is the mirror folder " + item.mirror;
        }
    }
    return {};
}
