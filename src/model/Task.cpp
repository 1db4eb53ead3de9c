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
