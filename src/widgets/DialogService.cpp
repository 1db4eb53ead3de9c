#include "widgets/DialogService.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <algorithm>
#include <cstdio>

DialogService& DialogService::instance() {
    static DialogService service;
    return service;
}

QMessageBox::StandardButton DialogService::cancelAnswer(QMessageBox::StandardButtons buttons) {
    for (const QMessageBox::StandardButton candidate :
         {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Abort, QMessageBox::Close,
          QMessageBox::Ok}) {
        if (buttons.testFlag(candidate)) {
            return candidate;
        }
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButton DialogService::message(QWidget* parent, QMessageBox::Icon icon,
                                                   const QString& caption, const QString& text,
                                                   QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton) {
    if (m_unattended) {
        const QByteArray line = (caption + QStringLiteral(": ") + text).toLocal8Bit();
        std::fprintf(stderr, "twinfold: %s\n", line.constData());
        return cancelAnswer(buttons);
    }
    m_lastCaption = caption;
    m_lastText = text;
    m_lastDefault = defaultButton;
    ++m_messageCount;
    if (!m_answers.empty()) {
        const QMessageBox::StandardButton answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    execTracked(box);
    // A box closed without a button press (by closeOpenDialogs(), or by the
    // window manager) answers as if cancelled.
    QAbstractButton* clicked = box.clickedButton();
    const QMessageBox::StandardButton answer =
        clicked != nullptr ? box.standardButton(clicked) : QMessageBox::NoButton;
    return answer != QMessageBox::NoButton ? answer : cancelAnswer(buttons);
}

void DialogService::about(QWidget* parent, const QString& caption, const QString& text) {
    if (m_unattended) {
        return;
    }
    m_lastCaption = caption;
    m_lastText = text;
    ++m_messageCount;
    if (!m_answers.empty()) {
        m_answers.pop_front();
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        box.setIconPixmap(icon.pixmap(48, 48));
    }
    execTracked(box);
}

std::optional<QStringList> DialogService::takeFileNames() {
    if (m_unattended) {
        return QStringList{};
    }
    if (m_fileNames.empty()) {
        return std::nullopt;
    }
    QStringList names = m_fileNames.front();
    m_fileNames.pop_front();
    return names;
}

QString DialogService::existingDirectory(QWidget* parent, const QString& title,
                                         const QString& start) {
    QString folder;
    if (auto queued = takeFileNames()) {
        folder = queued->value(0);
    } else {
        QFileDialog dialog(parent, title, start);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        if (execTracked(dialog) == QDialog::Accepted) {
            folder = dialog.selectedFiles().value(0);
        }
    }
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    return folder;
}

QString DialogService::openFileName(QWidget* parent, const QString& title, const QString& start,
                                    const QString& filter) {
    if (auto queued = takeFileNames()) {
        return queued->value(0);
    }
    QFileDialog dialog(parent, title, start, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return execTracked(dialog) == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString DialogService::saveFileName(QWidget* parent, const QString& title, const QString& start,
                                    const QString& filter) {
    if (auto queued = takeFileNames()) {
        return queued->value(0);
    }
    QFileDialog dialog(parent, title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return execTracked(dialog) == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

bool DialogService::openUrl(const QUrl& url) {
    m_lastUrl = url;
    if (m_unattended) {
        return false;
    }
    if (m_urlResult.has_value()) {
        return *m_urlResult;
    }
    return QDesktopServices::openUrl(url);
}

int DialogService::execTracked(QDialog& dialog) {
    m_open.emplace_back(&dialog);
    const int result = dialog.exec();
    std::erase_if(m_open, [&dialog](const QPointer<QDialog>& open) {
        return open.isNull() || open.data() == &dialog;
    });
    return result;
}

void DialogService::closeOpenDialogs() {
    // Innermost first; each reject() ends that dialog's exec() once control
    // returns to the event loop.
    const std::vector<QPointer<QDialog>> open = m_open;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (!it->isNull()) {
            (*it)->reject();
        }
    }
}

void DialogService::reset() {
    m_answers.clear();
    m_fileNames.clear();
    m_urlResult.reset();
    m_lastCaption.clear();
    m_lastText.clear();
    m_lastUrl = QUrl();
    m_lastDefault = QMessageBox::NoButton;
    m_messageCount = 0;
    m_unattended = false;
}
