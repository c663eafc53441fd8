#pragma once

#include "print_layout.h"

#include <QString>
#include <QStringList>

namespace tb {

// The way from page items to paper: the printers of the system, the current printer of the
// run, and the painting of a document into a PDF file or as a job of the print system.
class Printing {
  public:
    // The entry of the printer list that writes the printout into a PDF file.
    static QString pdfEntry() { return QStringLiteral("PDF-Datei"); }
    // The installed printers in the system's order, then the PDF entry.
    static QStringList printers();
    // The printer every printout of the run uses: at first the system's default (the PDF
    // entry where there is none); the printer choice changes it for the rest of the run.
    static QString& currentPrinter();

    // Paints the document as one print job. For the PDF entry, pdfFile names the file: it is
    // written beside it and put in its place only when whole. For a printer, the print system
    // is asked whether the queue takes jobs and whether it created this one. False with what
    // went wrong, in German, when the printout did not get there whole.
    static bool print(const PrintDocument& doc, const QString& printer, const QString& pdfFile,
                      const QString& jobName, QString* error);
};

} // namespace tb
