#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "UiFixture.h"
#include "history/RunHistory.h"
#include "platform/Clock.h"
#include "support/TempTree.h"
#include "ui/RunStatusText.h"
#include "ui/TfrmHistory.h"
#include "ui/TfrmMain.h"
#include "widgets/DialogService.h"
#include "widgets/LogViewer.h"
#include "widgets/TTrayIcon.h"

namespace {

constexpr int kRunTimeoutMs = 20000;

RunResult run(int done, int failed, int skipped, std::string logFile = {}) {
    RunResult result;
    result.taskId = "id-A";
    result.taskName = "A";
    result.end = std::chrono::system_clock::now();
    result.start = result.end - std::chrono::seconds(5);
    result.done = done;
    result.failed = failed;
    result.skipped = skipped;
    result.logFile = std::move(logFile);
    return result;
}

}  // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TempDir> m_dir;
    platform::FixedClock m_clock;

    TaskSpec task(const std::string& name, int files) {
        TaskSpec spec;
        spec.name = name;
        spec.id = "id-" + name;
        spec.main = *m_dir / (name + "-main");
        spec.mirror = *m_dir / (name + "-mirror");
        testsupport::makeDirs(spec.main);
        testsupport::makeDirs(spec.mirror);
        for (int i = 0; i < files; ++i) {
            testsupport::writeFile(spec.main + "/file" + std::to_string(i), "content");
        }
        return spec;
    }

    std::string historyFile() const { return *m_dir / "state/history.db"; }

    std::unique_ptr<TfrmMain> makeWindow() {
        auto window = std::make_unique<TfrmMain>(testWindowOptions(m_dir->path(), &m_clock));
        window->FormCreate();
        return window;
    }

    static void runRow(TfrmMain& window, int row) {
        auto* list = child<QListWidget>(window, "lstTasks");
        list->clearSelection();
        list->item(row)->setSelected(true);
        window.lstTasksClick();
        window.btnRunTaskClick();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isBusy(), kRunTimeoutMs);
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<testsupport::TempDir>();
        m_clock.set(platform::makeDateTime(2024, 5, 6, 10, 0, 0));
        DialogService::instance().reset();
    }

    void cleanup() {
        DialogService::instance().reset();
        m_dir.reset();
    }

    // Each run is recorded; the list, the gauge area and the notice say how
    // it ended, and the notice leads to the task's history.
    void runsAreRecordedAndShownInTheList() {
        TaskSpec a = task("A", 2);
        TaskSpec b = task("B", 0);
        testsupport::removeTree(b.main);
        writeConfig(m_dir->path(), {a, b});
        auto window = makeWindow();
        auto* list = child<QListWidget>(*window, "lstTasks");
        QVERIFY2(list->item(0)->text().endsWith(QStringLiteral("\nnever run")),
                 qPrintable(list->item(0)->text()));

        runRow(*window, 0);
        QVERIFY2(list->item(0)->text().endsWith(QStringLiteral(": done")),
                 qPrintable(list->item(0)->text()));
        QVERIFY(!runstatus::itemNeedsAttention(*list->item(0)));
        QVERIFY(list->item(0)->icon().isNull());
        auto* lastRun = child<QLabel>(*window, "lblLastRun");
        QVERIFY(!lastRun->isHidden());
        QVERIFY2(lastRun->text().contains(QStringLiteral("\"A\": 2 done, 0 failed, 0 skipped")),
                 qPrintable(lastRun->text()));

        runRow(*window, 1);
        QVERIFY2(list->item(1)->text().endsWith(QStringLiteral(": skipped 1")),
                 qPrintable(list->item(1)->text()));
        QVERIFY(runstatus::itemNeedsAttention(*list->item(1)));
        QVERIFY(!list->item(1)->icon().isNull());
        const QString notice = window->trayIcon()->lastMessage();
        QVERIFY2(notice.contains(QString::fromStdString(b.main) +
                                 QStringLiteral(": the main folder does not exist")),
                 qPrintable(notice));

        // Another process reads the same rows.
        RunHistory reader(historyFile());
        const std::vector<RunResult> rows = reader.runs("");
        QCOMPARE(rows.size(), std::size_t{2});
        QCOMPARE(rows[0].taskId, std::string("id-B"));
        QCOMPARE(rows[0].origin, RunOrigin::Button);
        QCOMPARE(rows[1].done, 2);

        auto* label = child<QLabel>(*window, "lblRunNotice");
        QVERIFY(!label->isHidden());
        QTest::mouseClick(label, Qt::LeftButton);
        auto* history = window->findChild<TfrmHistory*>();
        QVERIFY(history != nullptr);
        QVERIFY(history->isVisible());
        QCOMPARE(history->runList()->topLevelItemCount(), 1);
        QVERIFY(history->runList()->topLevelItem(0)->text(7).endsWith(
            QStringLiteral(": the main folder does not exist")));
        history->close();
    }

    // Newest first, every problem of the chosen run, and the log button only
    // for a log that exists.
    void historyWindowListsRunsAndOpensOnlyExistingLogs() {
        const std::string log = *m_dir / "a.log";
        testsupport::writeFile(log, "log");
        RunResult failed = run(1, 2, 0, *m_dir / "gone.log");
        failed.problems = {{true, "/m/x", "permission denied"}, {false, "/m/y", "in use"}};
        TfrmHistory window(QStringLiteral("A"));
        window.setRuns({failed, run(3, 0, 0, log)}, QString());
        QTreeWidget* runs = window.runList();
        QCOMPARE(runs->topLevelItemCount(), 2);
        QCOMPARE(runs->topLevelItem(0)->text(3), QStringLiteral("failed 2"));
        QCOMPARE(runs->topLevelItem(1)->text(3), QStringLiteral("done"));
        const QString problems = child<QPlainTextEdit>(window, "txtProblems")->toPlainText();
        QVERIFY2(problems.contains(QStringLiteral("[Error] /m/x: permission denied\n[Skip] "
                                                  "/m/y: in use")),
                 qPrintable(problems));
        auto* open = child<QPushButton>(window, "btnOpenLog");
        QVERIFY(!open->isEnabled());  // its log is gone
        runs->setCurrentItem(runs->topLevelItem(1));
        QVERIFY(open->isEnabled());
        QCOMPARE(window.logFileToOpen(), QString::fromStdString(log));
        // Shown in a window of the program's own, whatever the desktop has.
        open->click();
        auto* viewer = window.findChild<LogViewer*>();
        QVERIFY(viewer != nullptr);
        QCOMPARE(viewer->text()->toPlainText(), QStringLiteral("log"));
        viewer->close();
    }

    // A task scheduled for real runs without a success for longer than the
    // set days is told of once a day and stands out.
    void overdueTaskIsToldOnceAndStandsOut() {
        TaskSpec c = task("C", 0);
        c.intervalEnabled = true;
        c.simulate = false;
        TaskSpec d = task("D", 0);  // not scheduled: never overdue
        writeConfig(m_dir->path(), {c, d});
        {
            RunHistory history(historyFile());
            for (const char* id : {"id-C", "id-D"}) {
                RunResult old = run(1, 0, 0);
                old.taskId = id;
                old.end -= std::chrono::hours(24 * 8);
                old.start = old.end;
                QVERIFY(history.record(old));
            }
        }
        auto window = makeWindow();
        auto* list = child<QListWidget>(*window, "lstTasks");
        QVERIFY(runstatus::itemNeedsAttention(*list->item(0)));
        QVERIFY2(list->item(0)->text().contains(QStringLiteral("overdue")),
                 qPrintable(list->item(0)->text()));
        QVERIFY(!runstatus::itemNeedsAttention(*list->item(1)));
        const QString notice = window->trayIcon()->lastMessage();
        QVERIFY2(notice.contains(QStringLiteral("7 day(s): C")), qPrintable(notice));
        QCOMPARE(window->checkOverdue(), 0);  // told already today
    }
};

QTEST_MAIN(HistoryWindowTest)
#include "HistoryWindowTest.moc"
