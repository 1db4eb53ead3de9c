#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

#include "widgets/DialogService.h"
#include "widgets/HelpPages.h"
#include "widgets/HelpWindow.h"
#include "widgets/LogViewer.h"
#include "widgets/TGauge.h"
#include "widgets/TTrayIcon.h"
#include "widgets/Translations.h"

using namespace Qt::StringLiterals;

class WidgetsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        DialogService::instance().reset();
        for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }

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

    // The program's catalogue is the one for the user's language, from the
    // first folder that has it; without one the texts stay as the source
    // has them. The catalogues here are copies of the pseudo-translation.
    void programCatalogueForTheUsersLanguage_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("the language's")
            << "de_DE" << QStringList{u"a/twinfold_de.qm"_s} << "a/twinfold_de.qm";
        QTest::newRow("a region's falls back to the language's")
            << "de_AT" << QStringList{u"a/twinfold_de.qm"_s} << "a/twinfold_de.qm";
        QTest::newRow("the next folder when the first has none")
            << "de_DE" << QStringList{u"b/twinfold_de.qm"_s} << "b/twinfold_de.qm";
        QTest::newRow("the first folder before the next")
            << "de_DE" << QStringList{u"a/twinfold_de.qm"_s, u"b/twinfold_de.qm"_s}
            << "a/twinfold_de.qm";
        QTest::newRow("none for the language")
            << "fr_FR" << QStringList{u"a/twinfold_de.qm"_s} << "";
        QTest::newRow("not another program's") << "de_DE" << QStringList{u"a/qtbase_de.qm"_s} << "";
    }
    void programCatalogueForTheUsersLanguage() {
        QFETCH(QString, locale);
        QFETCH(QStringList, files);
        QFETCH(QString, loaded);
        const QTemporaryDir dir;
        const QDir root(dir.path());
        for (const QString& file : files) {
            QVERIFY(root.mkpath(QFileInfo(file).path()));
            QVERIFY(QFile::copy(QStringLiteral(TWINFOLD_PSEUDO_QM), root.filePath(file)));
        }
        const QStringList folders{root.filePath(QStringLiteral("a")),
                                  root.filePath(QStringLiteral("b")),
                                  root.filePath(QStringLiteral("missing"))};
        const QString file = translations::installProgramCatalogue(QLocale(locale), folders);
        QCOMPARE(file, loaded.isEmpty() ? QString() : root.filePath(loaded));
        const QString close = QCoreApplication::translate("HelpWindow", "Close");
        QCOMPARE(close != QStringLiteral("Close"), !loaded.isEmpty());
    }

    // Qt's own texts (the standard buttons) follow the user's language too.
    void qtCatalogueForTheUsersLanguage() {
        translations::install(QLocale(QStringLiteral("de_DE")));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Abbrechen"_s);
    }

    // A log too long to show whole is shown from a whole line near its end;
    // one that cannot be read says why.
    void logViewerShowsTheEndOfALog() {
        QTemporaryDir dir;
        const QString small = dir.filePath(QStringLiteral("small.log"));
        const QString large = dir.filePath(QStringLiteral("large.log"));
        {
            QFile file(small);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("first\nlast\n");
        }
        {
            QFile file(large);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray line(99, 'x');
            for (qint64 written = 0; written <= LogViewer::kShownBytes; written += 100) {
                file.write(line + '\n');
            }
            file.write("the last line\n");
        }
        QWidget owner;
        LogViewer* shown = LogViewer::open(&owner, small);
        QCOMPARE(shown->text()->toPlainText(), QStringLiteral("first\nlast\n"));
        shown = LogViewer::open(&owner, large);
        const QString tail = shown->text()->toPlainText();
        QVERIFY(tail.size() <= LogViewer::kShownBytes);
        QVERIFY(tail.startsWith(QString(99, QLatin1Char('x')) + QLatin1Char('\n')));
        QVERIFY(tail.endsWith(QStringLiteral("x\nthe last line\n")));
        shown = LogViewer::open(&owner, dir.filePath(QStringLiteral("gone.log")));
        QVERIFY(shown->text()->toPlainText().isEmpty());
        QVERIFY(shown->findChild<QLabel*>(QStringLiteral("lblNote"))
                    ->text()
                    .contains(QStringLiteral("cannot be read")));
    }
};

QTEST_MAIN(WidgetsTest)
#include "WidgetsTest.moc"
