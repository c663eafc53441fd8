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
};

// One listed line as the printout reads it.
struct PrintRow {
    QString date, number, text, remark, tax1, tax2, receipt, payment, balance;
};
std::vector<PrintRow> printRows(const DataView& lines);

// The printed cash book: the header with title and page number, the carried-in line, the
// rows every 5 mm from 35 mm (31 a page), the totals row. balance is the balance of the last
// row that had one; it carries over from one copy to the next.
PrintDocument cashBookPages(const std::vector<PrintRow>& rows, const ListingState& listing,
                            const PrintSettings& settings, Money& balance);

// The counting protocol: one portrait page with the counts, the totals block, the date and
// the signature line.
struct TillFigures {
    TillCount::Texts counts;
    TillCount::Texts lineTotals;
    QString expected, counted, difference;
};
PrintDocument countingProtocol(const TillFigures& figures, const QString& currency,
                               const QDateTime& now);

// The number of copies typed into the printer choice: the leading decimal number with "." as
// its point, rounded to the nearest whole number, halves to the even one; 0 for none.
int copiesOf(const QString& typed);

} // namespace tb
