#include "ui/ModalLoops.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

#include "widgets/DialogService.h"

int ModalLoops::exec(QDialog& dialog) {
    if (m_unattended || m_quitting) {
        return QDialog::Rejected;
    }
    const Scope scope = enter();
    return dialog.exec();
}

QMessageBox::StandardButton ModalLoops::message(QMessageBox::Icon icon, const QString& caption,
                                                const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) {
    const Scope scope = enter();
    return DialogService::instance().message(m_owner, icon, caption, text, buttons, defaultButton);
}

bool ModalLoops::askConfirm(const QString& text, QMessageBox::StandardButton defaultButton) {
    return message(QMessageBox::Question, tr("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                   defaultButton) == QMessageBox::Yes;
}

void ModalLoops::showInfo(const QString& text) {
    message(QMessageBox::Information, tr("Info"), text);
}

bool ModalLoops::closeOpenDialogs() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    DialogService::instance().closeOpenDialogs();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog != nullptr && dialog->isVisible() && dialog->isModal()) {
            dialog->reject();
        }
    }
    return anyOpen();
}
