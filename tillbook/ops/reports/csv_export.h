#pragma once

#include "data_view.h"
#include "dialogs.h"
#include "listings.h"

namespace tb {

// The export of the listed lines as a semicolon-separated file in Windows-1252 with CR LF:
// the heading, then per line date, receipt number, text, remark, the two tax amounts, receipt,
// payment (as stored) and the running balance. A field holding ";", a double quote, CR or LF
// is quoted (inner quotes doubled), so a spreadsheet gets every field back in its column; a
// text field a spreadsheet would take for a formula gets an apostrophe in front.
class CsvExport {
  public:
    // "Kassenbuch vom <day>", "Kassenbuch <start> bis <end>" or "Kassenbuch <text>", by what
    // the grid lists; the export adds ".csv", the PDF printout ".pdf".
    static QString baseName(const ListingState& s);
    static QString fileName(const ListingState& s) { return baseName(s) + QStringLiteral(".csv"); }
    // A text as part of a file name: characters no file name may hold (on any disk the file
    // may go to) become "_", blanks and dots at the ends go.
    static QString fileNamePart(const QString& text);

    static QString quoted(const QString& field);
    // A text field that begins like a formula (=, +, -, @) arrives in a spreadsheet as text.
    static QString asText(const QString& field);
    static QString contentText(const DataView& rows, const QString& rate1, const QString& rate2,
                               Money carriedIn);
    static QByteArray content(const DataView& rows, const QString& rate1, const QString& rate2,
                              Money carriedIn);

    enum class Outcome { Saved, Cancelled, Failed };
    // Writes the working file into workFolder (whole or not at all), asks where the copy goes
    // (the data folder and the file name proposed) and copies it there; a failure gets the
    // message with the cause and leaves nothing under the chosen name. Characters the code
    // page cannot hold are named once afterwards.
    static Outcome run(const DataView& rows, const ListingState& s, const QString& rate1,
                       const QString& rate2, const QString& dataPath, const QString& workFolder,
                       Dialogs& dialogs);
    // The same for any text under the file name proposed.
    static Outcome save(const QString& text, const QString& name, const QString& dataPath,
                        const QString& workFolder, Dialogs& dialogs);
};

} // namespace tb
