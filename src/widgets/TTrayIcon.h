#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QWidget>

// The program's icon in the desktop's notification area (system tray): a tip
// over it, a pop-up menu and restoring the program on chosen mouse actions,
// and, while the icon is shown, minimising the program's window hides it to
// the icon. Where the desktop has no system tray, minimising leaves the
// window on the taskbar, so the program stays reachable.
//
// Qt reports fewer mouse actions than the notification area can see: a left
// click, a double click, a middle click and the context-menu request of the
// right button, each after the fact; there are no separate press and move
// events.
class TTrayIcon : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Visible READ visible WRITE setVisible)
    Q_PROPERTY(QString Hint READ hint WRITE setHint)
    Q_PROPERTY(QMenu* PopupMenu READ popupMenu WRITE setPopupMenu)
    Q_PROPERTY(TTrayIconMessage RestoreOn READ restoreOn WRITE setRestoreOn)
    Q_PROPERTY(TTrayIconMessage PopupMenuOn READ popupMenuOn WRITE setPopupMenuOn)

public:
    // Mouse actions that restore the window or open the menu.
    enum TTrayIconMessage {
        imClick,
        imDoubleClick,
        imMouseDown,
        imMouseUp,
        imLeftClickUp,
        imLeftDoubleClick,
        imRightClickUp,
        imRightDoubleClick,
        imNone,
    };
    Q_ENUM(TTrayIconMessage)

    explicit TTrayIcon(QObject* parent = nullptr);
    // Removes the icon from the notification area.
    ~TTrayIcon() override;

    // Shows or removes the icon.
    void setVisible(bool visible);
    bool visible() const { return m_visible; }

    // The tip over the icon. A text of 64 characters or more is ignored and
    // the previous tip stays.
    void setHint(const QString& hint);
    QString hint() const { return m_hint; }

    // The menu to open (not owned).
    void setPopupMenu(QMenu* menu);
    QMenu* popupMenu() const { return m_menu; }

    void setRestoreOn(TTrayIconMessage action) { m_restoreOn = action; }
    TTrayIconMessage restoreOn() const { return m_restoreOn; }
    void setPopupMenuOn(TTrayIconMessage action);
    TTrayIconMessage popupMenuOn() const { return m_popupMenuOn; }

    // The image shown; the application's icon when none is set.
    void setIcon(const QIcon& icon);

    // The window that minimising hides to the icon and restoring brings back
    // (not owned).
    void setApplicationWindow(QWidget* window);

    // Whether the desktop offers a notification area.
    static bool systemTrayAvailable();
    // Whether minimising hides the window now: the icon is shown in a
    // notification area.
    bool hidesOnMinimize() const;

    // A passing notice over the icon; false when there is no icon to show it
    // at. The last notice is kept for tests and for windows to show.
    bool showMessage(const QString& title, const QString& text,
                     QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::Information);
    QString lastMessage() const { return m_lastMessage; }

    // Brings the window back from the tray or the taskbar, in front
    // (restored() follows when it was minimised).
    void restoreApplication();
    // Opens the menu at the mouse, after bringing the active window forward.
    void openMenu();

public Q_SLOTS:
    // A mouse action on the icon, as the platform reports it.
    void activate(QSystemTrayIcon::ActivationReason reason);

Q_SIGNALS:
    void clicked();
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& position);
    void doubleClicked();
    // The user clicked the latest notice.
    void messageClicked();
    void minimized();
    void restored();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isAction(TTrayIconMessage setting, QSystemTrayIcon::ActivationReason reason) const;
    void applyMenu();

    QSystemTrayIcon m_icon;
    bool m_visible = false;
    QString m_hint;
    QPointer<QMenu> m_menu;
    TTrayIconMessage m_restoreOn = imDoubleClick;
    TTrayIconMessage m_popupMenuOn = imNone;
    QPointer<QWidget> m_window;
    QString m_lastMessage;
    // True when the platform opens the menu itself on the right button.
    bool m_platformMenu = false;
};
