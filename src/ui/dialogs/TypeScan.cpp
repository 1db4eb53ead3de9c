#include "ui/dialogs/TypeScan.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Path.h"

namespace dialogs {

namespace {

std::function<void()>& startHook() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace

void setTypeScanStartHook(std::function<void()> hook) {
    startHook() = std::move(hook);
}

std::set<std::string> scanFileTypes(const std::vector<std::string>& roots,
                                    const std::atomic<bool>& cancelled) {
    namespace fs = std::filesystem;
    std::set<std::string> types;
    for (const std::string& root : roots) {
        // An empty main folder is no folder: scanning it would scan "/".
        if (root.empty()) {
            continue;
        }
        std::error_code error;
        fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied,
                                            error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (cancelled.load()) {
                return types;
            }
            std::error_code typeError;
            if (!it->is_regular_file(typeError)) {
                continue;
            }
            const std::string name = it->path().filename().native();
            const std::string_view extension = platform::extensionOf(name);
            if (extension.size() > 1) {
                types.emplace(extension.substr(1));
            }
        }
    }
    return types;
}

std::optional<std::set<std::string>> scanFileTypesWaiting(QWidget* parent,
                                                          const std::vector<std::string>& roots) {
    QProgressDialog wait(
        QCoreApplication::translate("TfrmTaskDefine", "Gathering the file types, please wait..."),
        QCoreApplication::translate("TfrmTaskDefine", "Cancel"), 0, 0, parent);
    wait.setObjectName(QStringLiteral("dlgTypeScan"));
    wait.setWindowTitle(QCoreApplication::translate("TfrmTaskDefine", "File types"));
    wait.setWindowModality(Qt::ApplicationModal);
    wait.setMinimumDuration(0);
    wait.setAutoClose(false);
    wait.setAutoReset(false);

    std::atomic<bool> cancelled{false};
    std::set<std::string> types;
    QEventLoop loop;
    QObject::connect(&wait, &QProgressDialog::canceled, &loop, [&cancelled, &loop] {
        cancelled = true;
        loop.quit();
    });
    const std::function<void()> hook = startHook();
    std::thread helper([&] {
        if (hook) {
            hook();
        }
        types = scanFileTypes(roots, cancelled);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    wait.show();
    loop.exec();
    // After a cancel the helper stops at its next entry.
    cancelled = true;
    helper.join();
    wait.hide();
    if (wait.wasCanceled()) {
        return std::nullopt;
    }
    return types;
}

}  // namespace dialogs
