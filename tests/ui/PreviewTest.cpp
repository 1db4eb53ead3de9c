#include <QApplication>
#include <QBrush>
#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

#include "UiFixture.h"
#include "engine/FileItemList.h"
#include "model/Task.h"
#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "support/TempTree.h"
#include "ui/PlanModel.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmPreview.h"
#include "widgets/DialogService.h"

namespace {

constexpr int kRunTimeoutMs = 20000;

// While it exists, hands the first preview window that opens (modal) to
// `act`, once.
class WhenPreviewShown {
public:
    explicit WhenPreviewShown(std::function<void(TfrmPreview&)> act) : m_act(std::move(act)) {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (auto* preview = qobject_cast<TfrmPreview*>(QApplication::activeModalWidget())) {
                m_timer.stop();
                m_seen = true;
                m_act(*preview);
            }
        });
        m_timer.start(20);
    }
    bool seen() const { return m_seen; }

private:
    std::function<void(TfrmPreview&)> m_act;
    QTimer m_timer;
    bool m_seen = false;
};

// The texts of one column, top to bottom.
QStringList column(const QAbstractItemModel& model, int col) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts << model.index(row, col).data().toString();
    }
    return texts;
}

QStringList split(const char* commaSeparated) {
    return QString::fromLatin1(commaSeparated).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

bool lockFree(const std::string& folder) {
    platform::OpResult result;
    return platform::MirrorTree::open(folder, 0, result).valid();
}

}  // namespace

class PreviewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TempDir> m_dir;
    platform::FixedClock m_clock;

    // One real task over main/ and mirror/ in the test folder.
    TaskSpec makeTask() {
        TaskSpec spec;
        spec.name = "A";
        spec.id = "id-A";
        spec.main = *m_dir / "main";
        spec.mirror = *m_dir / "mirror";
        testsupport::makeTree(m_dir->path(),
                              "main/a=1\nmain/b=2\nmain/c=3\nmirror/old=x\nmirror/oldDir/d=4\n");
        writeConfig(m_dir->path(), {spec});
        return spec;
    }

    std::unique_ptr<TfrmMain> makeWindow() {
        auto window = std::make_unique<TfrmMain>(testWindowOptions(m_dir->path(), &m_clock));
        window->FormCreate();
        auto* list = child<QListWidget>(*window, "lstTasks");
        list->item(0)->setSelected(true);
        window->lstTasksClick();
        return window;
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

    void filterShowsOnlyItsOperations_data() {
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("all, in plan order")
            << quint32{PlanModel::kAll}
            << split("/m/new,/m/changed,/m/gone,/m/goneDir,/s/unreadable,/s/excluded,/m/newDir");
        QTest::newRow("deletions") << quint32{PlanModel::kDeletions} << split("/m/gone,/m/goneDir");
        QTest::newRow("creations of files and folders")
            << quint32{PlanModel::bit(opCreateFile) | PlanModel::bit(opCreateDirectory)}
            << split("/m/new,/m/newDir");
        QTest::newRow("nothing") << quint32{0} << QStringList{};
    }

    // Counts cover the whole plan whatever the filter; the rows are those of
    // the filter, in plan order; deletions stand out and nothing else does.
    void filterShowsOnlyItsOperations() {
        QFETCH(quint32, mask);
        QFETCH(QStringList, paths);
        Task task;
        FileItemList plan(&task);
        const auto add = [&plan](std::int32_t op, const char* source, const char* target,
                                 const char* reason = "") {
            FileItem& item = plan.newItem();
            item.setSource(source);
            item.setTarget(target);
            item.setOperation(op);
            item.setReason(reason);
        };
        // Creations and updates show their target, the others their source.
        add(opCreateFile, "/s/new", "/m/new");
        add(opUpdateFile, "/s/changed", "/m/changed");
        add(opDeleteFile, "/m/gone", "");
        add(opDeleteDirectory, "/m/goneDir", "");
        add(opSkip, "/s/unreadable", "/m/unreadable", "permission denied");
        add(opExclude, "/s/excluded", "/m/excluded");
        add(opCreateDirectory, "/s/newDir", "/m/newDir");

        TfrmPreview window(QStringLiteral("A"), plan);
        PlanModel& model = *window.model();
        model.setOperationFilter(mask);
        QCOMPARE(column(model, PlanModel::ColPath), paths);
        QCOMPARE(model.total(), std::size_t{7});
        for (std::int32_t op = 0; op < PlanModel::kOperationCount; ++op) {
            QCOMPARE(model.count(op), std::size_t{1});
        }
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex operation = model.index(row, PlanModel::ColOperation);
            const bool deletion = paths[row].startsWith(QStringLiteral("/m/gone"));
            QCOMPARE(operation.data(Qt::FontRole).value<QFont>().bold(), deletion);
            QCOMPARE(operation.data(Qt::DecorationRole).value<QIcon>().isNull(), !deletion);
            const QVariant ink = model.index(row, PlanModel::ColPath).data(Qt::ForegroundRole);
            QCOMPARE(ink.isValid() && ink.value<QBrush>().color().red() > 128 &&
                         ink.value<QBrush>().color().green() < 64,
                     deletion);
            QCOMPARE(model.index(row, PlanModel::ColReason).data().toString(),
                     paths[row] == QStringLiteral("/s/unreadable")
                         ? QStringLiteral("permission denied")
                         : QString());
        }
    }

    // The window's counts line and filter list come from the whole plan,
    // and choosing a filter narrows the rows.
    void windowCountsAndFilters() {
        Task task;
        FileItemList plan(&task);
        for (int i = 0; i < 5; ++i) {
            FileItem& item = plan.newItem();
            item.setSource("/m/f" + std::to_string(i));
            item.setOperation(i < 2 ? opDeleteFile : opCreateFile);
        }
        TfrmPreview window(QStringLiteral("A"), plan);
        const QString counts = child<QLabel>(window, "lblCounts")->text();
        QVERIFY2(counts.contains(QStringLiteral("5 item(s)")), qPrintable(counts));
        QVERIFY2(counts.contains(QStringLiteral("Create file: 3")), qPrintable(counts));
        QVERIFY2(counts.contains(QStringLiteral("<b><span style=\"color:#b00020\">Delete file: 2")),
                 qPrintable(counts));
        QVERIFY2(!counts.contains(QStringLiteral("Update file")), qPrintable(counts));

        auto* filter = child<QComboBox>(window, "cboFilter");
        QCOMPARE(window.itemView()->model()->rowCount(), 5);
        filter->setCurrentIndex(filter->findText(QStringLiteral("Deletions (2)")));
        QCOMPARE(window.itemView()->model()->rowCount(), 2);
        filter->setCurrentIndex(filter->findText(QStringLiteral("Update file (0)")));
        QCOMPARE(window.itemView()->model()->rowCount(), 0);
    }

    // "Run this plan" carries out the plan the person saw: a source changed
    // since is skipped with the reason, a file added since is not copied,
    // the rest runs, and the run is recorded as started by a person.
    void runThisPlanSkipsWhatChangedAndRunsTheRest() {
        const TaskSpec spec = makeTask();
        auto window = makeWindow();
        bool busyWhileOpen = false;
        std::size_t copies = 0;
        WhenPreviewShown act([&](TfrmPreview& preview) {
            busyWhileOpen = window->isBusy();
            copies = preview.model()->count(opCreateFile);
            testsupport::writeFile(spec.main + "/b", "changed since the preview");
            testsupport::writeFile(spec.main + "/new", "added since the preview");
            child<QPushButton>(preview, "btnRunPlan")->click();
        });
        child<QToolButton>(*window, "btnPreview")->click();
        QVERIFY(act.seen());
        QVERIFY(busyWhileOpen);
        QCOMPARE(copies, std::size_t{3});
        QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy(), kRunTimeoutMs);

        const RunResult& result = window->lastResult();
        QVERIFY(!result.simulate);
        QCOMPARE(result.origin, RunOrigin::Button);
        QCOMPARE(result.failed, 0);
        QCOMPARE(result.skipped, 1);
        QCOMPARE(result.problems.size(), std::size_t{1});
        QCOMPARE(result.problems[0].reason, spec.main + "/b was modified since the preview");
        QCOMPARE(testsupport::readFile(spec.mirror + "/a"), std::string("1"));
        QCOMPARE(testsupport::readFile(spec.mirror + "/c"), std::string("3"));
        QVERIFY(!testsupport::pathExists(spec.mirror + "/b"));
        QVERIFY(!testsupport::pathExists(spec.mirror + "/new"));
        QVERIFY(!testsupport::pathExists(spec.mirror + "/old"));
        QVERIFY(!testsupport::pathExists(spec.mirror + "/oldDir"));
        QVERIFY(lockFree(spec.mirror));
    }

    // While the preview is open its plan holds the mirror and the window is
    // busy (no scheduled run starts); closing it lets go and runs nothing.
    void closingThePreviewLetsGoOfTheMirror() {
        const TaskSpec spec = makeTask();
        auto window = makeWindow();
        bool busyWhileOpen = false;
        bool lockedWhileOpen = false;
        WhenPreviewShown act([&](TfrmPreview& preview) {
            busyWhileOpen = window->isBusy();
            lockedWhileOpen = !lockFree(spec.mirror);
            preview.reject();
        });
        QVERIFY(!window->previewTask(window->selectedTask()));
        QVERIFY(act.seen());
        QVERIFY(busyWhileOpen);
        QVERIFY(lockedWhileOpen);
        QVERIFY(!window->isBusy());
        QVERIFY(lockFree(spec.mirror));
        QVERIFY(!testsupport::pathExists(spec.mirror + "/a"));
        QVERIFY(testsupport::pathExists(spec.mirror + "/old"));
    }
};

QTEST_MAIN(PreviewTest)
#include "PreviewTest.moc"
