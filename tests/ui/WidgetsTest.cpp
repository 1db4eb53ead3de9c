#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWidget>

#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"
#include "widgets/HelpWindow.h"
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

    // The pages show in the program's own window, links between them
    // included; a missing page is told.
    void helpShowsInItsOwnWindowOrTellsWhyNot() {
        DialogService& service = DialogService::instance();
        const QString page = helpPagePath(HelpTopic::CopyPolicies);
        QVERIFY2(page.endsWith(QStringLiteral("/help/copy-policies.html")), qPrintable(page));

        QWidget owner;
        service.setOpenUrlResult(false);  // no desktop opener is used
        QVERIFY(showHelp(&owner, HelpTopic::CopyPolicies));
        auto* window = owner.findChild<HelpWindow*>();
        QVERIFY(window != nullptr && window->isVisible());
        QTextBrowser* browser = window->browser();
        QCOMPARE(browser->source(), QUrl::fromLocalFile(page));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Copy policies")));
        QCOMPARE(service.messageCount(), 0);

        // A link to another page (the first one: "Tasks") is followed in the
        // same window.
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
        QVERIFY2(browser->source().path().endsWith(QStringLiteral("/help/index.html")),
                 qPrintable(browser->source().toString()));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Twinfold: tasks")));
        window->findChild<QPushButton*>(QStringLiteral("btnBack"))->click();
        QCOMPARE(browser->source(), QUrl::fromLocalFile(page));
        // A second topic reuses the window.
        QVERIFY(showHelp(&owner, HelpTopic::Schedules));
        QCOMPARE(owner.findChildren<HelpWindow*>().size(), 1);
        QVERIFY(browser->source().path().endsWith(QStringLiteral("/help/schedules.html")));

        service.setNextAnswer(QMessageBox::Ok);
        QVERIFY(!showHelpFile(nullptr, QString()));
        QCOMPARE(service.lastCaption(), QStringLiteral("Info"));
        QCOMPARE(service.lastText(), QStringLiteral("Can't display help, please contract us !"));
    }
};

QTEST_MAIN(WidgetsTest)
#include "WidgetsTest.moc"
