#pragma once

#include <QString>

// The program's version, "major.minor", as the build recorded it.
inline QString versionText() {
    return QStringLiteral(TWINFOLD_VERSION);
}
