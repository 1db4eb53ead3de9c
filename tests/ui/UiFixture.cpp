#include "UiFixture.h"

#include <fstream>
#include <stdexcept>

#include "config/XMLConfig.h"
#include "engine/FileItem.h"
#include "engine/TaskRun.h"
#include "model/PolicyManager.h"
#include "model/TaskManager.h"
#include "platform/ProgramFolder.h"

namespace {

std::string escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

const char* boolText(bool value) {
    return value ? "true" : "false";
}

}  // namespace

void writeConfig(const std::string& folder, const std::vector<TaskSpec>& tasks, bool showWizard,
                 bool showDetail) {
    std::ofstream out(folder + "/config.xml");
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<config>\n"
        << "<policyList><policy name=\"&lt; default copy policy &gt;\" value=\"17830161\"/>"
        << "</policyList>\n<taskList>\n";
    for (const TaskSpec& task : tasks) {
        out << "<task name=\"" << escape(task.name)
            << "\" policy=\"&lt; default copy policy &gt;\" enableLog=\""
            << boolText(task.enableLog) << "\" logFile=\"" << escape(task.logFile) << "\" id=\""
            << escape(task.id) << "\">"
            << "<folderList><folder main=\"" << escape(task.main) << "\" mirror=\""
            << escape(task.mirror) << "\"/></folderList>"
            << "<include><fileList/></include>"
            << "<exclude><fileList/><fileType type=\"\"/><fileAttr attr=\"\"/></exclude>"
            << "<schedule><interval enabled=\"" << boolText(task.intervalEnabled)
            << "\" value=\"5\"/><fixup enabled=\"false\" value=\"\"/><simulate value=\""
            << boolText(task.simulate) << "\"/></schedule></task>\n";
    }
    out << "</taskList>\n<normalSetting showDetail=\"" << boolText(showDetail) << "\" showWizard=\""
        << boolText(showWizard) << "\" configVersion=\"1.0\"/>\n</config>\n";
    if (!out) {
        throw std::runtime_error("cannot write config.xml");
    }
}

SavedConfig readSaved(const std::string& folder, const std::string& defaultFile) {
    XMLConfig config(folder, defaultFile);
    config.load();
    PolicyManager policies;
    TaskManager tasks;
    policies.setTaskManager(&tasks);
    tasks.setPolicys(&policies);
    SavedConfig saved;
    config.readNormalSetting(saved.setting);
    config.readTasks(tasks);
    for (const auto& task : tasks.taskList()) {
        saved.taskNames.push_back(task->name);
    }
    return saved;
}

void RunRecorder::add(char kind, std::string text) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back({kind, std::move(text)});
}

void RunRecorder::onUpdate(const UpdateInfo* info) {
    add('U', info->current->source());
}
void RunRecorder::onBegin() {
    add('B', m_run->plan()->taskName);
}
void RunRecorder::onEnd() {
    add('E', {});
}
void RunRecorder::onPause(bool paused) {
    add(paused ? 'P' : 'R', {});
}

std::vector<RunRecorder::Event> RunRecorder::events() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

int RunRecorder::count(char kind) const {
    int n = 0;
    for (const Event& event : events()) {
        n += event.kind == kind ? 1 : 0;
    }
    return n;
}

std::vector<std::string> RunRecorder::updates() const {
    std::vector<std::string> paths;
    for (const Event& event : events()) {
        if (event.kind == 'U') {
            paths.push_back(event.text);
        }
    }
    return paths;
}

TfrmMainOptions testWindowOptions(const std::string& folder, const platform::Clock* clock) {
    TfrmMainOptions options;
    options.configFolder = folder;
    options.defaultFile = platform::programFolder() + "default.xml";
    options.clock = clock;
    options.simulationDelay = std::chrono::milliseconds(0);
    options.historyFile = folder + "/state/history.db";
    return options;
}
