#include "ui/dialogs/DialogSupport.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include "config/XMLConfig.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/FileSystem.h"
#include "platform/InstallLayout.h"
#include "platform/Path.h"
#include "widgets/DialogService.h"

namespace dialogs {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toModel(const QString& text) {
    return text.toStdString();
}

std::string toModelKeeping(const QString& text, const std::string& original) {
    return text == toQString(original) ? original : toModel(text);
}

QByteArray toBytes(std::string_view text) {
    return {text.data(), static_cast<qsizetype>(text.size())};
}

std::string fromBytes(const QByteArray& bytes) {
    return bytes.toStdString();
}

QString trimBlanks(const QString& text) {
    const auto blank = [](QChar c) { return c.unicode() <= 0x20 || c.isSpace(); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text.at(begin))) {
        ++begin;
    }
    while (end > begin && blank(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

void makeSummaryField(QLineEdit* field) {
    field->setReadOnly(true);
    field->setFrame(false);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
}

QPoint placeAtMouse(QPoint mouse, QSize size, const QRect& screen) {
    return {std::max(screen.left(), mouse.x() - size.width()),
            std::max(screen.top(), mouse.y() - size.height())};
}

void placeWindowAtMouse(QWidget* window) {
    const QPoint mouse = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(mouse);
    if (screen == nullptr) {
        screen = window->screen();
    }
    const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 0, 0);
    window->move(placeAtMouse(mouse, window->frameGeometry().size(), area));
}

PickerButtons layOutPicker(QDialog* dialog, const QString& prompt, QListWidget* list,
                           int visibleRows) {
    auto* label = new QLabel(prompt, dialog);
    const QFontMetrics metrics(dialog->font());
    list->setMinimumSize(metrics.averageCharWidth() * 36, metrics.lineSpacing() * visibleRows);
    PickerButtons buttons{
        new QPushButton(QCoreApplication::translate("dialogs", "&OK"), dialog),
        new QPushButton(QCoreApplication::translate("dialogs", "&Cancel"), dialog)};
    buttons.ok->setObjectName(QStringLiteral("btnOK"));
    buttons.ok->setDefault(true);
    buttons.cancel->setObjectName(QStringLiteral("btnCancel"));

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(buttons.ok);
    row->addWidget(buttons.cancel);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return buttons;
}

QString checkedRowsText(const QListWidget* list) {
    QString text;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* row = list->item(i);
        if (row->checkState() == Qt::Checked) {
            text += row->text() + QLatin1Char(';');
        }
    }
    return text;
}

QString findDataFile(const QString& name) {
    const std::string path =
        platform::locateShippedFile(platform::Shipped::Data, QFile::encodeName(name).toStdString());
    const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(path)));
    return !path.empty() && file.isFile() ? file.absoluteFilePath() : QString();
}

QString pairProblemText(TaskFolder::PairProblem problem) {
    using P = TaskFolder::PairProblem;
    switch (problem) {
        case P::None:
            break;
        case P::Empty:
            return QCoreApplication::translate("dialogs",
                                               "Please choose both folders of the pair.");
        case P::Same:
            return QCoreApplication::translate(
                "dialogs", "The mirror folder is the main folder itself. Please choose another.");
        case P::MirrorInsideMain:
            return QCoreApplication::translate(
                "dialogs",
                "The mirror folder is inside the main folder: a run would copy the main folder "
                "into itself. Please choose a mirror folder outside it.");
        case P::MirrorAboveMain:
            return QCoreApplication::translate(
                "dialogs",
                "The main folder is inside the mirror folder: deleting what exists only in the "
                "mirror would delete the main folder. Please choose another mirror folder.");
    }
    return {};
}

bool confirmTaskThatCannotRun(QWidget* parent, const std::vector<std::string>& mainFolders) {
    QString text;
    if (mainFolders.empty()) {
        text = QCoreApplication::translate(
            "dialogs", "This task has no folder pair, so it cannot run yet.\nSave it anyway?");
    } else {
        for (const std::string& main : mainFolders) {
            if (!platform::folderExists(main)) {
                text = QCoreApplication::translate("dialogs",
                                                   "The main folder \"%1\" does not exist, so "
                                                   "the task cannot run until it does.\nSave it "
                                                   "anyway?")
                           .arg(QFile::decodeName(QByteArray::fromStdString(main)));
                break;
            }
        }
    }
    if (text.isEmpty()) {
        return true;
    }
    return DialogService::instance().message(
               parent, QMessageBox::Question, QCoreApplication::translate("dialogs", "Confirm"),
               text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

QString userTimeFormat() {
    // The long format has the seconds; its time zone means nothing for a
    // time of every day.
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

namespace {

std::string proposedLogFolderBytes() {
    return XMLConfig::stateFolder() + "logs" + platform::kSeparator;
}

}  // namespace

QString proposedLogFolder() {
    return QFile::decodeName(QByteArray::fromStdString(proposedLogFolderBytes()));
}

QString proposedLogFile(const QString& name, const TaskManager* tasks, const Task* self) {
    // One file in the folder, whatever the name holds.
    std::string base = toModel(trimBlanks(name));
    std::replace(base.begin(), base.end(), platform::kSeparator, '_');
    if (base.empty() || base == "." || base == "..") {
        base = "task";
    }
    const std::string folder = proposedLogFolderBytes();
    const auto taken = [tasks, self](const std::string& path) {
        if (tasks == nullptr) {
            return false;
        }
        const auto& list = tasks->taskList();
        return std::any_of(list.begin(), list.end(), [&](const auto& task) {
            return task.get() != self && task->logFile == path;
        });
    };
    std::string path = folder + base + ".log";
    for (int number = 2; taken(path); ++number) {
        path = folder + base + " (" + std::to_string(number) + ").log";
    }
    return QFile::decodeName(QByteArray::fromStdString(path));
}

bool makeProposedLogFolder(const std::string& logFile) {
    const std::string folder = proposedLogFolderBytes();
    if (!logFile.starts_with(folder) ||
        logFile.find(platform::kSeparator, folder.size()) != std::string::npos) {
        return true;
    }
    return platform::makeFolders(folder).ok();
}

}  // namespace dialogs
