#pragma once

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;

// What the parts of the main window share about its modal state: how many
// nested event loops they have open (dialogs, questions, the wait for a
// plan) and how far the program is in closing. Closing waits until no loop
// is left, since the handler that opened one still needs the model; once
// closing has begun, no dialog opens and no run starts.
class ModalLoops {
    Q_DECLARE_TR_FUNCTIONS(ModalLoops)
public:
    // `owner` is the parent of the questions; it must outlive this.
    explicit ModalLoops(QWidget* owner) : m_owner(owner) {}
    ModalLoops(const ModalLoops&) = delete;
    ModalLoops& operator=(const ModalLoops&) = delete;

    // Counts one nested loop for as long as it lives.
    class Scope {
    public:
        explicit Scope(int& depth) : m_depth(depth) { ++m_depth; }
        ~Scope() { --m_depth; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        int& m_depth;
    };
    [[nodiscard]] Scope enter() { return Scope(m_depth); }

    // A loop is open, or the question whether to close.
    bool anyOpen() const { return m_depth > 0 || m_closeQuery; }

    // Runs a dialog modally; refused (rejected) once closing has begun.
    int exec(QDialog& dialog);
    // A message box through the dialog service, counted as a loop.
    QMessageBox::StandardButton message(
        QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // A question with Yes and No, captioned "Confirm"; true for Yes.
    bool askConfirm(const QString& text,
                    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // A notice with OK, captioned "Info".
    void showInfo(const QString& text);

    // Cancels the open dialogs, questions and menus; true while a loop (or
    // the question whether to close) is still open.
    bool closeOpenDialogs();

    // Closing without questions: the session or the process is ending.
    bool unattended() const { return m_unattended; }
    void setUnattended() { m_unattended = true; }
    // Quit was chosen from the tray while a dialog was open.
    bool quitting() const { return m_quitting; }
    void setQuitting() { m_quitting = true; }
    // The window is asking whether it may close.
    bool inCloseQuery() const { return m_closeQuery; }
    void setInCloseQuery(bool asking) { m_closeQuery = asking; }
    // The window has closed and saved.
    bool shutDown() const { return m_shutDown; }
    void setShutDown() { m_shutDown = true; }

private:
    QWidget* m_owner;
    int m_depth = 0;
    bool m_unattended = false;
    bool m_quitting = false;
    bool m_closeQuery = false;
    bool m_shutDown = false;
};
