#include "ui/dialogs/GeneralPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/PolicyManager.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Assert.h"
#include "platform/FileSystem.h"
#include "ui/dialogs/ControlTip.h"
#include "ui/dialogs/DialogSupport.h"
#include "ui/dialogs/LinkLabel.h"
#include "ui/dialogs/TaskPageParts.h"
#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"

using dialogs::makeNamed;
using dialogs::toModel;
using dialogs::toQString;

GeneralPage::GeneralPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("GENERAL"));
    QGroupBox* group = taskpage::pageGroup(this, tr("General setting"));
    edtTaskName = makeNamed<QLineEdit>("edtTaskName", group);
    edtTaskName->setMaxLength(64);
    edtTaskName->installEventFilter(this);
    cboCopyPolicy = makeNamed<QComboBox>("cboCopyPolicy", group);
    stCopyPolicy = makeNamed<LinkLabel>("stCopyPolicy", tr("(what's copy policy?)"), group);
    QPalette grey = stCopyPolicy->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    stCopyPolicy->setPalette(grey);
    chkLog = makeNamed<QCheckBox>("chkLog", tr("Enable l&og"), group);
    edtLogPath = makeNamed<QLineEdit>("edtLogPath", group);
    edtLogPath->setEnabled(false);
    btnLog = taskpage::makeSmallButton("btnLog", tr("..."), group);

    auto* policyRow = new QHBoxLayout;
    policyRow->addWidget(cboCopyPolicy, 1);
    policyRow->addWidget(stCopyPolicy);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(edtLogPath, 1);
    logRow->addWidget(btnLog);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(taskpage::labelFor(tr("&Task name"), edtTaskName));
    layout->addWidget(edtTaskName);
    layout->addWidget(taskpage::labelFor(tr("Select a copy &policy"), cboCopyPolicy));
    layout->addLayout(policyRow);
    layout->addSpacing(QFontMetrics(font()).lineSpacing() / 2);
    layout->addWidget(chkLog);
    layout->addLayout(logRow);
    layout->addStretch();

    connect(chkLog, &QCheckBox::toggled, this, &GeneralPage::chkLogClick);
    connect(edtTaskName, &QLineEdit::textChanged, this, [this] {
        if (!m_proposedLog.isEmpty()) {
            proposeLogFile();
        }
    });
    connect(btnLog, &QPushButton::clicked, this, &GeneralPage::btnLogClick);
    connect(stCopyPolicy, &LinkLabel::clicked, this,
            [this] { showHelp(window(), HelpTopic::CopyPolicies); });
}

void GeneralPage::setTaskManager(TaskManager* tasks) {
    TF_ASSERT(tasks != nullptr);
    m_tasks = tasks;
    m_policies = tasks->policys();
    TF_ASSERT(m_policies != nullptr);
    cboCopyPolicy->clear();
    for (const auto& policy : m_policies->policyList()) {
        cboCopyPolicy->addItem(toQString(policy->name), dialogs::toBytes(policy->name));
    }
    cboCopyPolicy->setCurrentIndex(0);
}

void GeneralPage::load(const Task& task) {
    m_task = &task;
    edtTaskName->setText(toQString(task.name));
    if (task.hasMissingPolicy()) {
        // Shown and kept as it is until the user picks a policy.
        cboCopyPolicy->addItem(toQString(task.getPolicyName()) + tr(" (missing: deletion off)"),
                               dialogs::toBytes(task.getPolicyName()));
        cboCopyPolicy->setCurrentIndex(cboCopyPolicy->count() - 1);
    } else if (task.getPolicy() != nullptr) {
        const int row =
            cboCopyPolicy->findData(dialogs::toBytes(task.getPolicyName()), taskpage::kNameRole);
        if (row >= 0) {
            cboCopyPolicy->setCurrentIndex(row);
        }
    }
    chkLog->setChecked(task.enableLog);
    btnLog->setEnabled(task.enableLog);
    edtLogPath->setText(toQString(task.logFile));
}

void GeneralPage::startNewLog() {
    chkLog->setChecked(true);
    proposeLogFile();
}

bool GeneralPage::validate() {
    const QString name = dialogs::trimBlanks(edtTaskName->text());
    edtTaskName->setText(name);
    if (!name.isEmpty()) {
        return true;
    }
    DialogService::instance().message(window(), QMessageBox::Information, tr("Information"),
                                      tr("Please specify a task name !"));
    edtTaskName->setFocus();
    return false;
}

void GeneralPage::save(Task& task) {
    task.name = dialogs::toModelKeeping(edtTaskName->text(), task.name);
    // The chosen policy may have been deleted meanwhile (the list is filled
    // once); the task then runs with deletion off under the name it chose.
    const std::string policyName = dialogs::fromBytes(cboCopyPolicy->currentData().toByteArray());
    m_policies->assignPolicy(task, policyName);
    task.enableLog = chkLog->isChecked();
    task.logFile = dialogs::toModelKeeping(edtLogPath->text(), task.logFile);
    if (task.enableLog) {
        dialogs::makeProposedLogFolder(task.logFile);
    }
    if (task.enableLog && !platform::folderOfFileExists(task.logFile)) {
        DialogService::instance().message(window(), QMessageBox::Information, tr("Information"),
                                          tr("Log path is invalid, task log is disabled"));
    }
}

void GeneralPage::addTips(ControlTip& tips) const {
    tips.AddTip(stCopyPolicy, tr("click to see what is copy policy"));
    tips.AddTip(edtTaskName, tr("give a easy name to help you to remember"));
    tips.AddTip(cboCopyPolicy, tr("select copy policy which you want to use"));
}

bool GeneralPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtTaskName && event->type() == QEvent::FocusOut) {
        // Leaving the field, not the window: switching to another window or
        // opening a menu is no exit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            edtTaskNameExit();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void GeneralPage::edtTaskNameExit() {
    if (m_task != nullptr && dialogs::trimBlanks(edtTaskName->text()).isEmpty()) {
        edtTaskName->setText(toQString(m_task->name));
        Q_EMIT tipChanged(tr("task name is required"));
    }
}

void GeneralPage::chkLogClick() {
    const bool enabled = chkLog->isChecked();
    btnLog->setEnabled(enabled);
    edtLogPath->setEnabled(enabled);
    if (enabled && edtLogPath->text().isEmpty()) {
        proposeLogFile();
    }
}

void GeneralPage::proposeLogFile() {
    if (m_task == nullptr ||
        (!edtLogPath->text().isEmpty() && edtLogPath->text() != m_proposedLog)) {
        return;
    }
    m_proposedLog = dialogs::proposedLogFile(edtTaskName->text(), m_tasks, m_task);
    edtLogPath->setText(m_proposedLog);
}

void GeneralPage::btnLogClick() {
    const QString start =
        (m_task != nullptr ? toQString(m_task->name) : QString()) + QStringLiteral(".log");
    const QString path = DialogService::instance().saveFileName(
        window(), tr("Please select LOG file path"), start, tr("Twinfold task log (*.log)"));
    if (!path.isEmpty()) {
        edtLogPath->setText(path);
    }
}
