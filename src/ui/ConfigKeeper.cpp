#include "ui/ConfigKeeper.h"

#include <QDialog>
#include <string_view>

#include "config/EDOMError.h"
#include "config/EFileNotFound.h"
#include "config/Support.h"
#include "config/XMLConfig.h"
#include "model/PolicyManager.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Autostart.h"
#include "platform/ProgramFolder.h"
#include "ui/ModalLoops.h"
#include "ui/dialogs/TfrmCopyPolicy.h"
#include "ui/dialogs/TfrmSettings.h"
#include "ui/dialogs/TfrmTaskDefine.h"
#include "ui/dialogs/TfrmTaskWizard.h"
#include "widgets/DialogService.h"

namespace {

// The configuration layer has no Qt, so its texts for the user are listed
// here too, where the translation tools find them; the assertions keep the
// two copies the same.
constexpr const char* kConfigTexts[] = {
    QT_TRANSLATE_NOOP("config", "Twinfold default config file missed, please reinstall Twinfold!"),
    QT_TRANSLATE_NOOP(
        "config", "Twinfold can't parse XML document, please contract us : support@twinfold.org"),
};
static_assert(std::string_view(kConfigTexts[0]) == config::kDefaultFileMissingMessage);
static_assert(std::string_view(kConfigTexts[1]) == config::kCannotParseMessage);

QString configText(std::string_view text) {
    return QCoreApplication::translate("config", std::string(text).c_str());
}

}  // namespace

ConfigKeeper::ConfigKeeper(ModalLoops& loops, QWidget* window, const platform::Clock& clock)
    : m_loops(loops), m_window(window), m_clock(clock) {}

ConfigKeeper::~ConfigKeeper() {
    m_tasks.reset();
    m_policies.reset();
    m_config.reset();
}

bool ConfigKeeper::load(const std::string& folder, const std::string& defaultFile) {
    try {
        m_config = std::make_unique<XMLConfig>(folder, defaultFile);
        m_config->load();
        m_policies = std::make_unique<PolicyManager>();
        m_tasks = std::make_unique<TaskManager>(m_clock);
        m_policies->setTaskManager(m_tasks.get());
        m_tasks->setPolicys(m_policies.get());
        m_config->readNormalSetting(m_setting);
        m_config->readTasks(*m_tasks);
        return true;
    } catch (const EFileNotFound&) {
        DialogService::instance().message(m_window, QMessageBox::Information, tr("System error"),
                                          configText(config::kDefaultFileMissingMessage));
    } catch (const EDOMError&) {
        DialogService::instance().message(m_window, QMessageBox::Information, tr("System info"),
                                          configText(config::kCannotParseMessage));
    }
    return false;
}

bool ConfigKeeper::loadFailed() const {
    return m_config == nullptr || m_config->hasError();
}

void ConfigKeeper::tellLoadNotices() {
    if (m_config == nullptr || m_config->notices().empty()) {
        return;
    }
    QString text =
        tr("Some copy policies or tasks could not be used as stored. Until you pick or save a "
           "policy for them, these run with deletion off:\n");
    for (const std::string& notice : m_config->notices()) {
        text += QLatin1Char('\n') + QString::fromUtf8(notice);
    }
    m_loops.showInfo(text);
}

bool ConfigKeeper::save() {
    if (loadFailed() || m_tasks == nullptr) {
        return true;
    }
    const XMLConfig::SaveResult result = m_config->saveAll(*m_tasks, m_setting);
    if (result.ok()) {
        return true;
    }
    m_loops.message(QMessageBox::Warning, tr("Info"),
                    tr("Twinfold can't save its configuration, the previous file is kept:\n%1")
                        .arg(QString::fromLocal8Bit(result.message)));
    return false;
}

Task& ConfigKeeper::addNewTask() {
    Task& task = m_tasks->addTask();
    task.schedule.runMissed = m_setting.runMissedDefault;
    return task;
}

void ConfigKeeper::dropTask(Task& task) {
    const std::string id = task.id;
    Q_EMIT taskLeaving(&task);
    m_tasks->removeTask(id);
}

int ConfigKeeper::execTaskDefine(Task& task, bool newTask) {
    TfrmTaskDefine dialog(m_window);
    dialog.SetTasks(m_tasks.get());
    dialog.SetTaskDefined(&task, newTask);
    return m_loops.exec(dialog);
}

void ConfigKeeper::addTask() {
    Task& task = addNewTask();
    if (execTaskDefine(task, true) == QDialog::Accepted) {
        Q_EMIT taskConfirmed(&task);
        Q_EMIT tasksChanged();
        save();
    } else {
        dropTask(task);
        Q_EMIT tasksChanged();
    }
}

void ConfigKeeper::editTask(Task& task) {
    execTaskDefine(task);
    Q_EMIT tasksChanged();
    save();
}

void ConfigKeeper::removeTasks(const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
        if (Task* task = m_tasks->findTaskById(id)) {
            dropTask(*task);
        }
    }
    Q_EMIT tasksChanged();
    save();
}

void ConfigKeeper::runWizard() {
    Task& task = addNewTask();
    bool confirmed = false;
    bool policiesChanged = false;
    {
        TfrmTaskWizard wizard(m_window);
        wizard.FillPolicies(m_policies.get());
        wizard.SetTaskManager(m_tasks.get());
        wizard.SetTask(&task);
        confirmed = m_loops.exec(wizard) == QDialog::Accepted;
        // Policies saved or deleted from the wizard stand even on Cancel.
        policiesChanged = wizard.PoliciesChanged();
    }
    if (confirmed) {
        Q_EMIT taskConfirmed(&task);
    } else {
        dropTask(task);
    }
    Q_EMIT tasksChanged();
    // Saved once the task made for the wizard is gone again when cancelled,
    // so a half-made task never reaches the file.
    if (confirmed || policiesChanged) {
        save();
    }
}

void ConfigKeeper::editCopyPolicies() {
    TfrmCopyPolicy dialog(m_window);
    dialog.SetPolicyManager(m_policies.get());
    const int result = m_loops.exec(dialog);
    if (result == QDialog::Accepted || dialog.PolicyDeleted()) {
        save();
    }
}

void ConfigKeeper::editSettings() {
    TfrmSettings dialog(platform::programFolder() + "twinfold", platform::autostartFolder(),
                        m_window);
    dialog.SetSetting(m_setting);
    if (m_loops.exec(dialog) == QDialog::Accepted) {
        dialog.GetSetting(m_setting);
        save();
    }
}

void ConfigKeeper::runWizardOnFirstStart() {
    if (!m_setting.showWizard) {
        return;
    }
    runWizard();
    m_setting.showWizard = false;
    // So that the wizard opens by itself on the first start only, whatever
    // happens to this run of the program.
    save();
}
