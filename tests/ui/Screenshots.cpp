// Renders each window of the desktop program to a PNG file, for review:
//   twinfold_screenshots OUTPUT_FOLDER
// Uses a sample configuration in a temporary folder; changes nothing else.
// With TWINFOLD_TRANSLATION naming a catalogue (.qm), the windows show its
// texts.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "UiFixture.h"
#include "engine/TaskRun.h"
#include "platform/ProgramFolder.h"
#include "support/TempTree.h"
#include "ui/TfrmGatherInfo.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmProgress.h"
#include "ui/dialogs/TfrmSettings.h"
#include "widgets/HelpWindow.h"
#include "widgets/Translations.h"

namespace {

bool save(QWidget& widget, const QDir& folder, const char* name) {
    const QString file = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    const bool ok = widget.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
    return ok;
}

// Processes events until `done` holds or `limitMs` pass.
bool waitFor(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && !clock.hasExpired(limitMs)) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (const QString catalogue = qEnvironmentVariable("TWINFOLD_TRANSLATION");
        !catalogue.isEmpty() && !translations::installFile(catalogue)) {
        std::fprintf(stderr, "cannot read the catalogue %s\n", qPrintable(catalogue));
        return 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: twinfold_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    QDir output(QString::fromLocal8Bit(argv[1]));
    if (!output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }

    testsupport::TempDir dir;
    std::vector<TaskSpec> tasks;
    for (const char* name : {"Documents", "Photos 2024", "Music library"}) {
        TaskSpec spec;
        spec.name = name;
        spec.id = std::string("sample-") + name;
        spec.main = dir / (std::string(name) + "/main");
        spec.mirror = dir / (std::string(name) + "/mirror");
        testsupport::makeDirs(spec.main + "/a rather long folder name/and another one inside it");
        testsupport::makeDirs(spec.mirror);
        for (int i = 0; i < 40; ++i) {
            testsupport::writeFile(spec.main +
                                       "/a rather long folder name/and another one inside it/"
                                       "holiday picture " +
                                       std::to_string(i) + ".jpg",
                                   "x");
        }
        tasks.push_back(spec);
    }
    writeConfig(dir.path(), tasks, false, true);

    TfrmMainOptions options;
    options.configFolder = dir.path();
    options.defaultFile = platform::programFolder() + "default.xml";
    options.simulationDelay = std::chrono::milliseconds(100);
    options.historyFile = dir / "history.db";
    TfrmMain window(options);
    window.FormCreate();
    window.show();
    bool ok = true;
    ok &= save(window, output, "main-window");

    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstTasks"));
    list->item(1)->setSelected(true);
    window.lstTasksClick();
    ok &= save(window, output, "main-window-selected");

    TfrmGatherInfo gather(&window);
    gather.setText(
        QCoreApplication::translate("RunController", "Gather file information,please wait..."));
    gather.show();
    ok &= save(gather, output, "gather-info");
    gather.hide();

    window.lblURLClick();
    if (auto* help = window.findChild<HelpWindow*>()) {
        ok &= save(*help, output, "help-window");
        help->close();
    } else {
        std::fprintf(stderr, "the help window did not open\n");
        ok = false;
    }

    TfrmSettings settings(platform::programFolder() + "twinfold", (dir / "autostart") + "/",
                          &window);
    settings.SetSetting(window.normalSetting());
    settings.show();
    ok &= save(settings, output, "settings");
    settings.hide();

    window.popMenuTrayPopup();
    window.trayMenu()->adjustSize();
    ok &= save(*window.trayMenu(), output, "tray-menu");

    window.btnSimulateRunClick();
    TfrmProgress* progress = window.progressWindow();
    ok &= progress != nullptr;
    if (progress != nullptr &&
        waitFor([&window] { return window.taskRun()->isRunning() && window.isRunActive(); }) &&
        waitFor([progress] {
            return progress->findChild<QWidget*>(QStringLiteral("prgTaskRun"))->isVisible();
        })) {
        waitFor([] { return false; }, 700);  // let a few items pass
        ok &= save(window, output, "main-window-running");
        ok &= save(*progress, output, "progress-window");
    } else {
        std::fprintf(stderr, "the sample run did not start\n");
        ok = false;
    }
    window.taskRun()->abort();
    return ok ? 0 : 1;
}
