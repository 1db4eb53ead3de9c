#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <optional>
#include <vector>

class QDialog;
class QWidget;

// Every message box, file dialog and desktop hand-off of the windows goes
// through here, so that tests can answer them instead of a person: a test
// queues the answers it wants, and each call takes the next one instead of
// opening a modal window. Without queued answers the real dialogs open.
class DialogService {
public:
    static DialogService& instance();

    // A message box with the given icon, caption, text and buttons; returns
    // the button pressed. `defaultButton` is the one Enter presses.
    QMessageBox::StandardButton message(
        QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // An "about" box: the application's icon, a caption and a text, with OK.
    void about(QWidget* parent, const QString& caption, const QString& text);

    // A folder browser; returns the chosen folder (no trailing separator
    // except for the root "/") or an empty text when cancelled.
    QString existingDirectory(QWidget* parent, const QString& title, const QString& start = {});
    // A file-open dialog; empty when cancelled.
    QString openFileName(QWidget* parent, const QString& title, const QString& start = {},
                         const QString& filter = {});
    // A file-save dialog; empty when cancelled.
    QString saveFileName(QWidget* parent, const QString& title, const QString& start = {},
                         const QString& filter = {});
    // Hands a link (a help page, a mailto: address) to the desktop; false
    // when it could not be opened.
    bool openUrl(const QUrl& url);

    // Nobody is there to answer (the session or the process is ending):
    // while set, a message box is not shown and answers as if cancelled (No,
    // else Cancel, else OK; its text goes to standard error), file dialogs
    // answer empty, and links are not opened.
    void setUnattended(bool unattended) { m_unattended = unattended; }
    bool unattended() const { return m_unattended; }
    // Closes the boxes and file dialogs this service has open, as if the
    // user had cancelled them; their callers see the cancel answer.
    void closeOpenDialogs();
    // The answer a box with these buttons gives when it is cancelled.
    static QMessageBox::StandardButton cancelAnswer(QMessageBox::StandardButtons buttons);

    // Test seam. Each queued answer is used once, in order.
    void setNextAnswer(QMessageBox::StandardButton answer) { m_answers.push_back(answer); }
    void setNextFileName(const QString& name) { m_fileNames.push_back(QStringList{name}); }
    // Every later openUrl() reports this instead of asking the desktop.
    void setOpenUrlResult(bool opened) { m_urlResult = opened; }
    // What was shown, for tests to check: the last message's caption and
    // text, and the last link handed to the desktop.
    QString lastCaption() const { return m_lastCaption; }
    QString lastText() const { return m_lastText; }
    QUrl lastUrl() const { return m_lastUrl; }
    QMessageBox::StandardButton lastDefaultButton() const { return m_lastDefault; }
    int messageCount() const { return m_messageCount; }
    // Forgets queued answers and what was shown, and clears unattended.
    void reset();

private:
    // Runs a dialog modally while it can be closed by closeOpenDialogs().
    int execTracked(QDialog& dialog);
    std::optional<QStringList> takeFileNames();

    std::deque<QMessageBox::StandardButton> m_answers;
    QMessageBox::StandardButton m_lastDefault = QMessageBox::NoButton;
    std::deque<QStringList> m_fileNames;
    std::optional<bool> m_urlResult;
    QString m_lastCaption;
    QString m_lastText;
    QUrl m_lastUrl;
    int m_messageCount = 0;
    bool m_unattended = false;
    std::vector<QPointer<QDialog>> m_open;
};
