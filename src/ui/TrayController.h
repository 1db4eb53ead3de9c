#pragma once

#include <QObject>
#include <QString>
#include <string>

class QAction;
class QMenu;
class QWidget;
class TaskManager;
class TTrayIcon;

// The program's icon in the notification area and its menu: About, a Run
// and a Simulate submenu listing the tasks, Stop, the "show progress
// detail" mark, Settings, Show main window and Quit. It tells what the user
// chose through its signals; notices of runs show over the icon.
class TrayController : public QObject {
    Q_OBJECT
public:
    // Shows the icon, with the window's icon. `window` parents the menu and
    // is what restoring brings back; it must outlive this.
    explicit TrayController(QWidget* window);
    ~TrayController() override;

    TTrayIcon* icon() const { return TrayIcon1; }
    QMenu* menu() const { return popMenuTray; }

    // Rebuilds the Run and Simulate submenus from the tasks that can run
    // (none before loading) and sets the items for the run's state. The
    // submenus are open only when no run is active and `busy` is false.
    void popMenuTrayPopup(const TaskManager* tasks, bool runActive, bool busy, bool showDetail);
    void setHint(const QString& hint);
    // A notice over the icon; false where the desktop has no notification
    // area to show it in.
    bool showNotice(const QString& text);
    // Brings the window back from the tray or the taskbar.
    void restoreWindow();
    // Removes the icon, at exit.
    void remove();

Q_SIGNALS:
    // The menu is about to open: its entries are to be brought up to date.
    void aboutToShow();
    void aboutRequested();
    // A task chosen from the Run or the Simulate submenu, asked for from the
    // event loop once the menu has closed.
    void runRequested(const std::string& taskId, bool simulate);
    void stopRequested();
    void showDetailToggled(bool checked);
    void settingsRequested();
    void quitRequested();
    void noticeClicked();

private:
    void clearTraySubmenus();
    void runFromTrayMenu(QAction* item);

    QMenu* popMenuTray;
    QAction* mnuTrayAbout;
    QAction* mnuTraySimulate;
    QAction* mnuTrayRun;
    QAction* mnuTrayStop;
    QAction* mnuShowDetail;
    QAction* mnuTraySettings;
    QAction* mnuTrayShow;
    QAction* mnuTrayQuit;
    TTrayIcon* TrayIcon1;
};
