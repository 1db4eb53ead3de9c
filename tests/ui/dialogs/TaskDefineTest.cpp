#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimeEdit>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "DialogFixture.h"
#include "config/XMLConfig.h"
#include "platform/Clock.h"
#include "support/TempTree.h"
#include "ui/dialogs/ControlTip.h"
#include "ui/dialogs/FileExcludePage.h"
#include "ui/dialogs/FileIncludePage.h"
#include "ui/dialogs/GeneralPage.h"
#include "ui/dialogs/SchedulePage.h"
#include "ui/dialogs/TaskFolderPage.h"
#include "ui/dialogs/TfrmSelectFileAttr.h"
#include "ui/dialogs/TfrmSelectFileType.h"
#include "ui/dialogs/TfrmTaskDefine.h"
#include "ui/dialogs/TypeScan.h"
#include "ui/dialogs/VersionSettingsPage.h"
#include "widgets/HelpWindow.h"

using namespace Qt::StringLiterals;

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// A task definition dialog bound to a task of the model.
struct DefineDialog {
    DefineDialog(Model& model, Task& task, bool newTask = false) {
        dialog.SetTasks(&model.tasks);
        dialog.SetTaskDefined(&task, newTask);
    }

    template <class T>
    T* get(const char* name) const {
        T* found = child<T>(dialog, name);
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    QListWidget* list(const char* name) const { return get<QListWidget>(name); }
    QPushButton* button(const char* name) const { return get<QPushButton>(name); }
    QString tip() const { return get<QLabel>("lblTip")->text(); }
    QString page() const { return get<QStackedWidget>("nbOption")->currentWidget()->objectName(); }

    // The field loses the focus to another control of the dialog.
    static void leave(QWidget* field) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(field, &out);
    }
    // The mouse moves over the viewport of an item view, at `pos`.
    static void hover(QAbstractItemView* view, QPoint pos) {
        QMouseEvent move(QEvent::MouseMove, pos, view->viewport()->mapToGlobal(pos), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
    }
    // Clicks a node of the option tree, showing the dialog first (a hidden
    // tree has no node rectangles).
    void clickNode(const QString& text) {
        if (!dialog.isVisible()) {
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        }
        auto* tree = get<QTreeWidget>("tvOption");
        const QList<QTreeWidgetItem*> found =
            tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY(found.size() == 1);
        const QRect rect = tree->visualItemRect(found.front());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // Adds a folder pair through the two folder browsers.
    void addPair(const QString& main, const QString& mirror) const {
        DialogService::instance().setNextFileName(main);
        DialogService::instance().setNextFileName(mirror);
        button("btnAddMainFolder")->click();
    }

    // OK on a task whose made-up folders do not exist: the question whether
    // to save a task that cannot run is answered Yes.
    void okAnyway() const {
        DialogService::instance().setNextAnswer(QMessageBox::Yes);
        button("btnOK")->click();
    }

    TfrmTaskDefine dialog;
};

// Every setting of a task a page can hold, as text: one entry per group
// of settings, keyed by its name.
std::map<std::string, std::string> settingsOf(const Task& task) {
    const auto join = [](const auto& texts) {
        std::string out;
        for (const std::string& text : texts) {
            out += text + '|';
        }
        return out;
    };
    std::vector<std::string> pairs;
    for (const TaskFolderItem& pair : task.folderList.items()) {
        pairs.push_back(pair.main + '>' + pair.mirror);
    }
    const Schedule& schedule = task.schedule;
    const VersionSettings& versions = task.versions;
    return {
        {"name", task.name},
        {"policy", task.getPolicy() != nullptr ? task.getPolicyName() : "(none)"},
        {"log", std::to_string(task.enableLog) + task.logFile},
        {"folders", join(pairs)},
        {"include", join(task.include.fileList())},
        {"excludeFiles", join(task.exclude.fileList())},
        {"excludeTypes", task.exclude.getFileTypes()},
        {"excludeAttrs", task.exclude.getFileAttrs()},
        {"schedule", std::to_string(schedule.intervalEnabled) + schedule.interval() +
                         std::to_string(schedule.fixupEnabled) + schedule.fixup() +
                         std::to_string(schedule.runMissed) + std::to_string(schedule.simulate)},
        {"versions", std::to_string(versions.enabled) + versions.folder +
                         std::to_string(versions.keepDays) + ',' +
                         std::to_string(versions.keepVersions)},
    };
}

// A page of the dialog, loaded from one task and saved into another, and
// the groups of settings it owns.
struct PageCase {
    const char* name;
    std::vector<std::string> owned;
    std::function<void(Model&, const Task&, Task&)> loadAndSave;
};

const std::vector<PageCase>& pageCases() {
    static const std::vector<PageCase> cases{
        {"general",
         {"name", "policy", "log"},
         [](Model& model, const Task& from, Task& to) {
             GeneralPage page;
             page.setTaskManager(&model.tasks);
             page.load(from);
             QVERIFY(page.validate());
             page.save(to);
         }},
        {"task folder",
         {"folders"},
         [](Model&, const Task& from, Task& to) {
             TaskFolderPage page;
             page.load(from);
             page.save(to);
         }},
        {"file include",
         {"include"},
         [](Model&, const Task& from, Task& to) {
             FileIncludePage page;
             page.load(from);
             page.save(to);
         }},
        {"file exclude",
         {"excludeFiles", "excludeTypes", "excludeAttrs"},
         [](Model&, const Task& from, Task& to) {
             FileExcludePage page;
             page.load(from);
             page.save(to);
         }},
        {"schedule",
         {"schedule"},
         [](Model&, const Task& from, Task& to) {
             SchedulePage page;
             page.load(from);
             page.save(to);
         }},
        {"versions",
         {"versions"},
         [](Model&, const Task& from, Task& to) {
             VersionSettingsPage page;
             page.load(from.versions);
             to.versions = page.settings();
         }},
    };
    return cases;
}

}  // namespace

class TaskDefineTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        DialogService::instance().reset();
        guard = std::make_unique<UnansweredGuard>();
    }
    void cleanup() { QCOMPARE(guard->closed(), 0); }

    void newTaskShowsTheModelDefaults() {
        Model model;
        model.addPolicy("Docs", 0);
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);

        QCOMPARE(d.dialog.windowTitle(), u"Task definition"_s);
        QCOMPARE(d.page(), u"GENERAL"_s);
        QCOMPARE(d.edit("edtTaskName")->text(), u"New Task 1"_s);
        QCOMPARE(d.get<QComboBox>("cboCopyPolicy")->currentIndex(), 0);
        QCOMPARE(d.get<QComboBox>("cboCopyPolicy")->count(), 2);
        QVERIFY(!d.get<QCheckBox>("chkLog")->isChecked());
        QCOMPARE(d.edit("edtLogPath")->text(), QString());
        QVERIFY(!d.edit("edtLogPath")->isEnabled());
        QCOMPARE(d.list("lstMainFolders")->count(), 0);
        QCOMPARE(d.list("lvIncludeFiles")->count(), 0);
        QCOMPARE(d.list("lvExcludeFiles")->count(), 0);
        QCOMPARE(d.edit("edtExcludeFileTypes")->text(), QString());
        QCOMPARE(d.edit("edtExcludeFileAttrs")->text(), QString());
        QVERIFY(!d.get<QCheckBox>("chkInterval")->isChecked());
        QCOMPARE(d.get<QSpinBox>("edtInterval")->value(), 5);
        QVERIFY(!d.get<QCheckBox>("chkFixup")->isChecked());
        QCOMPARE(d.get<QLabel>("stLastRunTime")->text(), u"--:--:--"_s);
        QCOMPARE(d.get<QLabel>("stRunTimes")->text(), u"0"_s);
        QVERIFY(d.get<QRadioButton>("rdSimulate")->isChecked());
        QVERIFY(!d.get<QRadioButton>("rdRun")->isChecked());

        // The status line follows the schedule while the dialog is open.
        task.schedule.countScheduledStart();
        QTRY_COMPARE(d.get<QLabel>("stRunTimes")->text(), u"1"_s);
        QVERIFY(d.get<QLabel>("stLastRunTime")->text() != u"--:--:--"_s);
    }

    void pageSavesWhatItLoadedAndNothingElse_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < pageCases().size(); ++i) {
            QTest::newRow(pageCases()[i].name) << static_cast<int>(i);
        }
    }

    // Each page, loaded from a task with every setting made, writes into
    // another task, whose settings all differ, exactly the settings it owns
    // (paths that are not UTF-8 included) and leaves the rest as they were.
    void pageSavesWhatItLoadedAndNothingElse() {
        QFETCH(int, index);
        const PageCase& page = pageCases()[static_cast<std::size_t>(index)];
        testsupport::TempDir temp;
        Model model;
        const auto fill = [&model, &temp](Task& task, bool first) {
            const std::string tag = first ? "a" : "b";
            task.name = "Backup " + tag;
            model.policies.assignPolicy(task, first ? "Photos" : "Music");
            task.enableLog = first;
            task.logFile = temp / (tag + ".log");
            task.folderList.addItem("/data/\xff" + tag, "/backup/\xfe" + tag);
            task.folderList.addItem("/photos/" + tag, "/media/usb/" + tag);
            task.include.addFile("/etc/\xe9" + tag);
            task.exclude.addFile("/data/\xff/" + tag);
            task.exclude.setFileTypes(first ? "bak;tmp;" : "exe;");
            task.exclude.setFileAttrs(first ? "SYSTEM;HIDDEN;" : "READONLY;");
            task.schedule.intervalEnabled = first;
            task.schedule.setInterval(first ? "17" : "42");
            task.schedule.fixupEnabled = !first;
            task.schedule.setFixup(first ? "21:29:08" : "06:00:00");
            task.schedule.runMissed = first;
            task.schedule.simulate = !first;
            task.versions = {first, "/backup/kept" + tag, first ? 90 : 0, first ? 3 : 0};
        };
        model.addPolicy("Photos", 0);
        model.addPolicy("Music", 0);
        Task& from = model.tasks.addTask();
        fill(from, true);
        Task& to = model.tasks.addTask();
        fill(to, false);
        const std::map<std::string, std::string> loaded = settingsOf(from);
        const std::map<std::string, std::string> before = settingsOf(to);

        page.loadAndSave(model, from, to);
        for (const auto& [group, text] : settingsOf(to)) {
            QVERIFY2(loaded.at(group) != before.at(group), group.c_str());  // the case shows it
            const bool owned =
                std::find(page.owned.begin(), page.owned.end(), group) != page.owned.end();
            QVERIFY2(text == (owned ? loaded : before).at(group), group.c_str());
        }
        QCOMPARE(DialogService::instance().messageCount(), 0);
    }

    void okWithUnchangedControlsKeepsAStoredTask() {
        Model model;
        model.addPolicy("Docs", 0);
        CopyPolicy& photos = model.addPolicy("Photos", 0);
        Task& task = model.tasks.addTask();
        task.name = "Backup";
        task.setPolicy(&photos);
        task.folderList.addItem() = {"/data/a", "/backup/a"};
        task.folderList.addItem() = {"/data/b", "/backup/b"};
        task.include.addFile("/etc/Hosts");
        task.exclude.addFile("/data/a/Tmp");
        task.exclude.setFileTypes("tmp;BAK;");
        task.exclude.setFileAttrs("HIDDEN;SYSTEM;");
        task.enableLog = true;
        task.logFile = "/var/log/backup.log";
        task.schedule.intervalEnabled = true;
        task.schedule.setInterval("17");
        task.schedule.fixupEnabled = true;
        task.schedule.setFixup(platform::timeText(platform::makeTime(21, 29, 8)));
        task.schedule.simulate = false;
        DefineDialog d(model, task);

        QCOMPARE(d.get<QComboBox>("cboCopyPolicy")->currentText(), u"Photos"_s);
        QCOMPARE(d.list("lstMainFolders")->count(), 2);
        QCOMPARE(d.list("lstMainFolders")->item(1)->text(), u"/data/b"_s);
        QCOMPARE(d.list("lvExcludeFiles")->item(0)->text(),
                 u"/data/a/tmp"_s);                                      // stored lower-cased
        QCOMPARE(d.edit("edtExcludeFileTypes")->text(), u"bak;tmp;"_s);  // the normal form
        QCOMPARE(d.edit("edtExcludeFileAttrs")->text(), u"SYSTEM;HIDDEN;"_s);
        QCOMPARE(d.edit("edtLogPath")->text(), u"/var/log/backup.log"_s);
        QVERIFY(d.edit("edtLogPath")->isEnabled() && d.button("btnLog")->isEnabled());
        QCOMPARE(d.get<QSpinBox>("edtInterval")->value(), 17);
        QCOMPARE(d.get<QTimeEdit>("dtFixup")->time(), QTime(21, 29, 8));
        QVERIFY(d.get<QRadioButton>("rdRun")->isChecked());

        d.okAnyway();
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(task.name, std::string("Backup"));
        QCOMPARE(task.getPolicy(), &photos);
        QCOMPARE(task.folderList.count(), 2u);
        QCOMPARE(task.folderList.items()[1].mirror, std::string("/backup/b"));
        QCOMPARE(task.include.fileList(), (std::set<std::string>{"/etc/Hosts"}));
        QCOMPARE(task.exclude.fileList(), (std::set<std::string>{"/data/a/tmp"}));
        QCOMPARE(task.exclude.getFileTypes(), std::string("bak;tmp;"));
        QCOMPARE(task.exclude.fileAttr(), 0x6u);
        QVERIFY(task.enableLog);
        QCOMPARE(task.logFile, std::string("/var/log/backup.log"));
        QVERIFY(task.schedule.intervalEnabled);
        QCOMPARE(task.schedule.interval(), std::string("17"));
        QVERIFY(task.schedule.fixupEnabled);
        QCOMPARE(*task.schedule.fixupTime(), platform::makeTime(21, 29, 8));
        QCOMPARE(task.schedule.fixup(), std::string("21:29:08"));
        QVERIFY(!task.schedule.simulate);
    }

    void bytesThatAreNotUtf8SurviveOk() {
        testsupport::TempDir temp;
        Model model;
        CopyPolicy& latin = model.addPolicy("Pol\xe9", 0);
        Task& task = model.tasks.addTask();
        task.name = "Caf\xe9";
        task.setPolicy(&latin);
        task.folderList.addItem() = {"/data/\xff", "/backup/\xfe"};
        task.include.addFile("/etc/\xe9");
        task.exclude.addFile("/data/\xff/a");
        task.exclude.addFile("/data/\xff/b");
        task.exclude.setFileTypes("\xe9;");
        task.enableLog = true;
        task.logFile = temp / "\xe9.log";
        DefineDialog d(model, task);
        QListWidget* excluded = d.list("lvExcludeFiles");
        excluded->setCurrentRow(1);
        d.button("btnDelExcludeFiles")->click();
        QCOMPARE(task.exclude.fileList(), (std::set<std::string>{"/data/\xff/a"}));

        d.okAnyway();
        QCOMPARE(DialogService::instance().messageCount(), 1);  // the log folder exists
        QCOMPARE(task.name, std::string("Caf\xe9"));
        QCOMPARE(task.getPolicy(), &latin);
        QCOMPARE(task.folderList.items()[0].main, std::string("/data/\xff"));
        QCOMPARE(task.folderList.items()[0].mirror, std::string("/backup/\xfe"));
        QCOMPARE(task.include.fileList(), (std::set<std::string>{"/etc/\xe9"}));
        QCOMPARE(task.exclude.fileList(), (std::set<std::string>{"/data/\xff/a"}));
        QCOMPARE(task.exclude.getFileTypes(), std::string("\xe9;"));
        QCOMPARE(task.logFile, temp / "\xe9.log");
    }

    void okWritesTheWorkingCopy() {
        testsupport::TempDir temp;
        Model model;
        CopyPolicy& docs = model.addPolicy("Docs", 0);
        Task& task = model.tasks.addTask();
        task.folderList.addItem() = {"/old/main", "/old/mirror"};
        DefineDialog d(model, task);

        d.edit("edtTaskName")->setText(u"  Docs backup \t"_s);
        d.get<QComboBox>("cboCopyPolicy")->setCurrentIndex(1);
        d.get<QCheckBox>("chkLog")->click();
        d.edit("edtLogPath")->setText(q(temp / "docs.log"));
        delete d.list("lstMainFolders")->item(0);
        d.addPair(u"/data/docs"_s, u"/backup/docs"_s);
        d.addPair(u"/data/docs"_s, u"/backup/docs"_s);  // no test against rows present
        DialogService::instance().setNextFileName(u"/etc/Hosts"_s);
        d.button("btnAddIncludeFiles")->click();
        DialogService::instance().setNextFileName(u"/data/docs/Cache"_s);
        d.button("btnAddExcludeFiles")->click();
        d.edit("edtExcludeFileTypes")->setText(u"exe;;bat"_s);
        d.get<QCheckBox>("chkInterval")->click();
        d.get<QSpinBox>("edtInterval")->setValue(10);
        d.get<QCheckBox>("chkFixup")->click();
        d.get<QTimeEdit>("dtFixup")->setTime(QTime(0, 0, 0));
        d.get<QRadioButton>("rdRun")->click();
        d.okAnyway();

        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(DialogService::instance().messageCount(), 1);  // only whether to save it
        QCOMPARE(task.name, std::string("Docs backup"));
        QCOMPARE(task.getPolicy(), &docs);
        QCOMPARE(task.folderList.count(), 2u);
        for (const TaskFolderItem& pair : task.folderList.items()) {
            QCOMPARE(pair.main, std::string("/data/docs"));
            QCOMPARE(pair.mirror, std::string("/backup/docs"));
        }
        QCOMPARE(task.include.fileList(), (std::set<std::string>{"/etc/Hosts"}));
        QCOMPARE(task.exclude.fileList(), (std::set<std::string>{"/data/docs/cache"}));
        QCOMPARE(task.exclude.getFileTypes(), std::string("bat;exe;"));
        QVERIFY(task.enableLog);
        QCOMPARE(task.logFile, temp / "docs.log");
        QVERIFY(task.schedule.intervalEnabled);
        QCOMPARE(task.schedule.intervalMinutes(), 10);
        QVERIFY(task.schedule.fixupEnabled);
        // Midnight is a time like any other: the stored text still holds it.
        QCOMPARE(*task.schedule.fixupTime(), platform::makeTime(0, 0, 0));
        QVERIFY(!task.schedule.simulate);
    }

    void versionsPageLoadsStoresAndRefusesAFolderInsideMain() {
        Model model;
        Task& task = model.tasks.addTask();
        task.folderList.addItem() = {"/data/docs", "/backup/docs"};
        task.versions = {true, "", 0, 7};
        DefineDialog d(model, task);
        d.clickNode(u"Versions"_s);
        QCOMPARE(d.page(), u"VERSIONS"_s);
        QVERIFY(d.get<QCheckBox>("chkVersions")->isChecked());
        QCOMPARE(d.edit("edtVersionsFolder")->placeholderText(),
                 u"/backup/docs/.twinfold-versions"_s);
        QVERIFY(!d.get<QCheckBox>("chkKeepDays")->isChecked());
        QVERIFY(!d.get<QSpinBox>("edtKeepDays")->isEnabled());
        QCOMPARE(d.get<QSpinBox>("edtKeepVersions")->value(), 7);
        QCOMPARE(d.get<QLabel>("lblVersionsNote")->text(), QString());

        // A folder on another file system than the mirror is told about.
        d.edit("edtVersionsFolder")->setText(u"/proc/kept"_s);
        QVERIFY(d.get<QLabel>("lblVersionsNote")->text().contains(u"another file system"_s));

        // One inside the main folder is refused before anything is written.
        d.edit("edtTaskName")->setText(u"Changed"_s);
        d.edit("edtVersionsFolder")->setText(u"/data/docs/.kept"_s);
        DialogService::instance().setNextAnswer(QMessageBox::Ok);
        d.button("btnOK")->click();
        QVERIFY(DialogService::instance().lastText().contains(u"inside the main folder"_s));
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
        QCOMPARE(task.name, std::string("New Task 1"));
        QCOMPARE(task.versions.folder, std::string());

        d.edit("edtVersionsFolder")->setText(u"/backup/kept"_s);
        d.get<QCheckBox>("chkKeepDays")->click();
        d.get<QSpinBox>("edtKeepDays")->setValue(90);
        d.get<QCheckBox>("chkKeepVersions")->click();
        d.okAnyway();  // the main folder does not exist here
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(task.versions, (VersionSettings{true, "/backup/kept", 90, 0}));
    }

    // The schedule page reads the model's clock, shows times in the user's
    // format and keeps them in the one stored form.
    void scheduleReadsTheInjectedClockAndKeepsMissedRuns() {
        platform::FixedClock clock(platform::makeDateTime(2026, 12, 10, 21, 29, 8, 400));
        Model model(clock);
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        auto* picker = d.get<QTimeEdit>("dtFixup");
        QCOMPARE(picker->time(), QTime(21, 29, 8));
        QCOMPARE(d.get<QLabel>("stCurrentTime")->text(),
                 QLocale().toString(QTime(21, 29, 8), picker->displayFormat()));
        QVERIFY(!d.get<QCheckBox>("chkRunMissed")->isChecked());

        clock.advanceSeconds(60);
        picker->setTime(QTime(7, 5, 0));
        d.get<QCheckBox>("chkFixup")->click();
        d.get<QCheckBox>("chkRunMissed")->click();
        d.okAnyway();
        QCOMPARE(task.schedule.fixup(), std::string("07:05:00"));
        QVERIFY(task.schedule.runMissed);
        // This morning's 07:05 was not missed: the time was set only now.
        QCOMPARE(task.schedule.fixupHandledUntil(), clock.now());
    }

    // A task that cannot run (no pair, or a main folder that does not exist)
    // is saved only when the user says so; No is the default.
    void okAsksBeforeSavingATaskThatCannotRun() {
        testsupport::TempDir temp;
        testsupport::makeDirs(temp / "main");
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        DialogService& service = DialogService::instance();

        service.setNextAnswer(QMessageBox::No);
        d.button("btnOK")->click();
        QVERIFY(service.lastText().contains(u"no folder pair"_s));
        QCOMPARE(service.lastDefaultButton(), QMessageBox::No);
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));  // still open, nothing saved
        QCOMPARE(task.folderList.count(), 0u);

        d.addPair(q(temp / "missing"), q(temp / "mirror"));
        service.setNextAnswer(QMessageBox::No);
        d.button("btnOK")->click();
        QVERIFY(service.lastText().contains(q(temp / "missing")));
        QCOMPARE(task.folderList.count(), 0u);

        delete d.list("lstMainFolders")->item(0);
        d.addPair(q(temp / "main"), q(temp / "mirror"));  // a mirror may be made by the run
        const int asked = service.messageCount();
        d.button("btnOK")->click();
        QCOMPARE(service.messageCount(), asked);
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(task.folderList.count(), 1u);
    }
    // The default policy deletes; a policy gone from under the dialog must not
    // turn into it.
    void okKeepsDeletionOffWhenTheChosenPolicyWasDeleted() {
        Model model;
        model.addPolicy("Docs", 0);
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        d.get<QComboBox>("cboCopyPolicy")->setCurrentIndex(1);
        model.policies.deletePolicy("Docs");  // the list is not refilled
        d.okAnyway();
        QVERIFY(task.hasMissingPolicy());
        QCOMPARE(task.getPolicyName(), "Docs");
        QVERIFY(!task.getPolicy()->isDeleteMirrorOnly());
    }

    // A task whose stored policy is missing keeps it through an OK with the
    // choice untouched, and leaves it only when the user picks a policy.
    void missingPolicyStaysUntilOneIsPicked() {
        Model model;
        model.addPolicy("Docs", 0);
        Task& task = model.tasks.addTask();
        model.policies.assignPolicy(task, "Gone");
        {
            DefineDialog d(model, task);
            auto* policies = d.get<QComboBox>("cboCopyPolicy");
            QCOMPARE(policies->count(), 3);
            QCOMPARE(policies->currentText(), u"Gone (missing: deletion off)"_s);
            d.okAnyway();
            QVERIFY(task.hasMissingPolicy());
            QCOMPARE(task.getPolicyName(), "Gone");
        }
        DefineDialog d(model, task);
        d.get<QComboBox>("cboCopyPolicy")->setCurrentIndex(1);
        d.okAnyway();
        QCOMPARE(task.getPolicy(), model.policies.findPolicy("Docs"));
    }

    void blankNameIsRefused() {
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        d.edit("edtTaskName")->setText(u" \t "_s);
        DialogService::instance().setNextAnswer(QMessageBox::Ok);
        d.button("btnOK")->click();
        QCOMPARE(DialogService::instance().lastCaption(), u"Information"_s);
        QCOMPARE(DialogService::instance().lastText(), u"Please specify a task name !"_s);
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));  // not closed
        QCOMPARE(task.name, std::string("New Task 1"));
        QCOMPARE(task.getPolicy(), nullptr);  // nothing written

        // Leaving the field blank brings the stored name back, with a tip.
        d.edit("edtTaskName")->setText(u"   "_s);
        DefineDialog::leave(d.edit("edtTaskName"));
        QCOMPARE(d.edit("edtTaskName")->text(), u"New Task 1"_s);
        QCOMPARE(d.tip(), u"task name is required"_s);
        d.edit("edtTaskName")->setText(u" Mine"_s);
        DefineDialog::leave(d.edit("edtTaskName"));
        QCOMPARE(d.edit("edtTaskName")->text(), u" Mine"_s);
    }

    void optionTreeShowsPagesAndHints() {
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        auto* tree = d.get<QTreeWidget>("tvOption");

        const QList<std::pair<QString, QString>> nodes{
            {u"Task folder"_s, u"TASK_FOLDER"_s}, {u"File exclude"_s, u"FILE_EXCLUDE"_s},
            {u"Schedule"_s, u"SCHEDULE"_s},       {u"Advanced"_s, u"FILE_INCLUDE"_s},
            {u"General"_s, u"GENERAL"_s},         {u"File include"_s, u"FILE_INCLUDE"_s}};
        for (const auto& [node, page] : nodes) {
            d.clickNode(node);
            QCOMPARE(d.page(), page);
        }

        const QTreeWidgetItem* advanced = tree->findItems(u"Advanced"_s, Qt::MatchExactly).front();
        DefineDialog::hover(tree, tree->visualItemRect(advanced).center());
        QCOMPARE(d.tip(), u"set advanced options"_s);
        DefineDialog::hover(tree, QPoint(2, tree->viewport()->height() - 2));
        QCOMPARE(d.tip(), QString());
    }

    void controlTipsFollowTheMouse() {
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        d.dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d.dialog));
        QWidget* ok = d.button("btnOK");
        QCursor::setPos(ok->mapToGlobal(ok->rect().center()));
        if (QCursor::pos() != ok->mapToGlobal(ok->rect().center())) {
            QSKIP("this platform does not let the test move the mouse");
        }
        QTRY_COMPARE(d.tip(), u"save and close task definition window"_s);
    }

    void controlTipLookup() {
        QWidget owner;
        auto* button = new QPushButton(u"+"_s, &owner);
        auto* list = new QListWidget(&owner);
        auto* plain = new QPushButton(u"-"_s, &owner);
        button->setGeometry(10, 10, 60, 30);
        list->setGeometry(10, 50, 200, 100);
        plain->setGeometry(10, 160, 60, 30);
        owner.resize(240, 200);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        ControlTip tips;
        tips.SetHandle(&owner);
        tips.AddTip(button, u"first"_s);
        tips.AddTip(button, u"add a pair"_s);  // replaces
        tips.AddTip(list, u"the pairs"_s);

        const auto at = [](QWidget* w) { return w->mapToGlobal(w->rect().center()); };
        QString text = u"kept"_s;
        QVERIFY(tips.GetTip(at(button), text));
        QCOMPARE(text, u"add a pair"_s);
        QVERIFY(tips.GetTip(at(list->viewport()), text));  // a part of the list
        QCOMPARE(text, u"the pairs"_s);
        text = u"kept"_s;
        QVERIFY(!tips.GetTip(at(plain), text));  // a control without a tip
        QVERIFY(!tips.GetTip(owner.frameGeometry().bottomRight() + QPoint(30, 30), text));
        QCOMPARE(text, u"kept"_s);
    }

    void folderPairs() {
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        QListWidget* rows = d.list("lstMainFolders");
        d.clickNode(u"Task folder"_s);

        // Refused, each with its reason.
        const struct {
            QString main, mirror, reason;
        } refused[] = {
            {u"/data"_s, u"/data/backup"_s, u"inside the main folder"_s},
            {u"/data/album"_s, u"/data"_s, u"main folder is inside the mirror"_s},
            {u"/data"_s, u"/data/"_s, u"is the main folder itself"_s},
        };
        for (const auto& row : refused) {
            DialogService::instance().setNextAnswer(QMessageBox::Ok);
            d.addPair(row.main, row.mirror);
            QVERIFY2(DialogService::instance().lastText().contains(row.reason),
                     qPrintable(row.mirror));
        }
        QCOMPARE(DialogService::instance().messageCount(), 3);
        QCOMPARE(rows->count(), 0);
        // A name that merely begins with the main folder's is another folder.
        d.addPair(u"/data"_s, u"/database"_s);
        QCOMPARE(rows->count(), 1);
        delete rows->item(0);

        DialogService::instance().setNextFileName(QString());  // main browser cancelled
        d.button("btnAddMainFolder")->click();
        d.addPair(u"/data"_s, QString());  // mirror browser cancelled
        QCOMPARE(rows->count(), 0);

        d.addPair(u"/data"_s, u"/backup"_s);
        d.addPair(u"/photos"_s, u"/media/usb"_s);
        QCOMPARE(rows->count(), 2);
        QCOMPARE(rows->item(1)->text(), u"/photos"_s);

        DefineDialog::hover(rows, rows->visualItemRect(rows->item(1)).center());
        QCOMPARE(d.edit("edtMainFolderSummary")->text(), u"/photos"_s);
        QCOMPARE(d.edit("edtMirrorFolderSummary")->text(), u"/media/usb"_s);
        DefineDialog::hover(rows, QPoint(2, rows->viewport()->height() - 2));
        QCOMPARE(d.edit("edtMainFolderSummary")->text(), QString());
        QCOMPARE(d.edit("edtMirrorFolderSummary")->text(), QString());

        rows->setCurrentRow(0);
        d.button("btnRemoveMainFolder")->click();
        QCOMPARE(rows->count(), 1);
        QCOMPARE(rows->item(0)->text(), u"/photos"_s);
        QCOMPARE(task.folderList.count(), 0u);  // nothing stored before OK
    }

    void includePageShowsTheIncludeFolder() {
        Model model;
        Task& task = model.tasks.addTask();
        task.name = "Docs";
        DefineDialog d(model, task);
        QLabel* note = d.get<QLabel>("lblIncludeFiles");
        d.edit("edtTaskName")->setText(u"Typed"_s);  // not stored yet: not used

        d.clickNode(u"File include"_s);
        QCOMPARE(d.page(), u"FILE_INCLUDE"_s);
        QVERIFY(!note->isHidden());
        QCOMPARE(d.edit("edtIncludePath")->text(), QString());

        d.addPair(u"/data"_s, u"/backup"_s);
        d.clickNode(u"General"_s);
        d.clickNode(u"File include"_s);
        QVERIFY(note->isHidden());
        QCOMPARE(d.edit("edtIncludePath")->text(), u"/backup/<Docs_append>"_s);

        // The same file chosen twice gives one row.
        for (int i = 0; i < 2; ++i) {
            DialogService::instance().setNextFileName(u"/etc/hosts"_s);
            d.button("btnAddIncludeFiles")->click();
        }
        QCOMPARE(d.list("lvIncludeFiles")->count(), 1);
    }

    void removedExclusionStaysRemovedAfterCancel() {
        Model model;
        Task& task = model.tasks.addTask();
        task.exclude.addFile("/data/A.doc");
        task.exclude.addFile("/data/b.doc");
        DefineDialog d(model, task);
        QListWidget* rows = d.list("lvExcludeFiles");

        // The same file in other letter case makes a second row.
        DialogService::instance().setNextFileName(u"/data/A.doc"_s);
        d.button("btnAddExcludeFiles")->click();
        QCOMPARE(rows->count(), 3);

        rows->setCurrentRow(0);  // "/data/a.doc"
        d.button("btnDelExcludeFiles")->click();
        QCOMPARE(rows->count(), 2);
        QCOMPARE(task.exclude.fileList(), (std::set<std::string>{"/data/b.doc"}));
        d.button("btnCancel")->click();
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
        QCOMPARE(task.exclude.fileList(), (std::set<std::string>{"/data/b.doc"}));
    }

    void typeScanNeedsStoredPairs() {
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        d.addPair(u"/data"_s, u"/backup"_s);  // added here, not stored
        DialogService::instance().setNextAnswer(QMessageBox::Ok);
        d.button("btnExcludeFileTypes")->click();
        QCOMPARE(DialogService::instance().lastCaption(), u"Info"_s);
        QCOMPARE(DialogService::instance().lastText(), u"Please select main folder first !"_s);
        QCOMPARE(DialogService::instance().messageCount(), 1);
    }

    void typeScanReplacesTheField() {
        testsupport::TempDir temp;
        testsupport::makeTree(temp.path(),
                              "main/a.txt\nmain/b.TXT\nmain/sub/c.doc\nmain/sub.old/\n"
                              "mirror/d.xls\nsecond/e.pdf\n");
        Model model;
        Task& task = model.tasks.addTask();
        task.folderList.addItem() = {temp / "main", temp / "mirror"};
        task.folderList.addItem() = {temp / "gone", temp / "mirror2"};  // no longer there
        task.folderList.addItem() = {temp / "second", temp / "mirror3"};
        task.exclude.setFileTypes("txt;exe");
        DefineDialog d(model, task);
        QLineEdit* field = d.edit("edtExcludeFileTypes");
        QCOMPARE(field->text(), u"exe;txt;"_s);

        QStringList offered;
        QStringList tickedAtStart;
        auto ran = whenModal<TfrmSelectFileType>([&](TfrmSelectFileType& picker) {
            auto* rows = child<QListWidget>(picker, "clbFileTypes");
            for (int i = 0; i < rows->count(); ++i) {
                offered << rows->item(i)->text();
                if (rows->item(i)->checkState() == Qt::Checked) {
                    tickedAtStart << rows->item(i)->text();
                }
            }
            rows->item(0)->setCheckState(Qt::Checked);  // TXT
            child<QPushButton>(picker, "btnOK")->click();
        });
        d.button("btnExcludeFileTypes")->click();
        QVERIFY(*ran);
        QCOMPARE(DialogService::instance().messageCount(), 0);
        // Files of the main folders only (not the folder "sub.old"), sorted by
        // byte value, letter case kept.
        QCOMPARE(offered, (QStringList{u"TXT"_s, u"doc"_s, u"pdf"_s, u"txt"_s}));
        QCOMPARE(tickedAtStart, (QStringList{u"TXT"_s, u"txt"_s}));
        QCOMPARE(field->text(), u"TXT;txt;"_s);  // "exe" was not found: gone

        // Cancelling the picker leaves the field alone.
        ran = whenModal<TfrmSelectFileType>(
            [](TfrmSelectFileType& picker) { child<QPushButton>(picker, "btnCancel")->click(); });
        d.button("btnExcludeFileTypes")->click();
        QVERIFY(*ran);
        QCOMPARE(field->text(), u"TXT;txt;"_s);
    }

    void typeScanWithoutTypesEmptiesTheField() {
        testsupport::TempDir temp;
        testsupport::makeTree(temp.path(), "main/README\nmirror/\n");
        Model model;
        Task& task = model.tasks.addTask();
        task.folderList.addItem() = {temp / "main", temp / "mirror"};
        DefineDialog d(model, task);
        d.edit("edtExcludeFileTypes")->setText(u"exe;"_s);
        int rowCount = -1;
        auto ran = whenModal<TfrmSelectFileType>([&](TfrmSelectFileType& picker) {
            rowCount = child<QListWidget>(picker, "clbFileTypes")->count();
            child<QPushButton>(picker, "btnOK")->click();
        });
        d.button("btnExcludeFileTypes")->click();
        QVERIFY(*ran);
        QCOMPARE(rowCount, 0);
        QCOMPARE(d.edit("edtExcludeFileTypes")->text(), QString());
    }

    // The scan runs aside behind a wait with Cancel; cancelling it ends the
    // scan and opens no picker.
    void typeScanCanBeCancelled() {
        testsupport::TempDir temp;
        testsupport::makeTree(temp.path(), "main/a.txt\nmirror/\n");
        Model model;
        Task& task = model.tasks.addTask();
        task.folderList.addItem() = {temp / "main", temp / "mirror"};
        DefineDialog d(model, task);
        d.edit("edtExcludeFileTypes")->setText(u"exe;"_s);
        // The helper waits until the wait window has been cancelled.
        std::atomic<bool> released{false};
        std::atomic<bool> helperRan{false};
        dialogs::setTypeScanStartHook([&] {
            helperRan = true;
            QElapsedTimer clock;
            clock.start();
            while (!released && !clock.hasExpired(5000)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        bool pickerShown = false;
        QTimer pickerWatch;  // a picker that opened would be closed and told
        QObject::connect(&pickerWatch, &QTimer::timeout, &pickerWatch, [&] {
            if (auto* picker =
                    qobject_cast<TfrmSelectFileType*>(QApplication::activeModalWidget())) {
                pickerShown = true;
                picker->reject();
            }
        });
        pickerWatch.start(5);
        auto cancelled = whenModal<QProgressDialog>([&](QProgressDialog& wait) {
            QCOMPARE(wait.objectName(), u"dlgTypeScan"_s);
            wait.cancel();
            released = true;
        });
        d.button("btnExcludeFileTypes")->click();
        dialogs::setTypeScanStartHook({});
        QVERIFY(*cancelled);
        QVERIFY(helperRan);
        QVERIFY(!pickerShown);
        QCOMPARE(d.edit("edtExcludeFileTypes")->text(), u"exe;"_s);
    }

    void typeScanListsFilesNotFoldersAndStopsWhenCancelled() {
        testsupport::TempDir temp;
        testsupport::makeTree(temp.path(), "a/x.jpg\na/dir.d/y.png\na/z\nb/w.JPG\n");
        std::atomic<bool> cancelled{false};
        QCOMPARE(dialogs::scanFileTypes({temp / "a", temp / "missing", temp / "b"}, cancelled),
                 (std::set<std::string>{"JPG", "jpg", "png"}));
        cancelled = true;
        QVERIFY(dialogs::scanFileTypes({temp / "a"}, cancelled).empty());
    }

    // At a large scale the dialog is no larger than the screen: its pages
    // scroll instead.
    void dialogFitsTheScreen() {
        const QFont normal = QApplication::font();
        QFont large = normal;
        large.setPointSizeF(normal.pointSizeF() * 3);
        QApplication::setFont(large);
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        d.dialog.show();
        QApplication::setFont(normal);
        const QSize room = d.dialog.screen()->availableGeometry().size();
        QVERIFY2(d.dialog.height() <= room.height() && d.dialog.width() <= room.width(),
                 qPrintable(u"%1x%2 on %3x%4"_s.arg(d.dialog.width())
                                .arg(d.dialog.height())
                                .arg(room.width())
                                .arg(room.height())));
        QVERIFY(d.get<QScrollArea>("scrOption")->widget() == d.get<QStackedWidget>("nbOption"));
    }

    void typeFieldIsNormalisedOnLeaving() {
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        d.edit("edtExcludeFileTypes")->setText(u";exe;;bat"_s);
        DefineDialog::leave(d.edit("edtExcludeFileTypes"));
        QCOMPARE(d.edit("edtExcludeFileTypes")->text(), u"exe;bat;"_s);
    }

    void attributePickerStartsFromTheStoredMask() {
        Model model;
        Task& task = model.tasks.addTask();
        task.exclude.setFileAttrs("HIDDEN;");
        DefineDialog d(model, task);
        QStringList tickedAtStart;
        auto ran = whenModal<TfrmSelectFileAttr>([&](TfrmSelectFileAttr& picker) {
            auto* rows = child<QListWidget>(picker, "clbFileTypes");
            for (int i = 0; i < rows->count(); ++i) {
                if (rows->item(i)->checkState() == Qt::Checked) {
                    tickedAtStart << rows->item(i)->text();
                }
            }
            rows->item(1)->setCheckState(Qt::Checked);  // READONLY
            child<QPushButton>(picker, "btnOK")->click();
        });
        d.button("btnExcludeFileAttrs")->click();
        QVERIFY(*ran);
        QCOMPARE(tickedAtStart, QStringList{u"HIDDEN"_s});
        QCOMPARE(d.edit("edtExcludeFileAttrs")->text(), u"HIDDEN;READONLY;"_s);
        QCOMPARE(task.exclude.fileAttr(), 0x2u);  // stored only on OK
    }

    void intervalIsClampedOnLeaving_data() {
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("shown");
        QTest::newRow("1") << 1 << 5;
        QTest::newRow("3") << 3 << 5;
        QTest::newRow("5") << 5 << 5;
        QTest::newRow("42") << 42 << 42;
        QTest::newRow("59") << 59 << 59;
    }

    void intervalIsClampedOnLeaving() {
        QFETCH(int, typed);
        QFETCH(int, shown);
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        auto* interval = d.get<QSpinBox>("edtInterval");
        interval->setValue(typed);
        DefineDialog::leave(interval);
        QCOMPARE(interval->value(), shown);
        QCOMPARE(interval->text(), QString::number(shown));
    }

    void logPathProposalAndCheck() {
        testsupport::TempDir temp;
        const StateHome state(temp / "state");
        Model model;
        Task& task = model.tasks.addTask();
        task.name = "Docs";
        DefineDialog d(model, task);
        auto* log = d.get<QCheckBox>("chkLog");
        QLineEdit* path = d.edit("edtLogPath");
        QVERIFY(!log->isChecked());  // a task being edited keeps its log off

        // Ticked: the typed name (one file name), not the stored one.
        d.edit("edtTaskName")->setText(u"Docs/2024"_s);
        log->click();
        QVERIFY(path->isEnabled() && d.button("btnLog")->isEnabled());
        QCOMPARE(path->text(), q(temp / "state/twinfold/logs/Docs_2024.log"));

        DialogService::instance().setNextFileName(q(temp / "chosen.log"));
        d.button("btnLog")->click();
        QCOMPARE(path->text(), q(temp / "chosen.log"));
        DialogService::instance().setNextFileName(QString());  // cancelled
        d.button("btnLog")->click();
        QCOMPARE(path->text(), q(temp / "chosen.log"));
        // A chosen file no longer follows the name.
        d.edit("edtTaskName")->setText(u"Other"_s);
        QCOMPARE(path->text(), q(temp / "chosen.log"));

        path->setText(q(temp / "missing/task.log"));
        DialogService::instance().setNextAnswer(QMessageBox::Yes);
        DialogService::instance().setNextAnswer(QMessageBox::Ok);
        d.button("btnOK")->click();
        QCOMPARE(DialogService::instance().lastCaption(), u"Information"_s);
        QCOMPARE(DialogService::instance().lastText(),
                 u"Log path is invalid, task log is disabled"_s);
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QVERIFY(task.enableLog);
        QCOMPARE(task.logFile, temp / "missing/task.log");
        QVERIFY(!testsupport::pathExists(temp / "missing"));  // the user's folder is not made
    }

    // New tasks log by default, each to its own file named as typed, in a
    // folder the program makes; the user can still turn the log off.
    void newTasksLogToFilesOfTheirOwn() {
        testsupport::TempDir temp;
        const StateHome state(temp / "state");
        const std::string logs = temp / "state/twinfold/logs/";
        testsupport::makeDirs(temp / "main");
        Model model;
        Task& old = model.tasks.addTask();
        old.name = "Photos";
        old.logFile = logs + "Photos.log";
        int loggedByDefault = 0;
        const auto define = [&](const QString& name, bool keepLog) -> Task& {
            Task& task = model.tasks.addTask();
            DefineDialog d(model, task, /*newTask=*/true);
            loggedByDefault += d.get<QCheckBox>("chkLog")->isChecked() ? 1 : 0;
            d.edit("edtTaskName")->setText(name);
            if (!keepLog) {
                d.get<QCheckBox>("chkLog")->click();
            }
            d.dialog.show();
            DialogService::instance().setNextAnswer(QMessageBox::Yes);  // no folder pair
            d.button("btnOK")->click();
            return task;
        };
        const Task& first = define(u"Photos"_s, true);
        QVERIFY(first.enableLog);
        QCOMPARE(first.logFile, logs + "Photos (2).log");
        QVERIFY(testsupport::pathExists(logs));
        const Task& second = define(u"Photos"_s, true);
        QCOMPARE(second.logFile, logs + "Photos (3).log");
        const Task& third = define(u"Music"_s, true);
        QCOMPARE(third.logFile, logs + "Music.log");
        const Task& off = define(u"Quiet"_s, false);
        QVERIFY(!off.enableLog);
        QCOMPARE(loggedByDefault, 4);
    }

    void policyHelpLinkShowsThePage() {
        Model model;
        Task& task = model.tasks.addTask();
        DefineDialog d(model, task);
        DialogService::instance().setOpenUrlResult(false);
        QTest::mouseClick(d.get<QLabel>("stCopyPolicy"), Qt::LeftButton);
        auto* help = d.dialog.findChild<HelpWindow*>();
        QVERIFY(help != nullptr && help->isVisible());
        QVERIFY(help->browser()->source().path().endsWith(u"/help/copy-policies.html"_s));
        QCOMPARE(DialogService::instance().messageCount(), 0);
    }

private:
    std::unique_ptr<UnansweredGuard> guard;
};

QTEST_MAIN(TaskDefineTest)
#include "TaskDefineTest.moc"
