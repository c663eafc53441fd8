#pragma once

#include "data_view.h"
#include "dialogs.h"
#include "listings.h"

namespace tb {

// The export of the listed lines as a semicolon-separated file in Windows-1252 with CR LF:
// the heading, then per line date, receipt number, text, remark, the two tax amounts, receipt,
// payment (as stored) and the running balance. A field holding ";", a double quote, CR or LF
// is quoted (inner quotes doubled), so a spreadsheet gets every field back in its column.
class CsvExport {
  public:
    // "Kassenbuch vom <day>", "Kassenbuch <start> bis <end>", or nothing, by listing kind;
    // the export adds ".csv", the PDF printout ".pdf".
    static QString baseName(const ListingState& s);
    static QString fileName(const ListingState& s) { return baseName(s) + QStringLiteral(".csv"); }

    static QString quoted(const QString& field);
    static QByteArray content(const DataView& rows, const QString& rate1, const QString& rate2,
                              Money carriedIn);

    enum class Outcome { Saved, Cancelled, Failed };
    // Writes the working file into workFolder, asks where the copy goes (the data folder and
    // the file name proposed) and copies it there; a failure gets the message with the cause.
    static Outcome run(const DataView& rows, const ListingState& s, const QString& rate1,
                       const QString& rate2, const QString& dataPath, const QString& workFolder,
                       Dialogs& dialogs);
    // The same for any content under the file name proposed.
    static Outcome save(const QByteArray& content, const QString& name, const QString& dataPath,
                        const QString& workFolder, Dialogs& dialogs);
};

} // namespace tb
