#pragma once

#include <QString>
#include <QWidget>
#include <mutex>
#include <string>
#include <vector>

#include "config/NormalSetting.h"
#include "engine/TaskRunObserver.h"
#include "ui/TfrmMain.h"

class TaskRun;

// One task of a configuration file written for a test.
struct TaskSpec {
    std::string name;
    std::string id;
    std::string main;
    std::string mirror;
    bool intervalEnabled = false;
    bool simulate = true;
    bool enableLog = false;
    std::string logFile;
};

// Writes config.xml in `folder` with the default policy and the tasks.
void writeConfig(const std::string& folder, const std::vector<TaskSpec>& tasks,
                 bool showWizard = false, bool showDetail = false);

// Options for a main window of the tests: its configuration and run history
// in `folder`, the shipped default file beside the program, `clock` for the
// schedules, and no pause per simulated item.
TfrmMainOptions testWindowOptions(const std::string& folder, const platform::Clock* clock);

// What a configuration folder holds after the program saved it.
struct SavedConfig {
    std::vector<std::string> taskNames;
    NormalSetting setting;
};
SavedConfig readSaved(const std::string& folder, const std::string& defaultFile);

// Records what a run tells its observers, on whichever thread.
class RunRecorder : public TaskRunObserver {
public:
    // Attach it to the run and set the run before the first run starts; it
    // must outlive the run.
    void setRun(const TaskRun* run) { m_run = run; }

    struct Event {
        char kind;         // 'B'egin, 'U'pdate, 'E'nd, 'P'ause, 'R'esume
        std::string text;  // the task at begin, the source path at update
    };

    void onUpdate(const UpdateInfo* info) override;
    void onBegin() override;
    void onEnd() override;
    void onPause(bool paused) override;

    std::vector<Event> events() const;
    int count(char kind) const;
    std::vector<std::string> updates() const;

private:
    void add(char kind, std::string text);

    const TaskRun* m_run = nullptr;
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
};

template <class T>
T* child(const QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}
