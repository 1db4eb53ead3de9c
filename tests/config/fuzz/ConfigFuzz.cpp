// Feeds arbitrary bytes to the configuration reader as config.xml. Whatever
// the bytes, loading either fails with EDOMError or yields a model; that model
// is saved, and what was saved must load and save again to the same bytes
// (reading and writing are each other's inverse on the program's own files).
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/EDOMError.h"
#include "config/NormalSetting.h"
#include "config/XMLConfig.h"
#include "model/PolicyManager.h"
#include "model/TaskManager.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"

namespace {

// One folder for the whole run, under TMPDIR (the script removes it).
const std::string& workFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        const std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/twinfold-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) {
            std::abort();
        }
        return std::string(buffer.data()) + "/";
    }();
    return folder;
}

struct Model {
    platform::FixedClock clock{platform::makeDateTime(2024, 5, 6, 7, 8, 9)};
    PolicyManager policies;
    TaskManager tasks{clock};
    NormalSetting setting;

    Model() {
        policies.setTaskManager(&tasks);
        tasks.setPolicys(&policies);
    }
};

// Loads config.xml into a model and saves the model back; the bytes saved,
// or none when the file is not a configuration.
std::optional<std::string> loadAndSave(const std::string& folder) {
    XMLConfig config(folder, folder + "no-default.xml");
    try {
        config.load();
    } catch (const EDOMError&) {
        if (!config.hasError()) {
            std::abort();
        }
        return std::nullopt;
    }
    Model model;
    config.readNormalSetting(model.setting);
    config.readTasks(model.tasks);
    if (model.policies.defaultPolicy() == nullptr) {
        std::abort();
    }
    for (const auto& task : model.tasks.taskList()) {
        if (task->getPolicy() == nullptr || task->id.empty()) {
            std::abort();
        }
    }
    if (!config.saveAll(model.tasks, model.setting).ok()) {
        std::abort();
    }
    std::string saved;
    if (!platform::readWholeFile(config.configPath(), saved).ok()) {
        std::abort();
    }
    return saved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = workFolder();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (!platform::replaceFile(folder + "config.xml", input).ok()) {
        std::abort();
    }
    const std::optional<std::string> first = loadAndSave(folder);
    if (!first) {
        return 0;
    }
    const std::optional<std::string> second = loadAndSave(folder);
    if (!second || *second != *first) {
        std::abort();
    }
    return 0;
}
