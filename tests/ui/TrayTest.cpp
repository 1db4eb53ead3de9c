// Runs on a real X display with a system tray (with_tray.sh).
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "widgets/TTrayIcon.h"

class TrayTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QTRY_VERIFY(TTrayIcon::systemTrayAvailable()); }

    void minimisingHidesToTheIconAndADoubleClickBringsItBack() {
        QWidget window;
        window.resize(200, 100);
        QPixmap image(16, 16);
        image.fill(Qt::blue);
        TTrayIcon tray;
        tray.setIcon(QIcon(image));
        tray.setApplicationWindow(&window);
        tray.setVisible(true);
        QVERIFY(tray.hidesOnMinimize());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        window.showMinimized();
        QTRY_VERIFY(!window.isVisible());

        QSignalSpy restored(&tray, &TTrayIcon::restored);
        tray.activate(QSystemTrayIcon::DoubleClick);
        QTRY_VERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
        QCOMPARE(restored.count(), 1);
        QVERIFY(tray.showMessage(QStringLiteral("Twinfold!"), QStringLiteral("notice")));
    }

    // Hidden while the icon is not shown: minimising is only minimising.
    void withoutTheIconMinimisingKeepsTheWindow() {
        QWidget window;
        TTrayIcon tray;
        tray.setApplicationWindow(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy minimized(&tray, &TTrayIcon::minimized);
        window.showMinimized();
        QTRY_COMPARE(minimized.count(), 1);
        QCoreApplication::processEvents();
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(TrayTest)
#include "TrayTest.moc"
