#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>

#include "DialogFixture.h"
#include "support/TempTree.h"
#include "ui/dialogs/TfrmCopyPolicy.h"
#include "ui/dialogs/TfrmTaskWizard.h"
#include "widgets/HelpWindow.h"

using namespace Qt::StringLiterals;

namespace {

// A wizard bound as the main window binds it.
struct Wizard {
    explicit Wizard(Model& model, Task* task = nullptr) {
        wizard.FillPolicies(&model.policies);
        wizard.SetTaskManager(&model.tasks);
        wizard.SetTask(task);
    }

    template <class T>
    T* get(const char* name) const {
        T* found = child<T>(wizard, name);
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    QPushButton* button(const char* name) const { return get<QPushButton>(name); }
    QComboBox* policies() const { return get<QComboBox>("cboPolicys"); }
    QString page() const {
        return get<QStackedWidget>("nbTaskWizard")->currentWidget()->objectName();
    }
    // Whether a button is shown (the wizard itself need not be on screen).
    bool shown(const char* name) const { return !button(name)->isHidden(); }
    void next() const { button("btnNext")->click(); }
    // Presses Next, answering the message it is to show.
    void nextRefused() const {
        DialogService::instance().setNextAnswer(QMessageBox::Ok);
        next();
    }
    // Fills the pages and moves on to the summary.
    void walkToSummary(const QString& name, const QString& main, const QString& mirror) const {
        next();
        edit("edtTaskName")->setText(name);
        next();
        edit("edtMainFolder")->setText(main);
        edit("edtMirrorFolder")->setText(mirror);
        next();
        next();
    }

    // Finish on made-up folders that do not exist: the question whether to
    // save a task that cannot run is answered Yes.
    void finishAnyway() const {
        DialogService::instance().setNextAnswer(QMessageBox::Yes);
        button("btnFinish")->click();
    }

    TfrmTaskWizard wizard;
};

}  // namespace

class TaskWizardTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        DialogService::instance().reset();
        guard = std::make_unique<UnansweredGuard>();
    }
    void cleanup() { QCOMPARE(guard->closed(), 0); }

    void captionsAndButtonsFollowThePages() {
        Model model;
        Wizard w(model);
        QCOMPARE(w.wizard.windowTitle(), u"Task definition wizard - 1 of 5"_s);
        QCOMPARE(w.page(), u"S_WELCOME"_s);
        QVERIFY(!w.button("btnPriv")->isEnabled());
        QVERIFY(w.shown("btnNext") && !w.shown("btnFinish"));

        const QStringList pages{u"S_TASKNAME"_s, u"S_FOLDER"_s, u"S_POLICY"_s, u"S_SUMMARY"_s};
        w.next();
        w.edit("edtTaskName")->setText(u"Docs"_s);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(w.page(), pages[i]);
            QCOMPARE(w.wizard.windowTitle(), u"Task definition wizard - %1 of 5"_s.arg(i + 2));
            QVERIFY(w.button("btnPriv")->isEnabled());
            QVERIFY(w.shown("btnNext") && !w.shown("btnFinish"));
            if (w.page() == u"S_FOLDER"_s) {
                w.edit("edtMainFolder")->setText(u"/data"_s);
                w.edit("edtMirrorFolder")->setText(u"/backup"_s);
            }
            w.next();
        }
        QCOMPARE(w.page(), u"S_SUMMARY"_s);
        QCOMPARE(w.wizard.windowTitle(), u"Task definition wizard - 5 of 5"_s);
        QVERIFY(!w.shown("btnNext") && w.shown("btnFinish"));
        QVERIFY(w.button("btnFinish")->isDefault());

        w.button("btnPriv")->click();
        QCOMPARE(w.page(), u"S_POLICY"_s);
        QCOMPARE(w.wizard.windowTitle(), u"Task definition wizard - 4 of 5"_s);
        QVERIFY(w.shown("btnNext") && !w.shown("btnFinish"));
        QCOMPARE(DialogService::instance().messageCount(), 0);
    }

    void blankNameIsClearedAndRefused() {
        Model model;
        Wizard w(model);
        w.next();
        w.edit("edtTaskName")->setText(u" \t  "_s);
        w.nextRefused();
        QCOMPARE(w.page(), u"S_TASKNAME"_s);
        QCOMPARE(w.edit("edtTaskName")->text(), QString());
        QCOMPARE(DialogService::instance().lastCaption(), u"Info"_s);
        QCOMPARE(DialogService::instance().lastText(), u"Please input a task name"_s);
    }

    void folderPageNeedsBothFolders() {
        Model model;
        Wizard w(model);
        w.next();
        w.edit("edtTaskName")->setText(u"Docs"_s);
        w.next();
        DialogService& service = DialogService::instance();
        const int before = service.messageCount();
        w.nextRefused();  // both empty: the main folder is reported, only
        QCOMPARE(service.messageCount(), before + 1);
        QCOMPARE(service.lastText(), u"Please specify a main folder"_s);
        QCOMPARE(w.page(), u"S_FOLDER"_s);

        w.edit("edtMainFolder")->setText(u"  /no/such/folder "_s);  // need not exist
        w.edit("edtMirrorFolder")->setText(u"\t"_s);
        w.nextRefused();
        QCOMPARE(service.lastText(), u"Please specify a mirror folder"_s);
        QCOMPARE(w.edit("edtMainFolder")->text(), u"/no/such/folder"_s);
        QCOMPARE(w.edit("edtMirrorFolder")->text(), QString());

        // A mirror inside the main folder is refused with its reason.
        w.edit("edtMirrorFolder")->setText(u"/no/such/folder/mirror"_s);
        w.nextRefused();
        QVERIFY(service.lastText().contains(u"inside the main folder"_s));
        QCOMPARE(w.page(), u"S_FOLDER"_s);

        w.edit("edtMirrorFolder")->setText(u"/backup"_s);
        w.next();
        QCOMPARE(w.page(), u"S_POLICY"_s);
    }

    void browsingSetsOrClearsTheField() {
        Model model;
        Wizard w(model);
        DialogService& service = DialogService::instance();
        service.setNextFileName(u"/data/docs"_s);
        w.button("btnExcludeFileTypes")->click();
        QCOMPARE(w.edit("edtMainFolder")->text(), u"/data/docs"_s);
        service.setNextFileName(u"/media/usb"_s);
        w.button("Button2")->click();
        QCOMPARE(w.edit("edtMirrorFolder")->text(), u"/media/usb"_s);

        service.setNextFileName(QString());  // cancelled
        w.button("btnExcludeFileTypes")->click();
        QCOMPARE(w.edit("edtMainFolder")->text(), QString());
        QCOMPARE(w.edit("edtMirrorFolder")->text(), u"/media/usb"_s);
    }

    void finishWritesOnlyNamePolicyAndFirstPair() {
        Model model;
        CopyPolicy& docs = model.addPolicy("Docs", 0);
        CopyPolicy& photos = model.addPolicy("Photos", 0);
        Task& task = model.tasks.addTask();
        task.name = "Old";
        task.setPolicy(&photos);
        task.folderList.addItem() = {"/old/main", "/old/mirror"};
        task.folderList.addItem() = {"/second/main", "/second/mirror"};
        task.enableLog = true;
        task.logFile = "/var/log/old.log";
        task.exclude.setFileTypes("tmp;");
        Wizard w(model, &task);
        QCOMPARE(w.edit("edtTaskName")->text(), u"Old"_s);
        QCOMPARE(w.edit("edtMainFolder")->text(), u"/old/main"_s);
        QCOMPARE(w.edit("edtMirrorFolder")->text(), u"/old/mirror"_s);
        QCOMPARE(w.policies()->currentText(), u"Photos"_s);

        w.next();
        w.edit("edtTaskName")->setText(u" New name "_s);
        w.next();
        w.edit("edtMainFolder")->setText(u"/data"_s);
        w.edit("edtMirrorFolder")->setText(u"/backup"_s);
        w.next();
        w.policies()->setCurrentIndex(1);
        w.next();
        QCOMPARE(w.get<QLabel>("lblTaskName")->text(), u"New name"_s);
        QCOMPARE(w.get<QLabel>("lblPolicyName")->text(), u"Docs"_s);
        QCOMPARE(w.edit("edtMainFolderSummary")->text(), u"/data"_s);
        QCOMPARE(w.edit("edtMirrorFolderSummary")->text(), u"/backup"_s);
        QCOMPARE(task.name, std::string("Old"));  // nothing written before Finish

        w.finishAnyway();
        QCOMPARE(w.wizard.result(), int(QDialog::Accepted));
        QCOMPARE(w.wizard.GetTask(), &task);
        QCOMPARE(task.name, std::string("New name"));
        QCOMPARE(task.getPolicy(), &docs);
        QCOMPARE(task.folderList.count(), 2u);
        QCOMPARE(task.folderList.items()[0].main, std::string("/data"));
        QCOMPARE(task.folderList.items()[0].mirror, std::string("/backup"));
        QCOMPARE(task.folderList.items()[1].main, std::string("/second/main"));
        QCOMPARE(task.folderList.items()[1].mirror, std::string("/second/mirror"));
        QVERIFY(task.enableLog);
        QCOMPARE(task.logFile, std::string("/var/log/old.log"));
        QCOMPARE(task.exclude.getFileTypes(), std::string("tmp;"));
    }

    void bytesThatAreNotUtf8SurviveFinish() {
        Model model;
        CopyPolicy& latin = model.addPolicy("Pol\xe9", 0);
        Task& task = model.tasks.addTask();
        task.name = "Caf\xe9";
        task.setPolicy(&latin);
        task.folderList.addItem() = {"/data/\xff", "/backup/\xfe"};
        Wizard w(model, &task);
        w.walkToSummary(w.edit("edtTaskName")->text(), w.edit("edtMainFolder")->text(),
                        w.edit("edtMirrorFolder")->text());
        w.finishAnyway();
        QCOMPARE(task.name, std::string("Caf\xe9"));
        QCOMPARE(task.getPolicy(), &latin);
        QCOMPARE(task.folderList.items()[0].main, std::string("/data/\xff"));
        QCOMPARE(task.folderList.items()[0].mirror, std::string("/backup/\xfe"));
    }

    void bindingATaskWithoutPairsGivesItAnEmptyOne() {
        Model model;
        Task& task = model.tasks.addTask();
        Wizard w(model, &task);
        QCOMPARE(task.folderList.count(), 1u);
        w.button("btnCancel")->click();
        QCOMPARE(w.wizard.result(), int(QDialog::Rejected));
        QCOMPARE(task.folderList.count(), 1u);
        QCOMPARE(task.folderList.items()[0].main, std::string());
        QCOMPARE(task.folderList.items()[0].mirror, std::string());
        QCOMPARE(task.name, std::string("New Task 1"));
    }

    void getTaskMakesOneWhenNoneIsBound() {
        Model model;
        model.tasks.addTask();
        Wizard w(model);
        QCOMPARE(model.tasks.taskList().size(), 1u);
        w.walkToSummary(u"Docs"_s, u"/data"_s, u"/backup"_s);
        w.finishAnyway();
        QCOMPARE(model.tasks.taskList().size(), 2u);
        Task* made = w.wizard.GetTask();
        QCOMPARE(made, model.tasks.taskList().back().get());
        QCOMPARE(made->name, std::string("Docs"));
        QCOMPARE(made->getPolicy(), model.policies.defaultPolicy());
        QCOMPARE(made->folderList.count(), 1u);
        QCOMPARE(made->folderList.items()[0].mirror, std::string("/backup"));
    }

    // Enter moves on and the typed text lands in the page's first field.
    void eachPageFocusesItsFirstField() {
        Model model;
        Wizard w(model);
        w.wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.wizard));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.edit("edtTaskName"));
        QTest::keyClicks(QApplication::focusWidget(), u"Typed"_s);
        QCOMPARE(w.edit("edtTaskName")->text(), u"Typed"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), w.edit("edtMainFolder"));
        QTest::keyClicks(QApplication::focusWidget(), u"/data"_s);
        QCOMPARE(w.edit("edtMainFolder")->text(), u"/data"_s);
        w.button("btnPriv")->click();
        QCOMPARE(QApplication::focusWidget(), w.edit("edtTaskName"));
    }

    // Each new task logs to its own file, named as typed, in a folder the
    // program makes.
    void newTasksLogToFilesOfTheirOwn() {
        testsupport::TempDir temp;
        const StateHome state(temp / "state");
        const std::string logs = temp / "state/twinfold/logs/";
        Model model;
        std::vector<std::string> files;
        for (int i = 0; i < 2; ++i) {
            Wizard w(model);
            w.walkToSummary(u"Docs"_s, u"/data"_s, u"/backup"_s);
            w.finishAnyway();
            const Task* made = w.wizard.GetTask();
            QVERIFY(made->enableLog);
            files.push_back(made->logFile);
        }
        QCOMPARE(files, (std::vector<std::string>{logs + "Docs.log", logs + "Docs (2).log"}));
        QVERIFY(testsupport::pathExists(logs));
    }

    void confirmedPolicyDialogRefreshesTheList() {
        Model model;
        model.addPolicy("Docs", 0);
        Wizard w(model, &model.tasks.addTask());
        w.policies()->setCurrentIndex(1);

        // Cancelled: the list stays as it was.
        auto ran = whenModal<TfrmCopyPolicy>(
            [](TfrmCopyPolicy& dialog) { child<QPushButton>(dialog, "btnCancel")->click(); });
        w.button("btnCopyPolicy")->click();
        QVERIFY(*ran);
        QCOMPARE(w.policies()->currentIndex(), 1);
        QVERIFY(!w.wizard.PoliciesChanged());

        // Confirmed with a new policy: listed, and the choice stays (going back
        // to the first, the default, would make the task delete).
        ran = whenModal<TfrmCopyPolicy>([](TfrmCopyPolicy& dialog) {
            QLineEdit* name = child<QComboBox>(dialog, "cboPolicyName")->lineEdit();
            name->clear();
            QTest::keyClicks(name, u"Photos"_s);
            child<QPushButton>(dialog, "btnOK")->click();
        });
        w.button("btnCopyPolicy")->click();
        QVERIFY(*ran);
        QCOMPARE(w.policies()->count(), 3);
        QCOMPARE(w.policies()->itemText(2), u"Photos"_s);
        QCOMPARE(w.policies()->currentIndex(), 1);
        QVERIFY(w.wizard.PoliciesChanged());
    }

    // A task whose stored policy is missing keeps it through a policy dialog
    // and Finish: neither is a choice of the default policy, which deletes.
    void missingPolicyStaysThroughARefreshAndFinish() {
        Model model;
        Task& task = model.tasks.addTask();
        model.policies.assignPolicy(task, "Gone");
        Wizard w(model, &task);
        QCOMPARE(w.policies()->currentText(), u"Gone (missing: deletion off)"_s);

        auto ran = whenModal<TfrmCopyPolicy>([](TfrmCopyPolicy& dialog) {
            QLineEdit* name = child<QComboBox>(dialog, "cboPolicyName")->lineEdit();
            name->clear();
            QTest::keyClicks(name, u"Photos"_s);
            child<QPushButton>(dialog, "btnOK")->click();
        });
        w.button("btnCopyPolicy")->click();
        QVERIFY(*ran);
        QCOMPARE(w.policies()->currentText(), u"Gone (missing: deletion off)"_s);

        w.walkToSummary(u"Docs"_s, u"/data//main/"_s, u"/backup/./main"_s);
        w.finishAnyway();
        QVERIFY(task.hasMissingPolicy());
        QCOMPARE(task.getPolicyName(), "Gone");
        QCOMPARE(task.folderList.items()[0].main, std::string("/data/main"));
        QCOMPARE(task.folderList.items()[0].mirror, std::string("/backup/main"));
    }

    void finishKeepsDeletionOffWhenTheChosenPolicyWasDeleted() {
        Model model;
        model.addPolicy("Docs", 0);
        Task& existing = model.tasks.addTask();
        existing.setPolicy(model.policies.findPolicy("Docs"));
        Wizard w(model);
        Task* made = w.wizard.GetTask();  // a new task: no policy while the wizard is open
        w.walkToSummary(u"Docs task"_s, u"/data"_s, u"/backup"_s);
        w.button("btnPriv")->click();
        w.policies()->setCurrentIndex(1);

        // Deleted from the policy dialog, which then ends with Cancel: the
        // wizard's list still offers the policy.
        auto ran = whenModal<TfrmCopyPolicy>([](TfrmCopyPolicy& dialog) {
            auto* names = child<QComboBox>(dialog, "cboPolicyName");
            names->setCurrentIndex(names->findText(u"Docs"_s));
            emit names->activated(names->currentIndex());
            DialogService::instance().setNextAnswer(QMessageBox::Yes);
            child<QPushButton>(dialog, "btnDelete")->click();
            child<QPushButton>(dialog, "btnCancel")->click();
        });
        w.button("btnCopyPolicy")->click();
        QVERIFY(*ran);
        QCOMPARE(model.policies.findPolicy("Docs"), nullptr);
        QCOMPARE(existing.getPolicy(), model.policies.defaultPolicy());
        QCOMPARE(w.policies()->currentText(), u"Docs"_s);
        QVERIFY(w.wizard.PoliciesChanged());

        w.next();
        w.finishAnyway();
        QVERIFY(made->hasMissingPolicy());
        QCOMPARE(made->getPolicyName(), "Docs");
        QVERIFY(!made->getPolicy()->isDeleteMirrorOnly());
    }

    void helpLinkShowsThePageBesideTheWizard() {
        Model model;
        Wizard w(model);
        DialogService::instance().setOpenUrlResult(false);
        QTest::mouseClick(w.get<QLabel>("lblCopyPolicy"), Qt::LeftButton);
        auto* help = w.wizard.findChild<HelpWindow*>();
        QVERIFY(help != nullptr && help->isVisible());
        QVERIFY(help->browser()->source().path().endsWith(u"/help/copy-policies.html"_s));
        QCOMPARE(DialogService::instance().messageCount(), 0);
    }

    void pictureIsShownWhenShipped() {
        Model model;
        Wizard w(model);
        // The build puts the picture beside the programs, tests included.
        QVERIFY(!w.get<QLabel>("imgWizard")->pixmap().isNull());
    }

private:
    std::unique_ptr<UnansweredGuard> guard;
};

QTEST_MAIN(TaskWizardTest)
#include "TaskWizardTest.moc"
