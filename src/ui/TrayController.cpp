#include "ui/TrayController.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Assert.h"
#include "widgets/TTrayIcon.h"

namespace {

const char* const kIdProperty = "taskId";

}  // namespace

TrayController::TrayController(QWidget* window) {
    popMenuTray = new QMenu(window);
    popMenuTray->setObjectName(QStringLiteral("popMenuTray"));
    const auto item = [this](const char* name, const QString& caption,
                             void (TrayController::*chosen)()) {
        QAction* action = popMenuTray->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, chosen);
        return action;
    };
    mnuTrayAbout = item("mnuTrayAbout", tr("About"), &TrayController::aboutRequested);
    popMenuTray->setDefaultAction(mnuTrayAbout);
    popMenuTray->addSeparator();
    auto* simulateMenu = new QMenu(tr("Simulate"), popMenuTray);
    simulateMenu->setObjectName(QStringLiteral("mnuSimulate"));
    mnuTraySimulate = popMenuTray->addMenu(simulateMenu);
    mnuTraySimulate->setObjectName(QStringLiteral("mnuTraySimulate"));
    auto* runMenu = new QMenu(tr("Run"), popMenuTray);
    runMenu->setObjectName(QStringLiteral("mnuRun"));
    mnuTrayRun = popMenuTray->addMenu(runMenu);
    mnuTrayRun->setObjectName(QStringLiteral("mnuTrayRun"));
    mnuTrayStop = item("mnuTrayStop", tr("Stop"), &TrayController::stopRequested);
    mnuShowDetail = popMenuTray->addAction(tr("Show progress detail"));
    mnuShowDetail->setObjectName(QStringLiteral("mnuShowDetail"));
    mnuShowDetail->setCheckable(true);
    // The checkable item has flipped its mark already.
    connect(mnuShowDetail, &QAction::triggered, this, &TrayController::showDetailToggled);
    popMenuTray->addSeparator();
    mnuTraySettings =
        item("mnuTraySettings", tr("Settings..."), &TrayController::settingsRequested);
    mnuTrayShow = item("mnuTrayShow", tr("Show main window"), &TrayController::restoreWindow);
    mnuTrayQuit = item("mnuTrayQuit", tr("Quit"), &TrayController::quitRequested);
    connect(popMenuTray, &QMenu::aboutToShow, this, &TrayController::aboutToShow);

    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setIcon(window->windowIcon());
    TrayIcon1->setPopupMenu(popMenuTray);
    connect(TrayIcon1, &TTrayIcon::messageClicked, this, &TrayController::noticeClicked);
    TrayIcon1->setRestoreOn(TTrayIcon::imDoubleClick);
    TrayIcon1->setPopupMenuOn(TTrayIcon::imRightClickUp);
    TrayIcon1->setApplicationWindow(window);
    TrayIcon1->setVisible(true);
}

TrayController::~TrayController() {
    TrayIcon1->setApplicationWindow(nullptr);
}

void TrayController::clearTraySubmenus() {
    for (QAction* parent : {mnuTrayRun, mnuTraySimulate}) {
        parent->menu()->clear();
    }
}

void TrayController::popMenuTrayPopup(const TaskManager* tasks, bool runActive, bool busy,
                                      bool showDetail) {
    clearTraySubmenus();
    if (tasks != nullptr) {
        for (QAction* parent : {mnuTrayRun, mnuTraySimulate}) {
            QMenu* submenu = parent->menu();
            for (const auto& task : tasks->taskList()) {
                // A task still being made in a dialog cannot run yet.
                if (task->getPolicy() == nullptr) {
                    continue;
                }
                QAction* entry = submenu->addAction(QString::fromUtf8(task->name));
                entry->setProperty(kIdProperty, QByteArray::fromStdString(task->id));
                connect(entry, &QAction::triggered, this,
                        [this, entry] { runFromTrayMenu(entry); });
            }
        }
    }
    mnuTrayStop->setEnabled(runActive);
    mnuShowDetail->setChecked(showDetail);
    mnuTraySimulate->setEnabled(!mnuTrayStop->isEnabled() && !busy);
    mnuTrayRun->setEnabled(mnuTraySimulate->isEnabled());
}

void TrayController::runFromTrayMenu(QAction* item) {
    TF_ASSERT(item != nullptr);
    bool simulate = false;
    if (item->parent() == mnuTrayRun->menu()) {
        simulate = false;
    } else if (item->parent() == mnuTraySimulate->menu()) {
        simulate = true;
    } else {
        TF_ASSERT(!"tray item belongs to the Run or the Simulate submenu");
    }
    // Asked for from the event loop, not from inside the item's own signal:
    // the menu is rebuilt (and the item deleted) the next time it opens,
    // which may happen while the plan is being built.
    const std::string id = item->property(kIdProperty).toByteArray().toStdString();
    QTimer::singleShot(0, this, [this, id, simulate] { Q_EMIT runRequested(id, simulate); });
}

void TrayController::setHint(const QString& hint) {
    TrayIcon1->setHint(hint);
}

bool TrayController::showNotice(const QString& text) {
    return TrayIcon1->showMessage(tr("Twinfold!"), text, QSystemTrayIcon::Warning);
}

void TrayController::restoreWindow() {
    TrayIcon1->restoreApplication();
}

void TrayController::remove() {
    clearTraySubmenus();
    TrayIcon1->setVisible(false);
}
