#include "widgets/TTrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QTimer>
#include <QWindowStateChangeEvent>

namespace {

constexpr int kMaxHintLength = 64;

}  // namespace

TTrayIcon::TTrayIcon(QObject* parent) : QObject(parent) {
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TTrayIcon::activate);
    connect(&m_icon, &QSystemTrayIcon::messageClicked, this, &TTrayIcon::messageClicked);
}

TTrayIcon::~TTrayIcon() {
    setApplicationWindow(nullptr);
    m_icon.hide();
}

void TTrayIcon::setVisible(bool visible) {
    m_visible = visible;
    if (visible) {
        if (m_icon.icon().isNull()) {
            m_icon.setIcon(QApplication::windowIcon());
        }
        m_icon.show();
    } else {
        m_icon.hide();
    }
}

void TTrayIcon::setHint(const QString& hint) {
    if (hint.size() >= kMaxHintLength) {
        return;
    }
    m_hint = hint;
    m_icon.setToolTip(hint);
}

void TTrayIcon::setPopupMenu(QMenu* menu) {
    m_menu = menu;
    applyMenu();
}

void TTrayIcon::setPopupMenuOn(TTrayIconMessage action) {
    m_popupMenuOn = action;
    applyMenu();
}

void TTrayIcon::applyMenu() {
    // A menu on the right button is handed to the platform: it knows best how
    // to open it in its notification area (some export it to the desktop's
    // panel). Other actions open the menu here, at the mouse.
    m_platformMenu = m_menu != nullptr && m_popupMenuOn == imRightClickUp;
    m_icon.setContextMenu(m_platformMenu ? m_menu.data() : nullptr);
}

void TTrayIcon::setIcon(const QIcon& icon) {
    m_icon.setIcon(icon);
}

void TTrayIcon::setApplicationWindow(QWidget* window) {
    if (m_window != nullptr) {
        m_window->removeEventFilter(this);
    }
    m_window = window;
    if (m_window != nullptr) {
        m_window->installEventFilter(this);
    }
}

bool TTrayIcon::systemTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TTrayIcon::hidesOnMinimize() const {
    return m_visible && systemTrayAvailable();
}

bool TTrayIcon::showMessage(const QString& title, const QString& text,
                            QSystemTrayIcon::MessageIcon icon) {
    m_lastMessage = text;
    if (!hidesOnMinimize()) {
        return false;
    }
    m_icon.showMessage(title, text, icon);
    return true;
}

void TTrayIcon::restoreApplication() {
    if (m_window == nullptr) {
        return;
    }
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

void TTrayIcon::openMenu() {
    if (m_menu == nullptr) {
        return;
    }
    if (QWidget* active = QApplication::activeWindow()) {
        active->raise();
        active->activateWindow();
    }
    m_menu->popup(QCursor::pos());
}

bool TTrayIcon::isAction(TTrayIconMessage setting, QSystemTrayIcon::ActivationReason reason) const {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return setting == imClick || setting == imMouseUp || setting == imLeftClickUp;
        case QSystemTrayIcon::DoubleClick:
            return setting == imDoubleClick || setting == imLeftDoubleClick;
        case QSystemTrayIcon::Context:
            return setting == imMouseUp || setting == imRightClickUp;
        case QSystemTrayIcon::MiddleClick:
            return setting == imMouseUp;
        case QSystemTrayIcon::Unknown:
            break;
    }
    return false;
}

void TTrayIcon::activate(QSystemTrayIcon::ActivationReason reason) {
    const Qt::KeyboardModifiers modifiers = QApplication::keyboardModifiers();
    const QPoint position = QCursor::pos();
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            Q_EMIT clicked();
            Q_EMIT mouseUp(Qt::LeftButton, modifiers, position);
            break;
        case QSystemTrayIcon::DoubleClick:
            Q_EMIT doubleClicked();
            break;
        case QSystemTrayIcon::Context:
            Q_EMIT mouseUp(Qt::RightButton, modifiers, position);
            break;
        case QSystemTrayIcon::MiddleClick:
            Q_EMIT mouseUp(Qt::MiddleButton, modifiers, position);
            break;
        case QSystemTrayIcon::Unknown:
            return;
    }
    if (isAction(m_restoreOn, reason)) {
        restoreApplication();
    }
    // The platform has opened a menu it was given already.
    const bool platformOpened =
        reason == QSystemTrayIcon::Context && m_platformMenu && hidesOnMinimize();
    if (isAction(m_popupMenuOn, reason) && !platformOpened) {
        openMenu();
    }
}

bool TTrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool wasMinimized = change->oldState().testFlag(Qt::WindowMinimized);
        const bool isMinimized = m_window->windowState().testFlag(Qt::WindowMinimized);
        if (isMinimized && !wasMinimized) {
            if (hidesOnMinimize()) {
                // Hidden once the state change is through, so that only the
                // icon is left.
                QTimer::singleShot(0, m_window, [window = m_window] {
                    if (window != nullptr && window->isMinimized()) {
                        window->hide();
                    }
                });
            }
            Q_EMIT minimized();
        } else if (wasMinimized && !isMinimized) {
            Q_EMIT restored();
        }
    }
    return QObject::eventFilter(watched, event);
}
