#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "ui/TfrmProgress.h"
#include "widgets/TGauge.h"

namespace {

template <class T>
T* child(const QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

RunProgress progress(int files, int directories, int filesDone, int directoriesDone,
                     const QString& path) {
    RunProgress p;
    p.fileTotal = files;
    p.directoryTotal = directories;
    p.fileDone = filesDone;
    p.directoryDone = directoriesDone;
    p.currentPath = path;
    return p;
}

}  // namespace

class ProgressWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void labelsAndGaugeFollowTheRun() {
        TfrmProgress window(nullptr);
        window.setTaskName(QStringLiteral("Photos"));
        QCOMPARE(child<QLabel>(window, "lblTaskName")->text(), QStringLiteral(" Photos "));
        auto* gauge = child<TGauge>(window, "prgTaskRun");
        auto* stop = child<QPushButton>(window, "btnAbortTask");
        QVERIFY(!stop->isEnabled());

        window.handleBegin();
        QVERIFY(!gauge->isHidden());
        QVERIFY(stop->isEnabled());

        window.handleUpdate(progress(3, 2, 1, 0, QStringLiteral("/home/me/a.txt")));
        QCOMPARE(child<QLabel>(window, "lblFileCount")->text(),
                 QStringLiteral("3 file(s), 2 directory(s)"));
        QCOMPARE(child<QLabel>(window, "lblFileComplete")->text(),
                 QStringLiteral("1 file(s), 0 directory(s)"));
        QCOMPARE(child<QLabel>(window, "lblCurrentFile")->text(), QStringLiteral("/home/me/a.txt"));
        QCOMPARE(gauge->maxValue(), 5);
        QCOMPARE(gauge->progress(), 1);

        // After the run its counts and how it ended stay until the next one.
        window.setOutcome(QStringLiteral("1 done, 0 failed, 0 skipped"));
        window.handleEnd();
        QCOMPARE(child<QLabel>(window, "lblFileCount")->text(),
                 QStringLiteral("3 file(s), 2 directory(s)"));
        QCOMPARE(child<QLabel>(window, "lblFileComplete")->text(),
                 QStringLiteral("1 file(s), 0 directory(s)"));
        QCOMPARE(child<QLabel>(window, "lblCurrentFile")->text(),
                 QStringLiteral("1 done, 0 failed, 0 skipped"));
        QVERIFY(gauge->isHidden());
        QCOMPARE(gauge->maxValue(), 0);
        QVERIFY(!stop->isEnabled());
        QCOMPARE(child<QLabel>(window, "lblTaskName")->text(), QStringLiteral(" Photos "));

        window.handleBegin();
        QCOMPARE(child<QLabel>(window, "lblFileComplete")->text(),
                 QStringLiteral("0 file(s), 0 directory(s)"));
        QVERIFY(child<QLabel>(window, "lblCurrentFile")->text().isEmpty());
    }

    // A long path keeps its file name; the first folders give way to dots.
    void shortenPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");
        QTest::newRow("fits") << "/a/b/c/file.txt" << 40 << "/a/b/c/file.txt";
        QTest::newRow("first folder gives way")
            << "/aaaa/bb/c/file.txt" << 18 << "/.../bb/c/file.txt";
        QTest::newRow("several folders give way")
            << "/aaaa/bbbb/c/file.txt" << 15 << "/.../c/file.txt";
        QTest::newRow("root goes after the folders")
            << "/aaaa/bbbb/file.txt" << 12 << ".../file.txt";
        QTest::newRow("dots go last") << "/aaaa/bbbb/file.txt" << 8 << "file.txt";
        QTest::newRow("a file name wider than the label is shown whole")
            << "/aaaa/a-very-long-file-name.txt" << 5 << "a-very-long-file-name.txt";
    }
    void shortenPath() {
        QFETCH(QString, path);
        QFETCH(int, width);
        QFETCH(QString, shown);
        const auto byCharacters = [](const QString& text) { return int(text.size()); };
        QCOMPARE(TfrmProgress::shortenPath(path, width, byCharacters), shown);
    }

    void stopAsksOnlyWhenNotPaused() {
        TfrmProgress window(nullptr);
        QSignalSpy requests(&window, &TfrmProgress::stopRequested);
        window.handleBegin();
        window.handlePause(true);
        window.btnAbortTaskClick();
        QCOMPARE(requests.count(), 0);
        window.handlePause(false);
        window.btnAbortTaskClick();
        QCOMPARE(requests.count(), 1);
    }
};

QTEST_MAIN(ProgressWindowTest)
#include "ProgressWindowTest.moc"
