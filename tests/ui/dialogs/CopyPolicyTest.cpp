#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "DialogFixture.h"
#include "ui/dialogs/TfrmCopyPolicy.h"

using namespace Qt::StringLiterals;

namespace {

// A policy other than the default: only new files and attribute changes.
constexpr std::uint32_t kDocsFlags = CopyPolicy::CopyNewFiles | CopyPolicy::CopyIfAttributesDiffer;

struct PolicyDialog {
    explicit PolicyDialog(Model& model) { dialog.SetPolicyManager(&model.policies); }

    QCheckBox* box(const char* name) const { return child<QCheckBox>(dialog, name); }
    QPushButton* button(const char* name) const { return child<QPushButton>(dialog, name); }
    QComboBox* names() const { return child<QComboBox>(dialog, "cboPolicyName"); }
    QLabel* promptLabel() const { return child<QLabel>(dialog, "lblDeletePrompt"); }
    // Replaces the name by typing it, one key at a time.
    void type(const QString& text) const {
        names()->lineEdit()->clear();
        QTest::keyClicks(names()->lineEdit(), text);
    }
    // The seven check boxes, in the order of the rules.
    QList<QCheckBox*> boxes() const {
        return {box("chkCopyFiles"),     box("chkCopySize"), box("chkCopyTime"),
                box("chkCopyTimeNewer"), box("chkCopyAttr"), box("chkDeleteFile"),
                box("chkDeletePrompt")};
    }
    QList<bool> checks() const {
        QList<bool> states;
        for (const QCheckBox* b : boxes()) {
            states << b->isChecked();
        }
        return states;
    }
    // Whether the dialog shows a name no policy bears: everything editable,
    // nothing to delete.
    bool inNewPolicyState() const {
        for (const QCheckBox* b : boxes()) {
            if (!b->isEnabled()) {
                return false;
            }
        }
        return promptLabel()->isEnabled() && !button("btnDelete")->isEnabled() &&
               button("btnOK")->isEnabled() && button("btnDefaultPolicy")->isEnabled();
    }

    TfrmCopyPolicy dialog;
};

}  // namespace

class CopyPolicyTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        DialogService::instance().reset();
        guard = std::make_unique<UnansweredGuard>();
    }
    void cleanup() { QCOMPARE(guard->closed(), 0); }

    void defaultPolicyShownReadOnly() {
        Model model;
        model.addPolicy("Docs", kDocsFlags);
        PolicyDialog d(model);

        QCOMPARE(d.names()->currentText(), QString::fromUtf8(DefaultPolicyName.data()));
        QCOMPARE(d.names()->count(), 2);
        QCOMPARE(d.checks(), (QList<bool>{true, true, true, true, false, true, true}));
        for (const QCheckBox* b : d.boxes()) {
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        }
        QVERIFY(!d.promptLabel()->isEnabled());
        QVERIFY(!d.button("btnDelete")->isEnabled());
        QVERIFY(!d.button("btnOK")->isEnabled());
        QVERIFY(!d.button("btnDefaultPolicy")->isEnabled());
        QVERIFY(d.button("btnCancel")->isEnabled());
    }

    void typingANameSwitchesTheDisplay() {
        Model model;
        model.addPolicy("Docs", kDocsFlags);
        PolicyDialog d(model);
        // Typed as a person does, with the focus in the name box.
        d.dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&d.dialog));
        d.names()->setFocus();
        const QList<bool> defaults = d.checks();

        d.type(u"Doc"_s);
        QVERIFY(d.inNewPolicyState());
        QCOMPARE(d.checks(), defaults);  // a new policy starts from the rules shown last

        QTest::keyClicks(d.names()->lineEdit(), u"s"_s);
        const QList<bool> docs{true, false, false, false, true, false, false};
        QCOMPARE(d.checks(), docs);
        QVERIFY(d.button("btnDelete")->isEnabled());
        QVERIFY(d.button("btnOK")->isEnabled());
        QVERIFY(d.box("chkCopyAttr")->isEnabled());

        QTest::keyClicks(d.names()->lineEdit(), u"x"_s);
        QVERIFY(d.inNewPolicyState());
        QCOMPARE(d.checks(), docs);

        // Names compare exactly: the default's name in capitals is a new name.
        d.type(QString::fromUtf8(DefaultPolicyName.data()).toUpper());
        QVERIFY(d.inNewPolicyState());
    }

    void pickingFromTheListShowsThatPolicy() {
        Model model;
        model.addPolicy("Docs", kDocsFlags);
        PolicyDialog d(model);
        d.names()->setCurrentIndex(1);
        emit d.names()->activated(1);
        QCOMPARE(d.checks(), (QList<bool>{true, false, false, false, true, false, false}));
        QVERIFY(d.button("btnDelete")->isEnabled());
    }

    void mainIsLaterNeedsTheTimeRule() {
        Model model;
        // The "main is later" bit alone, without the time rule it refines.
        model.addPolicy("Odd", CopyPolicy::CopyOnlyIfMainNewer);
        PolicyDialog d(model);
        d.type(u"Odd"_s);
        QVERIFY(!d.box("chkCopyTime")->isChecked());
        QVERIFY(!d.box("chkCopyTimeNewer")->isChecked());
        // Shown enabled all the same, until the time box next changes.
        QVERIFY(d.box("chkCopyTimeNewer")->isEnabled());
    }

    void dependentBoxesFollowTheirParents() {
        Model model;
        model.addPolicy("Mine", DefaultPolicyFlags);
        PolicyDialog d(model);
        d.type(u"Mine"_s);
        QCheckBox* time = d.box("chkCopyTime");
        QCheckBox* newer = d.box("chkCopyTimeNewer");
        QCheckBox* del = d.box("chkDeleteFile");
        QCheckBox* prompt = d.box("chkDeletePrompt");
        QVERIFY(newer->isChecked() && newer->isEnabled());
        QVERIFY(prompt->isChecked() && prompt->isEnabled() && d.promptLabel()->isEnabled());

        time->click();
        QVERIFY(!newer->isChecked());
        QVERIFY(!newer->isEnabled());
        time->click();
        QVERIFY(newer->isEnabled());
        QVERIFY(!newer->isChecked());  // not checked again

        del->click();
        QVERIFY(!prompt->isChecked());
        QVERIFY(!prompt->isEnabled());
        QVERIFY(!d.promptLabel()->isEnabled());
        del->click();
        QVERIFY(prompt->isEnabled() && d.promptLabel()->isEnabled());
        QVERIFY(!prompt->isChecked());
    }

    void defaultButtonSetsTheDefaultRulesOnly() {
        Model model;
        model.addPolicy("Docs", kDocsFlags);
        PolicyDialog d(model);
        d.type(u"Docs"_s);
        d.button("btnDefaultPolicy")->click();
        QCOMPARE(d.checks(), (QList<bool>{true, true, true, true, false, true, true}));
        QCOMPARE(d.names()->currentText(), u"Docs"_s);
        QVERIFY(d.button("btnDelete")->isEnabled());
        QCOMPARE(model.policies.findPolicy("Docs")->getFlags(), kDocsFlags);  // not saved
    }

    void okWithANewNameAppendsAPolicy() {
        Model model;
        model.addPolicy("Docs", kDocsFlags);
        PolicyDialog d(model);
        d.type(u"Docs"_s);
        d.type(u"Photos "_s);  // kept as typed, blank included
        d.box("chkDeleteFile")->click();
        d.button("btnOK")->click();

        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(model.policies.policyList().size(), 3u);
        const CopyPolicy& added = *model.policies.policyList().back();
        QCOMPARE(added.name, std::string("Photos "));
        QCOMPARE(added.getFlags(), kDocsFlags | CopyPolicy::DeleteMirrorOnly);
        QCOMPARE(model.policies.findPolicy("Docs")->getFlags(), kDocsFlags);
    }

    void okWithAnExistingNameOverwritesIt() {
        Model model;
        // Time rule off with its refinement's bit kept.
        model.addPolicy("Docs", CopyPolicy::CopyNewFiles | CopyPolicy::CopyOnlyIfMainNewer |
                                    CopyPolicy::DeleteMirrorOnly);
        model.addPolicy("Other", kDocsFlags);
        PolicyDialog d(model);
        d.type(u"Docs"_s);
        d.box("chkCopyTimeNewer")->click();  // still enabled: checks it
        d.box("chkCopyFiles")->click();
        d.box("chkDeletePrompt")->click();
        d.button("btnOK")->click();

        QCOMPARE(model.policies.policyList().size(), 3u);
        // The rules are applied in order: a checked "Main is later" sets the
        // time rule it refines, though the time box stayed unchecked.
        QCOMPARE(model.policies.findPolicy("Docs")->getFlags(),
                 std::uint32_t(CopyPolicy::CopyIfTimeDiffers | CopyPolicy::CopyOnlyIfMainNewer |
                               CopyPolicy::DeleteMirrorOnly | CopyPolicy::DeleteToRecycleBin));
        QCOMPARE(model.policies.findPolicy("Other")->getFlags(), kDocsFlags);
    }

    void namesThatAreNotUtf8AreFound() {
        Model model;
        model.addPolicy("Pol\xe9", kDocsFlags);
        model.addPolicy("Other\xff", kDocsFlags);
        PolicyDialog d(model);
        d.names()->setCurrentIndex(1);
        emit d.names()->activated(1);
        QVERIFY(d.button("btnDelete")->isEnabled());  // shown as the existing policy
        d.box("chkCopySize")->click();
        d.button("btnOK")->click();
        QCOMPARE(model.policies.policyList().size(), 3u);
        QCOMPARE(model.policies.findPolicy("Pol\xe9")->getFlags(),
                 kDocsFlags | CopyPolicy::CopyIfSizeDiffers);
    }

    void deletionStandsAfterCancel() {
        Model model;
        CopyPolicy& docs = model.addPolicy("Docs", kDocsFlags);
        CopyPolicy& other = model.addPolicy("Other", kDocsFlags);
        Task& usesDocs = model.tasks.addTask();
        usesDocs.setPolicy(&docs);
        Task& usesOther = model.tasks.addTask();
        usesOther.setPolicy(&other);
        Task& unconfirmed = model.tasks.addTask();  // being made elsewhere: no policy yet
        PolicyDialog d(model);
        d.type(u"Docs"_s);

        DialogService& service = DialogService::instance();
        service.setNextAnswer(QMessageBox::No);
        d.button("btnDelete")->click();
        QCOMPARE(service.lastCaption(), u"Confirm"_s);
        QCOMPARE(service.lastText(),
                 u"If you delete this copy policy, all tasks which use it will set to default. "
                 u"\n\nThis policy never deletes anything from a mirror, but the default policy "
                 u"removes files and folders that exist only in the mirror. The 1 task(s) using "
                 u"it (New Task 1) will start removing such files from their mirrors."
                 u"\n\nContinue?"_s);
        QCOMPARE(model.policies.policyList().size(), 3u);
        QVERIFY(!d.dialog.PolicyDeleted());

        service.setNextAnswer(QMessageBox::Yes);
        d.button("btnDelete")->click();
        QCOMPARE(model.policies.policyList().size(), 2u);
        QCOMPARE(model.policies.findPolicy("Docs"), nullptr);
        QCOMPARE(d.names()->count(), 2);
        QCOMPARE(d.names()->findText(u"Docs"_s), -1);
        // Back on the first entry, the default policy, shown read-only.
        QCOMPARE(d.names()->currentText(), QString::fromUtf8(DefaultPolicyName.data()));
        QVERIFY(!d.button("btnDelete")->isEnabled());

        d.button("btnCancel")->click();
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
        QVERIFY(d.dialog.PolicyDeleted());
        QCOMPARE(model.policies.findPolicy("Docs"), nullptr);
        QCOMPARE(usesDocs.getPolicy(), model.policies.defaultPolicy());
        QCOMPARE(usesOther.getPolicy(), &other);
        QCOMPARE(unconfirmed.getPolicy(), nullptr);
    }

    // The confirmation warns exactly when the tasks of the deleted policy
    // would start deleting under the default.
    void deleteConfirmationWarnsWhenTasksWouldStartDeleting_data() {
        QTest::addColumn<bool>("deletedDeletes");
        QTest::addColumn<bool>("defaultDeletes");
        QTest::addColumn<QString>("user");  // "task", "stand-in" or "none"
        QTest::addColumn<bool>("warned");
        QTest::newRow("used, would start deleting") << false << true << u"task"_s << true;
        QTest::newRow("unused") << false << true << u"none"_s << false;
        QTest::newRow("only a stand-in of that name") << false << true << u"stand-in"_s << false;
        QTest::newRow("deleted one deletes too") << true << true << u"task"_s << false;
        QTest::newRow("default does not delete") << false << false << u"task"_s << false;
    }
    void deleteConfirmationWarnsWhenTasksWouldStartDeleting() {
        QFETCH(bool, deletedDeletes);
        QFETCH(bool, defaultDeletes);
        QFETCH(QString, user);
        QFETCH(bool, warned);
        Model model;
        model.policies.defaultPolicy()->setDeleteMirrorOnly(defaultDeletes);
        CopyPolicy& docs = model.addPolicy("Docs", kDocsFlags);
        docs.setDeleteMirrorOnly(deletedDeletes);
        if (user == u"task"_s) {
            model.tasks.addTask().setPolicy(&docs);
        } else if (user == u"stand-in"_s) {
            model.tasks.addTask().setMissingPolicy("Docs");
        }
        PolicyDialog d(model);
        d.type(u"Docs"_s);
        DialogService& service = DialogService::instance();
        service.setNextAnswer(QMessageBox::No);
        d.button("btnDelete")->click();
        QCOMPARE(service.lastText().contains(u"will start removing such files"_s), warned);
        QVERIFY(service.lastText().endsWith(u"Continue?"_s));
    }

private:
    std::unique_ptr<UnansweredGuard> guard;
};

QTEST_MAIN(CopyPolicyTest)
#include "CopyPolicyTest.moc"
