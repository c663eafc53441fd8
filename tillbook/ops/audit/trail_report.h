#pragma once

#include "audit_trail.h"
#include "print_layout.h"

#include <QByteArray>
#include <vector>

namespace tb {

// The change log on paper and as a file.
class TrailReport {
  public:
    // "Änderungsprotokoll 01.03.2024 bis 31.03.2024", "Änderungsprotokoll bis 31.03.2024",
    // "Änderungsprotokoll" (all times); the kind chosen is added in brackets.
    static QString title(const LogFilter& filter);

    // The printout: landscape pages with the title, the page number and the columns Nr.,
    // Zeitpunkt, Art, Zeile, Beleg, Datum; below each entry what it records, over the whole
    // width and on as many lines as it needs. Each page's foot names the head of the chain;
    // the last page gives its whole Pruefsumme.
    static PrintDocument pages(const std::vector<LogEntry>& entries, const QString& title,
                               const LogHead& head);
    // A text cut into lines of at most width characters, at "; " or blanks where it can.
    static QStringList wrapped(const QString& text, int width);

    // The export's text (saved in Windows-1252), ";" and CR LF like the cash book's, one entry a
    // line with Nr., Zeitpunkt, Art, Anlass, Zeile/Tag, Beleg, Datum, vorher, nachher and
    // Prüfsumme.
    static QString csv(const std::vector<LogEntry>& entries);
};

} // namespace tb
