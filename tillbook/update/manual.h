#pragma once

#include <QString>

namespace tb {

inline QString manualFileName() {
    return QStringLiteral("Tillbook_Anleitung.pdf");
}

// The manual beside the program (a build) or in the installed documentation folder
// (<prefix>/share/doc/tillbook); never in the current folder. Empty when it is nowhere.
QString findManual(const QString& programFolder);

} // namespace tb
