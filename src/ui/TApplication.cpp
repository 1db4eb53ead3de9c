#include "ui/TApplication.h"

#include <exception>

#include "widgets/DialogService.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        // Of an unknown kind: shown as an exception without a message.
        showException(QString());
    }
    return false;
}

void TApplication::showException(const QString& text) {
    DialogService::instance().message(activeWindow(), QMessageBox::Critical, tr("Twinfold"), text);
}
