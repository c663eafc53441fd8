#pragma once

#include "data_view.h"
#include "listings.h"
#include "money.h"
#include "till_count.h"

#include <QDateTime>
#include <QString>
#include <vector>

namespace tb {

// A printed page as plain items, in millimetres from the page's top left corner: computed
// first, painted after, so the layout is checked without a printer.
struct PageText {
    QString text;
    double x = 0;     // left edge, or the right edge for right-aligned text
    double y = 0;     // top of the text
    double size = 10; // points
    bool bold = false;
    bool right = false;
    // A cell of a row (left-aligned): it ends before this x and before every other text of its
    // row that stands to its right; the painter measures it and cuts it with an ellipsis. 0: no
    // limit.
    double clipAt = 0;
};
struct PageRule {
    double y = 0;
    double x1 = 0;
    double x2 = 0;
};
struct Page {
    std::vector<PageText> texts;
    std::vector<PageRule> rules;
};
struct PrintDocument {
    QString font = QStringLiteral("Arial");
    bool landscape = false;
    std::vector<Page> pages;
};

// The settings a printout reads.
struct PrintSettings {
    QString currency;   // Einst18
    QString rate1;      // Einst16
    QString rate2;      // Einst17
    bool noTax = false; // Einst20 = "X"
    QString receiptCaption = QStringLiteral("Einnahme");
    QString paymentCaption = QStringLiteral("Ausgabe");
    // The receipt number's caption follows Einst14 as the receipt's and payment's follow theirs.
    QString numberCaption = QStringLiteral("Beleg");
    // The head of the change log at the foot of every page, so a paper copy pins the state of
    // the log ("Änderungsprotokoll: 1 234 Einträge, letzte Prüfsumme 3f9a…"); "" for none.
    QString logFooter;
};

// One listed line as the printout reads it, with the balance after it (balancesAfter).
struct PrintRow {
    QString date, number, text, remark, tax1, tax2, receipt, payment;
    Money balance;
};
std::vector<PrintRow> printRows(const DataView& lines, Money carriedIn);

// The printed cash book: the header with title and page number, the carried-in line, the
// rows every 5 mm from 35 mm (31 a page), the totals row with the balance after the last row.
// The same rows give the same document, copy after copy.
PrintDocument cashBookPages(const std::vector<PrintRow>& rows, const ListingState& listing,
                            const PrintSettings& settings);

// The counting protocol: one portrait page with the counts, the totals block, the date and
// the signature line.
struct TillFigures {
    TillCount::Texts counts;
    TillCount::Texts lineTotals;
    QString expected, counted, difference;
    QString storedTitle; // a kept count's "Zählprotokoll Nr. ..."; printed beside the title
};
PrintDocument countingProtocol(const TillFigures& figures, const QString& currency,
                               const QDateTime& now);

// The number of copies typed into the printer choice: the leading decimal number with "." as
// its point, rounded to the nearest whole number, halves to the even one; 0 for none. More than
// kMaxCopies are refused with tooManyCopies().
int copiesOf(const QString& typed);
inline constexpr int kMaxCopies = 999;

// What the operator is told when a printout did not reach the printer or the file.
struct PrintMessages {
    static QString tooManyCopies();
    static QString printerGone(const QString& printer);
    static QString notAccepting(const QString& printer);
    static QString jobRefused(const QString& printer, const QString& reason);
    static QString printerFailed(const QString& printer, const QString& reason = {});
    static QString pdfNotWritten(const QString& file, const QString& reason);
    // A printout that stopped after printed of its copies: nothing was printed, or how much.
    static QString failed(int printed, int copies, const QString& why);
};

} // namespace tb
