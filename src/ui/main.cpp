#include <QCoreApplication>
#include <QIcon>
#include <QLocale>
#include <QSessionManager>
#include <cstdio>
#include <cstring>
#include <exception>

#include "config/XMLConfig.h"
#include "engine/AppLog.h"
#include "ui/InstanceChannel.h"
#include "ui/SingleInstance.h"
#include "ui/TApplication.h"
#include "ui/TerminationSignals.h"
#include "ui/TfrmMain.h"
#include "widgets/Translations.h"

namespace {

// --help and --version print and end the program before it opens a window
// or takes the lock; -1 when neither was asked for.
int answerInformationOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: twinfold [OPTION]\n"
                "Keeps folders in step and makes backup copies of files, by hand or on a\n"
                "schedule. One copy runs per configuration; starting it again shows the\n"
                "window of the copy already running.\n\n"
                "  -h, --help     show this help and exit\n"
                "  -v, --version  show the version and exit\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("twinfold %s\n", TWINFOLD_VERSION);
            return 0;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = answerInformationOptions(argc, argv); status >= 0) {
        return status;
    }

    // Only one copy runs per configuration; a second start asks the first to
    // show its window and ends.
    const std::string configFolder = XMLConfig::configFolder();
    const QString channelName = InstanceChannel::serverName(configFolder);
    SingleInstance instance;
    const std::string lockPath = SingleInstance::lockPath(configFolder);
    switch (instance.acquire(lockPath)) {
        case SingleInstance::Result::AlreadyRunning: {
            const QCoreApplication messenger(argc, argv);
            if (!InstanceChannel::askToShow(channelName)) {
                std::fprintf(stderr, "twinfold: already running, but it did not answer\n");
            }
            return 0;
        }
        case SingleInstance::Result::Unavailable:
            std::fprintf(stderr, "twinfold: cannot lock %s; not checking for another copy\n",
                         lockPath.c_str());
            break;
        case SingleInstance::Result::Acquired:
            break;
    }

    TApplication app(argc, argv);
    // The user's languages; without a catalogue for them the windows stay
    // in English.
    translations::install(QLocale::system());
    TApplication::setApplicationName(QStringLiteral("twinfold"));
    TApplication::setDesktopFileName(QStringLiteral("twinfold"));
    TApplication::setWindowIcon(QIcon(QStringLiteral(":/twinfold/twinfold.png")));
    // The window hides to the tray icon; the program ends when the main
    // window closes, not when the last visible window goes.
    TApplication::setQuitOnLastWindowClosed(false);

    AppLog::setLoadFailureNotifier(&TfrmMain::showLogLoadFailure);

    TfrmMain window;
    InstanceChannel channel;
    QObject::connect(&channel, &InstanceChannel::showRequested, &window,
                     &TfrmMain::mnuTrayShowClick);
    if (!channel.listen(channelName)) {
        std::fprintf(stderr, "twinfold: cannot listen on %s; a second start cannot show this one\n",
                     channelName.toLocal8Bit().constData());
    }
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
