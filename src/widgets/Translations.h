#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// The catalogues that translate the windows. The program's own are
// "twinfold_<language>.qm" in a "translations" folder, beside the program or
// in the installation's data folder (see platform/InstallLayout.h); Qt's own
// ("qtbase_<language>.qm", for its standard buttons and dialogs) come from
// Qt's translations folder. A language without a catalogue keeps the source
// texts, which are English. Texts that are stored or logged never go through
// a catalogue.
namespace translations {

// The folders searched for the program's catalogues, in order.
QStringList programFolders();

// Installs into the application Qt's catalogue and the program's for the
// first of the locale's interface languages that has one. Returns the
// program catalogue's file; empty when none matched.
QString install(const QLocale& locale);

// Installs the program's catalogue for the locale from the first of
// `folders` that holds one; returns its file, empty when none does.
QString installProgramCatalogue(const QLocale& locale, const QStringList& folders);

// Installs one catalogue file (the pseudo-translation of the window tests
// and screenshots); false when it cannot be read.
bool installFile(const QString& file);

}  // namespace translations
