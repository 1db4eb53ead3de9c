// Renders every dialog, and each page of the task definition dialog and of the
// wizard, to PNG files for review:
//   dialog_screenshots [FOLDER]     (default: screenshots/dialogs beside the program)
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise. With
// TWINFOLD_TRANSLATION naming a catalogue (.qm), the dialogs show its texts.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "DialogFixture.h"
#include "ui/dialogs/TfrmCopyPolicy.h"
#include "ui/dialogs/TfrmSelectFileAttr.h"
#include "ui/dialogs/TfrmSelectFileType.h"
#include "ui/dialogs/TfrmTaskDefine.h"
#include "ui/dialogs/TfrmTaskWizard.h"
#include "widgets/Translations.h"

using namespace Qt::StringLiterals;

namespace {

bool save(QWidget& window, const QDir& folder, const QString& name) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return false;
    }
    QApplication::processEvents();
    const QString path = folder.filePath(name + u".png"_s);
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (const QString catalogue = qEnvironmentVariable("TWINFOLD_TRANSLATION");
        !catalogue.isEmpty() && !translations::installFile(catalogue)) {
        std::fprintf(stderr, "cannot read the catalogue %s\n", qPrintable(catalogue));
        return 1;
    }
    const QString target = argc > 1
                               ? QString::fromLocal8Bit(argv[1])
                               : QApplication::applicationDirPath() + u"/../screenshots/dialogs"_s;
    QDir folder;
    if (!folder.mkpath(target)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(target));
        return 1;
    }
    folder.setPath(target);
    bool ok = true;

    Model model;
    CopyPolicy& docs = model.addPolicy("Documents", DefaultPolicyFlags);
    docs.setCopyIfTimeDiffers(false);
    docs.setDeleteToRecycleBin(false);
    Task& task = model.tasks.addTask();
    task.name = "Documents";
    task.setPolicy(&docs);
    task.folderList.addItem() = {"/home/user/Documents", "/media/backup/Documents"};
    task.folderList.addItem() = {"/home/user/Pictures", "/media/backup/Pictures"};
    task.include.addFile("/home/user/.bashrc");
    task.exclude.addFile("/home/user/Documents/cache");
    task.exclude.setFileTypes("tmp;bak;");
    task.exclude.setFileAttrs("HIDDEN;");
    task.enableLog = true;
    task.logFile = "/home/user/.config/twinfold/Documents.log";
    task.schedule.intervalEnabled = true;
    task.schedule.setInterval("30");

    {
        TfrmCopyPolicy dialog;
        dialog.SetPolicyManager(&model.policies);
        ok &= save(dialog, folder, u"copy-policy-default"_s);
        auto* names = child<QComboBox>(dialog, "cboPolicyName");
        names->setCurrentIndex(1);
        emit names->activated(1);
        ok &= save(dialog, folder, u"copy-policy"_s);
    }
    {
        TfrmSelectFileType picker;
        picker.AddTypes({u"TXT"_s, u"bak"_s, u"doc"_s, u"jpg"_s, u"tmp"_s, u"txt"_s});
        picker.CheckTypes({u"bak"_s, u"tmp"_s});
        ok &= save(picker, folder, u"select-file-type"_s);
        TfrmSelectFileAttr attrs;
        attrs.SetAttributes(0x2);
        ok &= save(attrs, folder, u"select-file-attr"_s);
    }
    {
        TfrmTaskDefine dialog;
        dialog.SetTasks(&model.tasks);
        dialog.SetTaskDefined(&task);
        auto* tree = child<QTreeWidget>(dialog, "tvOption");
        const QList<std::pair<QString, QString>> pages{
            {u"General"_s, u"task-define-general"_s},
            {u"Task folder"_s, u"task-define-task-folder"_s},
            {u"File include"_s, u"task-define-file-include"_s},
            {u"File exclude"_s, u"task-define-file-exclude"_s},
            {u"Schedule"_s, u"task-define-schedule"_s}};
        for (const auto& [node, name] : pages) {
            // The node as the catalogue in use words it.
            const QString text = QCoreApplication::translate("TfrmTaskDefine", qPrintable(node));
            tree->setCurrentItem(tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive)[0]);
            ok &= save(dialog, folder, name);
        }
    }
    {
        TfrmTaskWizard wizard;
        wizard.FillPolicies(&model.policies);
        wizard.SetTaskManager(&model.tasks);
        wizard.SetTask(&task);
        auto* next = child<QPushButton>(wizard, "btnNext");
        const QStringList names{u"wizard-1-welcome"_s, u"wizard-2-task-name"_s,
                                u"wizard-3-folders"_s, u"wizard-4-copy-policy"_s,
                                u"wizard-5-summary"_s};
        for (const QString& name : names) {
            ok &= save(wizard, folder, name);
            next->click();
        }
    }
    return ok ? 0 : 1;
}
