#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "model/Task.h"
#include "support/TempTree.h"
#include "ui/TfrmVersions.h"
#include "widgets/DialogService.h"

using namespace Qt::StringLiterals;
using testsupport::makeTree;
using testsupport::pathExists;
using testsupport::readFile;

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

// The Versions window over a versions folder with two runs of one pair.
class VersionsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        DialogService::instance().reset();
        temp = std::make_unique<testsupport::TempDir>();
        task = std::make_unique<Task>();
        task->name = "Docs";
        task->folderList.addItem() = {*temp / "main", *temp / "mirror"};
        task->versions.enabled = true;
        makeTree(temp->path(),
                 "main/a=current a\nmain/extra=mine\n"
                 "mirror/.twinfold-versions/2026-01-01 000000/1-mirror/a=jan a\n"
                 "mirror/.twinfold-versions/2026-01-01 000000/1-mirror/d/report.txt=jan r\n"
                 "mirror/.twinfold-versions/2026-02-01 000000/1-mirror/d/report.txt=feb r\n"
                 "mirror/.twinfold-versions/2026-02-01 000000/1-mirror/d/e/b=feb b\n");
    }

    void listsRunsNewestFirstAsTreesAndFindsByNameAcrossRuns() {
        TfrmVersions window(*task);
        auto* runs = window.findChild<QListWidget*>(u"lstRuns"_s);
        QCOMPARE(runs->count(), 2);
        QCOMPARE(runs->item(0)->text(), u"2026-02-01 000000"_s);
        QCOMPARE(window.shownRows(),
                 (QStringList{u"1-mirror"_s, u"1-mirror/d"_s, u"1-mirror/d/e"_s,
                              u"1-mirror/d/e/b"_s, u"1-mirror/d/report.txt"_s}));
        QVERIFY(window.selectRun(u"2026-01-01 000000"_s));
        QCOMPARE(window.shownRows(), (QStringList{u"1-mirror"_s, u"1-mirror/a"_s, u"1-mirror/d"_s,
                                                  u"1-mirror/d/report.txt"_s}));
        window.setSearchText(u"REPORT"_s);
        QCOMPARE(window.shownRows(), (QStringList{u"2026-02-01 000000|1-mirror/d/report.txt"_s,
                                                  u"2026-01-01 000000|1-mirror/d/report.txt"_s}));
    }

    void restoresIntoANewFolderByDefault() {
        TfrmVersions window(*task);
        QVERIFY(window.selectPath(u"1-mirror/d"_s));
        const std::string to = *temp / "restored";
        DialogService::instance().setNextFileName(q(to));
        window.restoreTo();
        QCOMPARE(readFile(to + "/d/report.txt"), std::string("feb r"));
        QCOMPARE(readFile(to + "/d/e/b"), std::string("feb b"));
        QVERIFY(window.findChild<QLabel*>(u"lblStatus"_s)->text().startsWith(u"2 file(s)"_s));
    }

    void restoringIntoMainAsksBeforeReplacingAndNeverDeletes() {
        TfrmVersions window(*task);
        QVERIFY(window.selectRun(u"2026-01-01 000000"_s));
        QVERIFY(window.selectPath(u"1-mirror"_s));
        DialogService::instance().setNextAnswer(QMessageBox::No);
        window.restoreToMain();
        QVERIFY(DialogService::instance().lastText().contains(u"\na"_s));
        QCOMPARE(readFile(*temp / "main/a"), std::string("current a"));
        QCOMPARE(readFile(*temp / "main/d/report.txt"), std::string("jan r"));

        DialogService::instance().setNextAnswer(QMessageBox::Yes);
        window.restoreToMain();
        QCOMPARE(readFile(*temp / "main/a"), std::string("jan a"));
        QCOMPARE(readFile(*temp / "main/extra"), std::string("mine"));
        QCOMPARE(DialogService::instance().messageCount(), 2);
    }

private:
    std::unique_ptr<testsupport::TempDir> temp;
    std::unique_ptr<Task> task;
};

QTEST_MAIN(VersionsWindowTest)
#include "VersionsWindowTest.moc"
