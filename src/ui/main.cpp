#include <QIcon>
#include <QSessionManager>
#include <cstdio>
#include <exception>

#include "config/XMLConfig.h"
#include "engine/AppLog.h"
#include "ui/SingleInstance.h"
#include "ui/TApplication.h"
#include "ui/TerminationSignals.h"
#include "ui/TfrmMain.h"

int main(int argc, char** argv) {
    // Only one copy runs; a second start ends at once, quietly.
    SingleInstance instance;
    const std::string lockPath = SingleInstance::lockPath(XMLConfig::configFolder());
    switch (instance.acquire(lockPath)) {
        case SingleInstance::Result::AlreadyRunning:
            return 0;
        case SingleInstance::Result::Unavailable:
            std::fprintf(stderr, "twinfold: cannot lock %s; not checking for another copy\n",
                         lockPath.c_str());
            break;
        case SingleInstance::Result::Acquired:
            break;
    }

    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("twinfold"));
    TApplication::setApplicationDisplayName(QStringLiteral("Twinfold !"));
    TApplication::setDesktopFileName(QStringLiteral("twinfold"));
    TApplication::setWindowIcon(QIcon(QStringLiteral(":/twinfold/twinfold.png")));
    // The window hides to the tray icon; the program ends when the main
    // window closes, not when the last visible window goes.
    TApplication::setQuitOnLastWindowClosed(false);

    AppLog::setLoadFailureNotifier(&TfrmMain::showLogLoadFailure);

    TfrmMain window;
    QObject::connect(&window, &TfrmMain::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &window,
                     [&window](int) { window.requestUnattendedClose(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& manager) {
                         manager.setRestartHint(QSessionManager::RestartNever);
                         window.requestUnattendedClose();
                     });

    try {
        window.FormCreate();
    } catch (const std::exception& error) {
        // Not a configuration failure (those are told and handled by the
        // window): shown, and the program ends with a failure status.
        TApplication::showException(QString::fromLocal8Bit(error.what()));
        return 1;
    }
    if (!window.loadFailed() && !window.isShutDown()) {
        window.show();
    }
    return TApplication::exec();
}
