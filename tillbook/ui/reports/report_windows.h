#pragma once

#include "clock.h"
#include "database.h"
#include "dialogs.h"
#include "document_printer.h"

#include <QDate>

class QWidget;

namespace tb {

// The windows over what the data file keeps that the "Datei" menu opens: the change log, the
// kept counts of the till and the self-check of the book. Each is modal over `parent`, prints
// through the printer given and writes its exports' working files into the cache folder.
struct ReportWindows {
    Database& db;
    Dialogs& dialogs;
    Clock& clock;
    DocumentPrinter& printer;
    QString dataPath;

    void changeLog(QWidget* parent) const;
    void counts(QWidget* parent, const QString& currency) const;
    // Checks the period at once, then shows the report.
    void selfCheck(QWidget* parent, const QDate& from, const QDate& to) const;
};

} // namespace tb
