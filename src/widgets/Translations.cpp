#include "widgets/Translations.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

#include "platform/InstallLayout.h"
#include "platform/ProgramFolder.h"

namespace translations {

namespace {

// Loads with `load` into a translator owned by the application and installs
// it; later installs are searched first.
template <class Load>
QString installWith(const Load& load) {
    auto* app = QCoreApplication::instance();
    if (app == nullptr) {
        return {};
    }
    auto translator = std::make_unique<QTranslator>(app);
    if (!load(*translator)) {
        return {};
    }
    QCoreApplication::installTranslator(translator.get());
    return translator.release()->filePath();
}

}  // namespace

QStringList programFolders() {
    QStringList folders;
    for (const std::string& folder : platform::shippedFileCandidates(
             platform::programFolder(), platform::Shipped::Data, "translations")) {
        folders << QFile::decodeName(QByteArray::fromStdString(folder));
    }
    return folders;
}

QString installProgramCatalogue(const QLocale& locale, const QStringList& folders) {
    for (const QString& folder : folders) {
        const QString file = installWith([&](QTranslator& translator) {
            return translator.load(locale, QStringLiteral("twinfold"), QStringLiteral("_"), folder);
        });
        if (!file.isEmpty()) {
            return file;
        }
    }
    return {};
}

QString install(const QLocale& locale) {
    installWith([&](QTranslator& translator) {
        return translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    });
    return installProgramCatalogue(locale, programFolders());
}

bool installFile(const QString& file) {
    return !installWith([&](QTranslator& translator) { return translator.load(file); }).isEmpty();
}

}  // namespace translations
