#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tb {

inline QString manualFileName() {
    return QStringLiteral("Tillbook_Anleitung.pdf");
}

// Where the manual may be: beside the program (a build), or in the program's data folder of
// an installation (<prefix>/share/tillbook); never in the current folder.
QStringList manualCandidates(const QString& programFolder);
// The first candidate that exists; empty when it is nowhere.
QString findManual(const QString& programFolder);

// Opens a document with the desktop's program for its type (xdg-open). `failed` runs, later
// from the event loop, when there is no xdg-open or it ends with an error (no program for PDF
// files, an unreadable file). The opener's own output is dropped; a viewer it started stays
// open when Tillbook ends.
void openOnDesktop(const QString& path, std::function<void()> failed);

// The messages of "Anleitung".
QString manualMissingMessage(const QString& programFolder);
QString manualNotOpenedMessage(const QString& path);

} // namespace tb
