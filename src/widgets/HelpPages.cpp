#include "widgets/HelpPages.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "platform/InstallLayout.h"
#include "widgets/DialogService.h"
#include "widgets/HelpWindow.h"

namespace {

QString pageName(HelpTopic topic) {
    switch (topic) {
        case HelpTopic::Overview:
            return QStringLiteral("index.html");
        case HelpTopic::CopyPolicies:
            return QStringLiteral("copy-policies.html");
        case HelpTopic::Exclusions:
            return QStringLiteral("exclusions.html");
        case HelpTopic::Schedules:
            return QStringLiteral("schedules.html");
        case HelpTopic::TaskLog:
            return QStringLiteral("task-log.html");
    }
    return QStringLiteral("index.html");
}

}  // namespace

QString helpPagePath(HelpTopic topic) {
    const std::string path = platform::locateShippedFile(
        platform::Shipped::Data, "help/" + QFile::encodeName(pageName(topic)).toStdString());
    const QFileInfo page(QFile::decodeName(QByteArray::fromStdString(path)));
    return !path.empty() && page.isFile() ? page.absoluteFilePath() : QString();
}

bool showHelp(QWidget* parent, HelpTopic topic) {
    return showHelpFile(parent, helpPagePath(topic));
}

bool showHelpFile(QWidget* parent, const QString& page) {
    if (!page.isEmpty() && QFileInfo(page).isFile()) {
        HelpWindow::open(parent, page);
        return true;
    }
    DialogService::instance().message(
        parent, QMessageBox::Information, QCoreApplication::translate("HelpPages", "Info"),
        QCoreApplication::translate("HelpPages", kHelpFailureMessage));
    return false;
}
