#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUrlQuery>
#include <algorithm>
#include <memory>

#include "UiFixture.h"
#include "config/Support.h"
#include "engine/AppLog.h"
#include "engine/FileItemList.h"
#include "engine/TaskRun.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Autostart.h"
#include "platform/Clock.h"
#include "platform/ProgramFolder.h"
#include "schedule/ScheduleQueue.h"
#include "support/TempTree.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmProgress.h"
#include "ui/dialogs/TfrmSettings.h"
#include "ui/dialogs/TfrmTaskWizard.h"
#include "widgets/DialogService.h"
#include "widgets/HelpWindow.h"
#include "widgets/TGauge.h"
#include "widgets/TTrayIcon.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kRunTimeoutMs = 20000;
// The pause per simulated item where a test needs the run still going while
// it acts: 30 items take 1.5 s.
constexpr std::chrono::milliseconds kSlowItem(50);

// While it exists, rejects the first modal dialog of type T that opens, and
// remembers that one did.
template <class T>
class RejectWhenShown {
public:
    RejectWhenShown() {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                m_seen = true;
                m_timer.stop();
                dialog->reject();
            }
        });
        m_timer.start(20);
    }
    bool seen() const { return m_seen; }

private:
    QTimer m_timer;
    bool m_seen = false;
};

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList captions(const QMenu* menu) {
    QStringList names;
    for (const QAction* action : menu->actions()) {
        names << action->text();
    }
    return names;
}

QAction* entry(const QMenu* menu, const QString& caption) {
    for (QAction* action : menu->actions()) {
        if (action->text() == caption) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TempDir> m_dir;
    platform::FixedClock m_clock;
    std::string m_defaultFile = platform::programFolder() + "default.xml";
    std::unique_ptr<RunRecorder> m_recorder;

    // A task whose main folder holds `files` files, with an empty mirror.
    TaskSpec task(const std::string& name, int files) {
        TaskSpec spec;
        spec.name = name;
        spec.id = "id-" + name;
        spec.main = *m_dir / (name + "-main");
        spec.mirror = *m_dir / (name + "-mirror");
        testsupport::makeDirs(spec.main);
        testsupport::makeDirs(spec.mirror);
        for (int i = 0; i < files; ++i) {
            testsupport::writeFile(spec.main + "/file" + std::to_string(100 + i), "content");
        }
        return spec;
    }

    std::unique_ptr<TfrmMain> makeWindow(
        std::chrono::milliseconds delay = std::chrono::milliseconds(20)) {
        TfrmMainOptions options;
        options.configFolder = m_dir->path();
        options.defaultFile = m_defaultFile;
        options.clock = &m_clock;
        options.simulationDelay = delay;
        options.historyFile = *m_dir / "state/history.db";
        auto window = std::make_unique<TfrmMain>(options);
        window->FormCreate();
        if (window->taskRun() != nullptr) {
            m_recorder->setRun(window->taskRun());
            window->taskRun()->attach(m_recorder.get());
        }
        return window;
    }

    static void select(TfrmMain& window, std::initializer_list<int> rows) {
        auto* list = child<QListWidget>(window, "lstTasks");
        list->clearSelection();
        for (const int row : rows) {
            list->item(row)->setSelected(true);
        }
        window.lstTasksClick();
    }

    std::vector<std::string> planSources(const TfrmMain& window) const {
        std::vector<std::string> sources;
        for (const FileItem& item : *window.taskRun()->plan()) {
            sources.push_back(item.source());
        }
        return sources;
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<testsupport::TempDir>();
        m_clock.set(platform::makeDateTime(2024, 5, 6, 10, 0, 0));
        m_recorder = std::make_unique<RunRecorder>();
        DialogService::instance().reset();
    }

    void cleanup() {
        DialogService::instance().reset();
        m_dir.reset();
    }

    void buttonsFollowTheSelectionAndARun() {
        writeConfig(m_dir->path(), {task("A", 30), task("B", 1)});
        auto window = makeWindow(kSlowItem);
        const auto enabled = [&window](const char* name) {
            return window->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled();
        };
        QVERIFY(!enabled("btnRemoveTask") && !enabled("btnEditTask"));
        QVERIFY(!enabled("btnRunTask") && !enabled("btnSimulateRun") && !enabled("btnAbortTask"));

        select(*window, {0});
        QVERIFY(enabled("btnRemoveTask") && enabled("btnEditTask"));
        QVERIFY(enabled("btnRunTask") && enabled("btnSimulateRun"));
        select(*window, {0, 1});
        QVERIFY(enabled("btnRemoveTask") && !enabled("btnEditTask") && enabled("btnRunTask"));

        select(*window, {0});
        window->btnSimulateRunClick();
        QTRY_VERIFY(enabled("btnAbortTask"));
        for (const char* name : {"btnAddTask", "btnRemoveTask", "btnEditTask", "btnCopyPolicy",
                                 "btnTaskWizard", "btnRunTask", "btnSimulateRun"}) {
            QVERIFY2(!enabled(name), name);
        }
        QVERIFY(enabled("btnAbout") && enabled("lstTasks") && enabled("chkShowDetail"));
        QVERIFY(!child<TGauge>(*window, "prgTaskRun")->isHidden());
        select(*window, {0, 1});  // a new selection changes nothing while running
        QVERIFY(!enabled("btnRunTask") && !enabled("btnRemoveTask"));

        QTRY_VERIFY_WITH_TIMEOUT(!window->isRunActive(), kRunTimeoutMs);
        QVERIFY(enabled("btnAddTask") && enabled("btnCopyPolicy") && !enabled("btnAbortTask"));
        QVERIFY(child<TGauge>(*window, "prgTaskRun")->isHidden());
        QTRY_VERIFY(!enabled("btnEditTask"));  // two rows: the timer catches up
        QVERIFY(enabled("btnRunTask"));
    }

    void trayMenuListsTheConfirmedTasksInOrder() {
        writeConfig(m_dir->path(), {task("A", 1), task("B", 1)});
        auto window = makeWindow();
        QMenu* runMenu = window->trayMenu()->findChild<QMenu*>(QStringLiteral("mnuRun"));
        QMenu* simulateMenu = window->trayMenu()->findChild<QMenu*>(QStringLiteral("mnuSimulate"));
        window->popMenuTrayPopup();
        QCOMPARE(captions(runMenu), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
        QCOMPARE(captions(simulateMenu), captions(runMenu));

        // A task still being made in a dialog has no policy and is not offered.
        Task& unconfirmed = window->taskManager()->addTask();
        window->taskManager()->findTaskById("id-B")->name = "Beta";
        child<QCheckBox>(*window, "chkShowDetail")->setChecked(true);
        window->popMenuTrayPopup();
        QCOMPARE(captions(runMenu), QStringList({QStringLiteral("A"), QStringLiteral("Beta")}));
        QVERIFY(!window->startTaskRun(&unconfirmed, false));
        QVERIFY(!window->isBusy());

        const auto item = [&window](const char* name) {
            return window->trayMenu()->findChild<QAction*>(QString::fromLatin1(name));
        };
        QVERIFY(!item("mnuTrayStop")->isEnabled());
        QVERIFY(item("mnuTrayRun")->isEnabled() && item("mnuTraySimulate")->isEnabled());
        QVERIFY(item("mnuShowDetail")->isChecked());
    }

    void trayRunChangesFilesAndTraySimulateDoesNot() {
        const TaskSpec a = task("A", 3);
        writeConfig(m_dir->path(), {a});
        auto window = makeWindow(std::chrono::milliseconds(0));
        QMenu* runMenu = window->trayMenu()->findChild<QMenu*>(QStringLiteral("mnuRun"));
        QMenu* simulateMenu = window->trayMenu()->findChild<QMenu*>(QStringLiteral("mnuSimulate"));

        window->popMenuTrayPopup();
        entry(simulateMenu, QStringLiteral("A"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 1, kRunTimeoutMs);
        QVERIFY(!testsupport::pathExists(a.mirror + "/file100"));

        QTRY_VERIFY(!window->isBusy());
        window->popMenuTrayPopup();
        entry(runMenu, QStringLiteral("A"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 2, kRunTimeoutMs);
        for (const char* name : {"/file100", "/file101", "/file102"}) {
            QCOMPARE(testsupport::readFile(a.mirror + name), std::string("content"));
        }
    }

    void dueTasksStartOneAfterAnother() {
        std::vector<TaskSpec> tasks = {task("A", 3), task("B", 3), task("C", 3)};
        for (TaskSpec& spec : tasks) {
            spec.intervalEnabled = true;
        }
        writeConfig(m_dir->path(), tasks);
        auto window = makeWindow(std::chrono::milliseconds(5));
        m_clock.advanceSeconds(5 * 60);
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 3, kRunTimeoutMs);

        std::vector<std::string> started;
        bool running = false;
        for (const RunRecorder::Event& event : m_recorder->events()) {
            if (event.kind == 'B') {
                QVERIFY2(!running, "a run began before the previous one ended");
                running = true;
                started.push_back(event.text);
            } else if (event.kind == 'E') {
                running = false;
            }
        }
        QCOMPARE(started, (std::vector<std::string>{"A", "B", "C"}));
        for (const auto& t : window->taskManager()->taskList()) {
            QCOMPARE(t->schedule.runTimes(), 1);
        }
        QVERIFY(!testsupport::pathExists(tasks[0].mirror + "/file100"));  // scheduled simulation
    }

    void aTaskRemovedWhileQueuedNeverStarts() {
        TaskSpec a = task("A", 2);
        TaskSpec b = task("B", 2);
        a.intervalEnabled = b.intervalEnabled = true;
        writeConfig(m_dir->path(), {a, b});
        auto window = makeWindow(std::chrono::milliseconds(5));
        m_clock.advanceSeconds(5 * 60);
        window->tmeCheckTimer();
        QCOMPARE(window->scheduleQueue().dueCount(), std::size_t(2));

        select(*window, {1});
        DialogService::instance().setNextAnswer(QMessageBox::Yes);
        window->btnRemoveTaskClick();
        QCOMPARE(DialogService::instance().lastDefaultButton(), QMessageBox::No);
        QCOMPARE(window->taskManager()->taskList().size(), std::size_t(1));
        QCOMPARE(window->scheduleQueue().dueCount(), std::size_t(1));

        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 1, kRunTimeoutMs);
        QTRY_VERIFY(!window->isBusy());
        window->tmeGetTimer();
        QVERIFY(!window->isBusy());
        QCOMPARE(m_recorder->count('B'), 1);
        QCOMPARE(m_recorder->events().front().text, std::string("A"));
        // Removing is saved at once.
        QCOMPARE(readSaved(m_dir->path(), m_defaultFile).taskNames, std::vector<std::string>{"A"});
    }

    void stopAnsweredNoGoesOnWhereItPaused() {
        writeConfig(m_dir->path(), {task("A", 30)});
        auto window = makeWindow(kSlowItem);
        select(*window, {0});
        window->btnSimulateRunClick();
        QTRY_VERIFY(m_recorder->count('U') >= 2);

        DialogService::instance().setNextAnswer(QMessageBox::No);
        window->btnAbortTaskClick();
        QCOMPARE(DialogService::instance().lastText(),
                 QStringLiteral("Task is running,are you sure to abort it ?"));
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 1, kRunTimeoutMs);

        QCOMPARE(m_recorder->count('P'), 1);
        QCOMPARE(m_recorder->count('R'), 1);
        // Every item once, in plan order: none skipped, none repeated.
        QCOMPARE(planSources(*window).size(), std::size_t(30));
        QCOMPARE(m_recorder->updates(), planSources(*window));
        QVERIFY(!window->runPaused());
    }

    void stopAnsweredYesAborts() {
        writeConfig(m_dir->path(), {task("A", 30)});
        auto window = makeWindow(kSlowItem);
        select(*window, {0});
        window->btnSimulateRunClick();
        QTRY_VERIFY(m_recorder->count('U') >= 1);

        DialogService::instance().setNextAnswer(QMessageBox::Yes);
        window->btnAbortTaskClick();
        QVERIFY(!window->taskRun()->isRunning());
        QVERIFY(child<TGauge>(*window, "prgTaskRun")->isHidden());
        QVERIFY(!child<QToolButton>(*window, "btnAbortTask")->isEnabled());
        QVERIFY(child<QToolButton>(*window, "btnRunTask")->isEnabled());
        QCOMPARE(m_recorder->count('E'), 1);
        QVERIFY(m_recorder->updates().size() < 30);

        QTRY_VERIFY(!window->isBusy());
        select(*window, {0});
        QVERIFY(window->startTaskRun(window->selectedTask(), true));
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 2, kRunTimeoutMs);
    }

    void closingDuringARun_data() {
        QTest::addColumn<bool>("quit");
        QTest::newRow("No keeps the window and the run") << false;
        QTest::newRow("Yes stops the run, saves and closes") << true;
    }
    void closingDuringARun() {
        QFETCH(bool, quit);
        writeConfig(m_dir->path(), {task("A", 30)});
        auto window = makeWindow(kSlowItem);
        child<QCheckBox>(*window, "chkShowDetail")->setChecked(true);
        select(*window, {0});
        window->btnSimulateRunClick();
        QTRY_VERIFY(m_recorder->count('U') >= 1);

        DialogService::instance().setNextAnswer(quit ? QMessageBox::Yes : QMessageBox::No);
        QCOMPARE(window->close(), quit);
        QCOMPARE(DialogService::instance().lastText(),
                 QStringLiteral("Task is running,are you sure stop it and quit Twinfold?"));
        QCOMPARE(window->isShutDown(), quit);
        if (quit) {
            QCOMPARE(m_recorder->count('E'), 1);
            QVERIFY(m_recorder->updates().size() < 30);
            QVERIFY(!window->trayIcon()->visible());
            QVERIFY(readSaved(m_dir->path(), m_defaultFile).setting.showDetail);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 1, kRunTimeoutMs);
            QCOMPARE(m_recorder->updates(), planSources(*window));
        }
    }

    // Quit from the tray while a dialog is open cancels the dialog and
    // quits; during a run it asks first.
    void trayQuitClosesAnOpenDialog_data() {
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("agree");
        QTest::newRow("idle") << false << true;
        QTest::newRow("run, quit agreed") << true << true;
        QTest::newRow("run, quit refused") << true << false;
    }
    void trayQuitClosesAnOpenDialog() {
        QFETCH(bool, running);
        QFETCH(bool, agree);
        writeConfig(m_dir->path(), {task("A", 30)});
        auto window = makeWindow(kSlowItem);
        select(*window, {0});
        if (running) {
            window->btnSimulateRunClick();
            QTRY_VERIFY(m_recorder->count('U') >= 1);
            DialogService::instance().setNextAnswer(agree ? QMessageBox::Yes : QMessageBox::No);
        }
        bool quitChosen = false;
        QTimer::singleShot(50, window.get(), [&] {
            QVERIFY(qobject_cast<QDialog*>(QApplication::activeModalWidget()) != nullptr);
            quitChosen = true;
            window->trayMenu()->findChild<QAction*>(u"mnuTrayQuit"_s)->trigger();
            if (!agree) {
                QApplication::activeModalWidget()->close();  // the dialog stays: the test ends it
            }
        });
        window->btnSettingsClick();  // a dialog, answered by nobody
        QVERIFY(quitChosen);
        if (running) {
            QCOMPARE(DialogService::instance().lastText(),
                     u"Task is running,are you sure stop it and quit Twinfold?"_s);
        }
        if (agree) {
            QTRY_VERIFY(window->isShutDown());
            QVERIFY(!window->trayIcon()->visible());
            if (running) {
                QCOMPARE(m_recorder->count('E'), 1);
                QVERIFY(m_recorder->updates().size() < 30);
            }
        } else {
            QTest::qWait(100);
            QVERIFY(!window->isShutDown());
            QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 1, kRunTimeoutMs);
            QCOMPARE(m_recorder->updates(), planSources(*window));
        }
    }

    // The end of the session while the stop question is open: the question
    // goes as if answered No, then the program closes without asking.
    void unattendedCloseAnswersTheOpenQuestionAndSaves() {
        writeConfig(m_dir->path(), {task("A", 30)});
        auto window = makeWindow(kSlowItem);
        select(*window, {0});
        window->btnSimulateRunClick();
        QTRY_VERIFY(m_recorder->count('U') >= 1);
        child<QCheckBox>(*window, "chkShowDetail")->setChecked(true);

        QTimer::singleShot(50, window.get(), [&window] {
            QVERIFY(QApplication::activeModalWidget() != nullptr);
            window->requestUnattendedClose();
        });
        window->btnAbortTaskClick();  // a real box, answered by nobody
        QTRY_VERIFY(window->isShutDown());
        QCOMPARE(m_recorder->count('E'), 1);
        QVERIFY(m_recorder->updates().size() < 30);
        QVERIFY(readSaved(m_dir->path(), m_defaultFile).setting.showDetail);
    }

    void unattendedCloseCancelsATaskBeingAdded() {
        writeConfig(m_dir->path(), {task("A", 1)});
        auto window = makeWindow();
        QTimer::singleShot(100, window.get(), [&window] {
            QVERIFY(qobject_cast<QDialog*>(QApplication::activeModalWidget()) != nullptr);
            QCOMPARE(window->taskManager()->taskList().size(), std::size_t(2));
            window->requestUnattendedClose();
        });
        window->btnAddTaskClick();
        QTRY_VERIFY(window->isShutDown());
        QCOMPARE(window->taskManager()->taskList().size(), std::size_t(1));
        QCOMPARE(readSaved(m_dir->path(), m_defaultFile).taskNames, std::vector<std::string>{"A"});
    }

    void loadFailureIsToldAndNothingIsWritten_data() {
        QTest::addColumn<bool>("broken");
        QTest::addColumn<QString>("caption");
        QTest::newRow("no configuration and no default") << false << "System error";
        QTest::newRow("configuration not readable") << true << "System info";
    }
    void loadFailureIsToldAndNothingIsWritten() {
        QFETCH(bool, broken);
        QFETCH(QString, caption);
        const std::string broken_text = "<config><policyList>";
        if (broken) {
            testsupport::writeFile(*m_dir / "config.xml", broken_text);
        }
        m_defaultFile = *m_dir / "missing-default.xml";
        DialogService::instance().setNextAnswer(QMessageBox::Ok);
        auto window = makeWindow();
        QCOMPARE(DialogService::instance().lastCaption(), caption);
        QCOMPARE(DialogService::instance().lastText(),
                 QString::fromLatin1(broken ? config::kCannotParseMessage.data()
                                            : config::kDefaultFileMissingMessage.data()));
        QTRY_VERIFY(window->isShutDown());
        if (broken) {
            QCOMPARE(testsupport::readFile(*m_dir / "config.xml"), broken_text);
        } else {
            QVERIFY(!testsupport::pathExists(*m_dir / "config.xml"));
        }
        m_defaultFile = platform::programFolder() + "default.xml";
    }

    // A stored task whose policy is missing is told once at start, in a box,
    // and runs with deletion off instead of under the default policy.
    void missingPolicyIsToldOnceAndTheTaskRunsWithoutDeletion() {
        TaskSpec a = task("A", 1);
        a.simulate = false;
        testsupport::writeFile(a.mirror + "/only-here.txt", "mine");
        writeConfig(m_dir->path(), {a});
        const std::string file = *m_dir / "config.xml";
        std::string xml = testsupport::readFile(file);
        const std::string stored = "policy=\"&lt; default copy policy &gt;\" enableLog";
        QVERIFY(xml.find(stored) != std::string::npos);
        xml.replace(xml.find(stored), stored.size(), "policy=\"Gone\" enableLog");
        testsupport::writeFile(file, xml);

        DialogService& service = DialogService::instance();
        service.setNextAnswer(QMessageBox::Ok);
        auto window = makeWindow();
        QCOMPARE(service.messageCount(), 1);
        QCOMPARE(service.lastCaption(), QStringLiteral("Info"));
        QVERIFY2(
            service.lastText().contains(QStringLiteral(
                "task \"A\": no copy policy is named \"Gone\"; the task runs with deletion off")),
            qPrintable(service.lastText()));

        select(*window, {0});
        window->btnRunTaskClick();
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 1, kRunTimeoutMs);
        QTRY_VERIFY(!window->isBusy());
        QCOMPARE(testsupport::readFile(a.mirror + "/file100"), std::string("content"));
        QCOMPARE(testsupport::readFile(a.mirror + "/only-here.txt"), std::string("mine"));
        QCOMPARE(service.messageCount(), 1);
    }

    // Failed and skipped operations are told by the tray icon (here, with no
    // notification area, in the window), never in a box.
    void runProblemsAreToldWithoutABox() {
        TaskSpec a = task("A", 0);
        testsupport::removeTree(a.main);  // a missing main folder is skipped
        testsupport::writeFile(a.mirror + "/keep.txt", "mine");
        a.enableLog = true;
        a.logFile = *m_dir / "a.log";
        writeConfig(m_dir->path(), {a});
        auto window = makeWindow();
        select(*window, {0});
        window->btnRunTaskClick();
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 1, kRunTimeoutMs);
        QTRY_VERIFY(!window->isBusy());

        const QString notice = window->trayIcon()->lastMessage();
        QVERIFY2(notice.contains(QStringLiteral("\"A\"")), qPrintable(notice));
        QVERIFY2(notice.contains(QStringLiteral("0 operation(s) failed, 1 skipped")),
                 qPrintable(notice));
        QVERIFY2(notice.contains(QString::fromStdString(a.logFile)), qPrintable(notice));
        QCOMPARE(child<QLabel>(*window, "lblRunNotice")->text(), notice);
        QCOMPARE(DialogService::instance().messageCount(), 0);
        QCOMPARE(testsupport::readFile(a.mirror + "/keep.txt"), std::string("mine"));
    }

    // A run that would delete most of a mirror (a share down at run time
    // leaves its folder empty in main) asks a person, with No as the
    // default, and never asks for a scheduled run: that one holds back.
    void massDeletionAsksAPersonAndHoldsBackForTheSchedule_data() {
        QTest::addColumn<int>("origin");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("held");
        QTest::newRow("button, No keeps the mirror")
            << int(RunOrigin::Button) << int(QMessageBox::No) << true;
        QTest::newRow("tray, Yes deletes")
            << int(RunOrigin::Tray) << int(QMessageBox::Yes) << false;
        QTest::newRow("schedule holds without asking")
            << int(RunOrigin::Schedule) << int(QMessageBox::NoButton) << true;
    }
    void massDeletionAsksAPersonAndHoldsBackForTheSchedule() {
        QFETCH(int, origin);
        QFETCH(int, answer);
        QFETCH(bool, held);
        TaskSpec a = task("A", 1);
        testsupport::writeFile(a.mirror + "/file100", "content");
        for (int i = 0; i < 12; ++i) {
            testsupport::writeFile(a.mirror + "/gone" + std::to_string(i), "old");
        }
        writeConfig(m_dir->path(), {a});
        auto window = makeWindow();
        if (answer != QMessageBox::NoButton) {
            DialogService::instance().setNextAnswer(QMessageBox::StandardButton(answer));
        }
        select(*window, {0});
        QVERIFY(window->startTaskRun(window->selectedTask(), false, RunOrigin(origin)));
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->count('E'), 1, kRunTimeoutMs);
        QTRY_VERIFY(!window->isBusy());

        const bool asked = RunOrigin(origin) != RunOrigin::Schedule;
        QCOMPARE(DialogService::instance().messageCount(), asked ? 1 : 0);
        if (asked) {
            const QString question = DialogService::instance().lastText();
            QVERIFY2(question.contains(QStringLiteral("\"A\" would delete 12 of the 13")),
                     qPrintable(question));
            QVERIFY2(question.contains(QString::fromStdString(a.mirror)), qPrintable(question));
            QCOMPARE(DialogService::instance().lastDefaultButton(), QMessageBox::No);
        }
        QCOMPARE(window->lastResult().heldDeletions, held ? 12 : 0);
        QCOMPARE(window->lastResult().origin, RunOrigin(origin));
        if (held) {
            QVERIFY(testsupport::pathExists(a.mirror + "/gone11"));
            const QString notice = window->trayIcon()->lastMessage();
            QVERIFY2(notice.contains(QStringLiteral("12 deletion(s) were held back")),
                     qPrintable(notice));
        }
    }

    // With a row selected (any click selects one), the wizard used to open on
    // that task and overwrite it; it always makes a new task.
    void wizardWithASelectionMakesANewTask() {
        writeConfig(m_dir->path(), {task("A", 1), task("B", 1)});
        auto window = makeWindow();
        select(*window, {0});
        QTimer driver;
        bool drove = false;
        QObject::connect(&driver, &QTimer::timeout, &driver, [&] {
            auto* wizard = qobject_cast<TfrmTaskWizard*>(QApplication::activeModalWidget());
            if (wizard == nullptr) {
                return;
            }
            driver.stop();
            drove = true;
            const auto press = [wizard](const char* name) {
                child<QPushButton>(*wizard, name)->click();
            };
            QCOMPARE(child<QLineEdit>(*wizard, "edtTaskName")->text(), u"New Task 1"_s);
            press("btnNext");
            child<QLineEdit>(*wizard, "edtTaskName")->setText(u"Fresh"_s);
            press("btnNext");
            child<QLineEdit>(*wizard, "edtMainFolder")->setText(q(*m_dir / "fresh-main"));
            child<QLineEdit>(*wizard, "edtMirrorFolder")->setText(q(*m_dir / "fresh-mirror"));
            press("btnNext");
            press("btnNext");
            DialogService::instance().setNextAnswer(QMessageBox::Yes);  // main folder missing
            press("btnFinish");
        });
        driver.start(10);
        window->btnTaskWizardClick();
        QVERIFY(drove);
        QCOMPARE(readSaved(m_dir->path(), m_defaultFile).taskNames,
                 (std::vector<std::string>{"A", "B", "Fresh"}));
        const Task& a = *window->taskManager()->taskList().front();
        QCOMPARE(a.name, std::string("A"));
        QCOMPARE(a.folderList.count(), 1u);
    }

    // Opened from the tray and from the button; OK saves the file at once and
    // writes or removes the session's autostart entry, and a failure to write
    // it is told with the dialog left open.
    void settingsAreSavedAtOnceWithTheAutostartEntry() {
        writeConfig(m_dir->path(), {task("A", 1)});
        const std::string xdg = *m_dir / "xdg";
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(xdg));
        const std::string entry = xdg + "/autostart/" + platform::kAutostartEntryName;
        auto window = makeWindow();

        const auto drive = [](std::function<void(TfrmSettings&)> act) {
            auto done = std::make_shared<bool>(false);
            auto* timer = new QTimer;
            QObject::connect(timer, &QTimer::timeout, timer, [timer, done, act] {
                if (auto* dialog = qobject_cast<TfrmSettings*>(QApplication::activeModalWidget())) {
                    timer->stop();
                    timer->deleteLater();
                    *done = true;
                    act(*dialog);
                    if (dialog->isVisible()) {
                        dialog->reject();
                    }
                }
            });
            timer->start(10);
            return done;
        };
        const auto spin = [](TfrmSettings& d, const char* name) {
            return child<QSpinBox>(d, name);
        };

        auto done = drive([&](TfrmSettings& d) {
            QCOMPARE(spin(d, "spnDeletePercent")->value(), 50);
            QCOMPARE(spin(d, "spnDeleteMinimum")->value(), 10);
            QCOMPARE(spin(d, "spnOverdueDays")->value(), 7);
            QVERIFY(!child<QCheckBox>(d, "chkStartWithSession")->isChecked());
            spin(d, "spnDeletePercent")->setValue(30);
            spin(d, "spnDeleteMinimum")->setValue(200);
            spin(d, "spnOverdueDays")->setValue(0);
            child<QCheckBox>(d, "chkStartWithSession")->setChecked(true);
            child<QCheckBox>(d, "chkRunMissed")->setChecked(true);
            child<QPushButton>(d, "btnOK")->click();
        });
        window->trayMenu()->findChild<QAction*>(u"mnuTraySettings"_s)->trigger();
        QVERIFY(*done);
        SavedConfig saved = readSaved(m_dir->path(), m_defaultFile);
        QCOMPARE(saved.setting.maxDeletePercent, 30);
        QCOMPARE(saved.setting.maxDeleteMinimum, 200);
        QCOMPARE(saved.setting.overdueDays, 0);
        QVERIFY(saved.setting.startWithSession);
        QVERIFY(saved.setting.runMissedDefault);
        QVERIFY(testsupport::pathExists(entry));
        QVERIFY(testsupport::readFile(entry).find(platform::programFolder() + "twinfold") !=
                std::string::npos);

        done = drive([&](TfrmSettings& d) {
            QCOMPARE(spin(d, "spnDeleteMinimum")->value(), 200);
            child<QCheckBox>(d, "chkStartWithSession")->setChecked(false);
            child<QPushButton>(d, "btnOK")->click();
        });
        child<QPushButton>(*window, "btnSettings")->click();
        QVERIFY(*done);
        QVERIFY(!readSaved(m_dir->path(), m_defaultFile).setting.startWithSession);
        QVERIFY(!testsupport::pathExists(entry));

        // The autostart folder's place is taken by a file.
        testsupport::removeTree(xdg + "/autostart");
        testsupport::writeFile(xdg + "/autostart", "not a folder");
        DialogService::instance().setNextAnswer(QMessageBox::Ok);
        bool stayedOpen = false;
        done = drive([&](TfrmSettings& d) {
            child<QCheckBox>(d, "chkStartWithSession")->setChecked(true);
            spin(d, "spnOverdueDays")->setValue(3);
            child<QPushButton>(d, "btnOK")->click();
            stayedOpen = d.isVisible();
        });
        window->btnSettingsClick();
        QVERIFY(*done);
        QVERIFY(stayedOpen);
        QVERIFY(DialogService::instance().lastText().contains(u"autostart"_s));
        // Cancelled: nothing changed.
        saved = readSaved(m_dir->path(), m_defaultFile);
        QCOMPARE(saved.setting.overdueDays, 0);
        QVERIFY(!saved.setting.startWithSession);
        qunsetenv("XDG_CONFIG_HOME");
    }

    void aFailedSaveIsTold() {
        writeConfig(m_dir->path(), {task("A", 1), task("B", 1)});
        auto window = makeWindow();
        // The file's place is taken by a folder that cannot be replaced.
        testsupport::removeTree(*m_dir / "config.xml");
        testsupport::makeDirs(*m_dir / "config.xml/inside");
        select(*window, {1});
        DialogService::instance().setNextAnswer(QMessageBox::Yes);
        DialogService::instance().setNextAnswer(QMessageBox::Ok);
        window->btnRemoveTaskClick();
        QCOMPARE(DialogService::instance().messageCount(), 2);
        QCOMPARE(DialogService::instance().lastCaption(), QStringLiteral("Info"));
        QVERIFY2(DialogService::instance().lastText().contains(QStringLiteral("can't save")),
                 qPrintable(DialogService::instance().lastText()));
        QVERIFY(testsupport::pathExists(*m_dir / "config.xml/inside"));
    }

    void hintHelpAndSuggestion() {
        writeConfig(m_dir->path(), {});
        auto window = makeWindow();
        QCOMPARE(window->trayIcon()->hint(), QStringLiteral("Twinfold! (v1.2)"));
        QVERIFY(!window->windowIcon().isNull());  // the icon built into the program

        // The address shows in a field to copy from; the mail program is
        // only a button away.
        DialogService& service = DialogService::instance();
        service.setOpenUrlResult(false);
        const QString address = QString::fromLatin1(config::kSupportAddress.data());
        QString shown;
        auto* driver = new QTimer(window.get());
        QObject::connect(driver, &QTimer::timeout, driver, [&, driver] {
            QWidget* box = QApplication::activeModalWidget();
            if (box == nullptr || box->objectName() != u"frmSuggestion"_s) {
                return;
            }
            driver->stop();
            shown = child<QLineEdit>(*box, "edtMailAddress")->text();
            child<QPushButton>(*box, "btnCopyAddress")->click();
            child<QPushButton>(*box, "btnWriteMail")->click();
            child<QPushButton>(*box, "btnClose")->click();
        });
        driver->start(10);
        window->lblSuggestionClick();
        QCOMPARE(shown, address);
        QCOMPARE(QGuiApplication::clipboard()->text(), address);
        QCOMPARE(service.lastUrl().scheme(), QStringLiteral("mailto"));
        QCOMPARE(service.lastUrl().path(), address);
        QCOMPARE(QUrlQuery(service.lastUrl()).queryItemValue(QStringLiteral("subject")),
                 QStringLiteral("I have a good idea"));
        QCOMPARE(service.messageCount(), 0);

        window->lblURLClick();
        QCOMPARE(service.messageCount(), 0);
        auto* help = window->findChild<HelpWindow*>();
        QVERIFY(help != nullptr && help->isVisible());
        QVERIFY(help->browser()->source().path().endsWith(u"/help/index.html"_s));
    }

    void aMissingLogLibraryIsToldInTheNoticeLineNotInABox() {
        writeConfig(m_dir->path(), {}, /*showWizard=*/false);
        auto window = makeWindow();
        const int boxes = DialogService::instance().messageCount();
        const AppLog log(*m_dir / "libLogDll.so", &TfrmMain::showLogLoadFailure, m_clock);
        QVERIFY(!log.hasWriter());
        auto* notice = window->findChild<QLabel*>(QStringLiteral("lblRunNotice"));
        QVERIFY(notice != nullptr);
        QTRY_COMPARE(notice->text(),
                     QStringLiteral("Can't load libLogDll.so, task log is disabled"));
        QVERIFY(!notice->isHidden());
        QCOMPARE(DialogService::instance().messageCount(), boxes);
    }

    void firstStartOpensTheWizardOnce() {
        writeConfig(m_dir->path(), {}, /*showWizard=*/true);
        std::unique_ptr<TfrmMain> window;
        {
            const RejectWhenShown<TfrmTaskWizard> wizard;
            window = makeWindow();
            QVERIFY(wizard.seen());
        }
        QVERIFY(window->taskManager()->taskList().empty());
        QVERIFY(!readSaved(m_dir->path(), m_defaultFile).setting.showWizard);
        window.reset();

        const RejectWhenShown<TfrmTaskWizard> wizard;
        auto second = makeWindow();
        QVERIFY(!wizard.seen());
    }

    void progressWindowShowsOnlyWithDetail() {
        writeConfig(m_dir->path(), {task("A", 2), task("B", 2)});
        auto window = makeWindow(std::chrono::milliseconds(0));
        window->show();
        child<QCheckBox>(*window, "chkShowDetail")->setChecked(true);
        select(*window, {1});
        window->btnSimulateRunClick();
        QVERIFY(window->progressWindow() != nullptr);
        QVERIFY(window->progressWindow()->isVisible());
        QCOMPARE(child<QLabel>(*window->progressWindow(), "lblTaskName")->text(),
                 QStringLiteral(" B "));
        QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy(), kRunTimeoutMs);

        child<QCheckBox>(*window, "chkShowDetail")->setChecked(false);
        select(*window, {0});
        window->btnSimulateRunClick();
        QVERIFY(!window->progressWindow()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy(), kRunTimeoutMs);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
