#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"
#include "widgets/TGauge.h"
#include "widgets/TTrayIcon.h"

class WidgetsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { DialogService::instance().reset(); }

    void gaugePercent_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty range shows 0, not a division by zero") << 0 << 0 << 0 << "0%";
        QTest::newRow("whole part, not rounded") << 0 << 3 << 2 << "66%";
        QTest::newRow("full") << 0 << 5 << 5 << "100%";
        QTest::newRow("offset minimum") << 10 << 20 << 15 << "50%";
        QTest::newRow("counts times 100 do not overflow") << 0 << 2000000000 << 1999999999 << "99%";
        QTest::newRow("position above maximum is held at it") << 0 << 4 << 9 << "100%";
    }
    void gaugePercent() {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, position);
        QFETCH(QString, text);
        TGauge gauge;
        gauge.setMinValue(minimum);
        gauge.setMaxValue(maximum);
        gauge.setProgress(position);
        QCOMPARE(gauge.text(), text);
        QVERIFY(gauge.progress() >= gauge.minValue() && gauge.progress() <= gauge.maxValue());
    }

    void trayHintOfSixtyFourCharactersIsIgnored() {
        TTrayIcon tray;
        tray.setHint(QStringLiteral("Twinfold! (v1.2)"));
        tray.setHint(QString(64, QLatin1Char('x')));
        QCOMPARE(tray.hint(), QStringLiteral("Twinfold! (v1.2)"));
        tray.setHint(QString(63, QLatin1Char('y')));
        QCOMPARE(tray.hint(), QString(63, QLatin1Char('y')));
    }

    // The offscreen desktop has no notification area: minimising must leave
    // the window where the user can get it back.
    void withoutSystemTrayMinimisingKeepsTheWindow() {
        QVERIFY(!TTrayIcon::systemTrayAvailable());
        QWidget window;
        TTrayIcon tray;
        tray.setApplicationWindow(&window);
        tray.setVisible(true);
        QSignalSpy minimized(&tray, &TTrayIcon::minimized);
        window.show();
        window.showMinimized();
        QTRY_COMPARE(minimized.count(), 1);
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible());
    }

    void doubleClickRestoresAndRightButtonOpensTheMenu() {
        QWidget window;
        QMenu menu;
        menu.addAction(QStringLiteral("About"));
        TTrayIcon tray;
        tray.setApplicationWindow(&window);
        tray.setPopupMenu(&menu);
        tray.setRestoreOn(TTrayIcon::imDoubleClick);
        tray.setPopupMenuOn(TTrayIcon::imRightClickUp);
        tray.setVisible(true);
        window.show();
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());

        QSignalSpy restored(&tray, &TTrayIcon::restored);
        tray.activate(QSystemTrayIcon::Trigger);  // a single click does neither
        QVERIFY(window.isMinimized());
        QVERIFY(!menu.isVisible());

        tray.activate(QSystemTrayIcon::DoubleClick);
        QTRY_VERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
        QCOMPARE(restored.count(), 1);
        QVERIFY(!menu.isVisible());

        QSignalSpy mouseUp(&tray, &TTrayIcon::mouseUp);
        tray.activate(QSystemTrayIcon::Context);
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(mouseUp.count(), 1);
        QCOMPARE(mouseUp.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
        menu.close();
    }

    void cancelAnswerOfEachButtonSet_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("answer");
        QTest::newRow("yes/no") << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::No);
        QTest::newRow("ok/cancel")
            << int(QMessageBox::Ok | QMessageBox::Cancel) << int(QMessageBox::Cancel);
        QTest::newRow("ok") << int(QMessageBox::Ok) << int(QMessageBox::Ok);
    }
    void cancelAnswerOfEachButtonSet() {
        QFETCH(int, buttons);
        QFETCH(int, answer);
        QCOMPARE(int(DialogService::cancelAnswer(QMessageBox::StandardButtons(buttons))), answer);
    }

    // A real box, closed from outside as the end of the session does: the
    // caller gets the cancel answer, not Yes.
    void closingAnOpenBoxAnswersAsCancelled() {
        DialogService& service = DialogService::instance();
        QTimer::singleShot(0, this, [&service] {
            QVERIFY(QApplication::activeModalWidget() != nullptr);
            service.closeOpenDialogs();
        });
        const auto answer =
            service.message(nullptr, QMessageBox::Question, QStringLiteral("Confirm"),
                            QStringLiteral("Sure ?"), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(answer, QMessageBox::No);
    }

    void unattendedServiceShowsNothingAndCancels() {
        DialogService& service = DialogService::instance();
        service.setUnattended(true);
        service.setNextAnswer(QMessageBox::Yes);
        const auto answer =
            service.message(nullptr, QMessageBox::Question, QStringLiteral("Confirm"),
                            QStringLiteral("Sure ?"), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(answer, QMessageBox::No);
        QCOMPARE(service.messageCount(), 0);
        QVERIFY(service.existingDirectory(nullptr, QStringLiteral("Folder")).isEmpty());
        QVERIFY(!service.openUrl(QUrl(QStringLiteral("mailto:someone@example.org"))));
    }

    void queuedFolderLosesItsTrailingSeparator() {
        DialogService& service = DialogService::instance();
        service.setNextFileName(QStringLiteral("/data/photos/"));
        service.setNextFileName(QStringLiteral("/"));
        QCOMPARE(service.existingDirectory(nullptr, {}), QStringLiteral("/data/photos"));
        QCOMPARE(service.existingDirectory(nullptr, {}), QStringLiteral("/"));
    }

    void helpOpensThePageOrTellsWhyNot() {
        DialogService& service = DialogService::instance();
        const QString page = helpPagePath(HelpTopic::CopyPolicies);
        QVERIFY2(page.endsWith(QStringLiteral("/help/copy-policies.html")), qPrintable(page));

        service.setOpenUrlResult(true);
        QVERIFY(showHelp(nullptr, HelpTopic::CopyPolicies));
        QCOMPARE(service.lastUrl(), QUrl::fromLocalFile(page));
        QCOMPARE(service.messageCount(), 0);

        service.setOpenUrlResult(false);
        service.setNextAnswer(QMessageBox::Ok);
        QVERIFY(!showHelp(nullptr, HelpTopic::Overview));
        QCOMPARE(service.lastCaption(), QStringLiteral("Info"));
        QCOMPARE(service.lastText(), QStringLiteral("Can't display help, please contract us !"));
    }
};

QTEST_MAIN(WidgetsTest)
#include "WidgetsTest.moc"
