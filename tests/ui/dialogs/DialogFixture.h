#pragma once

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "model/PolicyManager.h"
#include "model/TaskManager.h"
#include "widgets/DialogService.h"

// The two managers of the program, linked to each other, holding the default
// policy first.
struct Model {
    PolicyManager policies;
    TaskManager tasks;

    explicit Model(const platform::Clock& clock = platform::Clock::system()) : tasks(clock) {
        policies.setTaskManager(&tasks);
        tasks.setPolicys(&policies);
        addPolicy(std::string(DefaultPolicyName), DefaultPolicyFlags);
    }

    CopyPolicy& addPolicy(const std::string& name, std::uint32_t flags) {
        CopyPolicy& policy = policies.addPolicy();
        policy.name = name;
        policy.setFlags(flags);
        return policy;
    }
};

// Points $XDG_STATE_HOME at a folder for as long as it lives.
class StateHome {
public:
    explicit StateHome(const std::string& folder) : m_old(qgetenv("XDG_STATE_HOME")) {
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(folder));
    }
    ~StateHome() {
        if (m_old.isEmpty()) {
            qunsetenv("XDG_STATE_HOME");
        } else {
            qputenv("XDG_STATE_HOME", m_old);
        }
    }
    StateHome(const StateHome&) = delete;
    StateHome& operator=(const StateHome&) = delete;

private:
    QByteArray m_old;
};

// Finds a child widget by its object name; nullptr when there is none.
template <class T>
T* child(const QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

// Calls `action` with the dialog of type T once a handler runs it modally;
// the action is to end the dialog, which is rejected when it did not. Gives
// up after five seconds and closes whatever modal window is open then, so
// that a test never hangs on a dialog. The flag tells whether `action` ran.
template <class T>
std::shared_ptr<bool> whenModal(std::function<void(T&)> action) {
    auto ran = std::make_shared<bool>(false);
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, ran, action] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            *ran = true;
            action(*dialog);
            // An action that left the dialog open must not leave it blocking.
            if (dialog->isVisible()) {
                dialog->reject();
            }
        } else if (clock->hasExpired(5000)) {
            timer->stop();
            timer->deleteLater();
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        }
    });
    timer->start(5);
    return ran;
}

// Closes any message box or file dialog that opens for real (one the test did
// not answer through the dialog service) and counts it, so that a forgotten
// answer fails the test instead of blocking it.
class UnansweredGuard {
public:
    UnansweredGuard() {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr &&
                (modal->inherits("QMessageBox") || modal->inherits("QFileDialog"))) {
                ++m_closed;
                modal->close();
            }
        });
        m_timer.start(20);
    }
    int closed() const { return m_closed; }

private:
    QTimer m_timer;
    int m_closed = 0;
};
