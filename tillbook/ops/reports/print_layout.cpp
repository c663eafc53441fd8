#include "print_layout.h"

#include "jet_functions.h"
#include "row_balances.h"
#include "schema.h"

#include <cmath>

namespace tb {

namespace {
constexpr double kLeft = 14;
constexpr double kRight = 284;
constexpr double kRowSize = 10.5;

void text(Page& p, const QString& t, double x, double y, double size, bool bold = false,
          bool right = false) {
    p.texts.push_back({t, x, y, size, bold, right});
}
void rightAt(Page& p, const QString& t, double x, double y, bool bold = false) {
    text(p, t, x, y, kRowSize, bold, true);
}
// A text cell of a row that must not run into the column starting at clipAt.
void cell(Page& p, const QString& t, double x, double y, double clipAt) {
    p.texts.push_back({t, x, y, kRowSize, false, false, clipAt});
}
} // namespace

std::vector<PrintRow> printRows(const DataView& lines, Money carriedIn) {
    const std::vector<Money> balances = balancesAfter(lines, carriedIn);
    std::vector<PrintRow> rows;
    rows.reserve(balances.size());
    for (int r = 0; r < lines.recordCount(); ++r) {
        using schema::Lines;
        auto v = [&](const QString& c) { return lines.valueAt(r, c); };
        rows.push_back({v(Lines::date), v(Lines::number), v(Lines::text), v(Lines::remark),
                        v(Lines::vat1), v(Lines::vat2), v(Lines::receipt), v(Lines::payment),
                        balances[static_cast<size_t>(r)]});
    }
    return rows;
}

PrintDocument cashBookPages(const std::vector<PrintRow>& rows, const ListingState& listing,
                            const PrintSettings& s) {
    PrintDocument doc;
    doc.landscape = true;
    const QString cur = QLatin1Char(' ') + s.currency;
    const bool balanceColumn =
        listing.kind != ListingKind::Kategorie && listing.selectedText != QLatin1String(" alle");
    int pageNumber = 1;
    double y = 20;

    auto header = [&] {
        doc.pages.emplace_back();
        Page& p = doc.pages.back();
        if (listing.kind == ListingKind::Tag)
            text(p, QStringLiteral("Kassenbuch vom ") + listing.dayDate, 20, 10, 10, true);
        else if (listing.kind == ListingKind::Auswahl)
            text(p,
                 QStringLiteral("Kassenbuch ") + listing.periodStart + QStringLiteral(" bis ") +
                     listing.periodEnd,
                 20, 10, 10, true);
        rightAt(p, QStringLiteral("Seite ") + QString::number(pageNumber), 280, 10);
        const double h = y + 6;
        text(p, QStringLiteral("Datum"), 14, h, kRowSize, true);
        rightAt(p, QStringLiteral("Kassenbestand"), 285, h, true);
        rightAt(p, s.numberCaption, 51, h, true);
        text(p, QStringLiteral("Buchungstext"), 57, h, kRowSize, true);
        text(p, QStringLiteral("Bemerkung"), 100, h, kRowSize, true);
        if (!s.noTax) {
            rightAt(p, QStringLiteral("St. ") + s.rate1 + QLatin1Char('%'), 160, h, true);
            rightAt(p, QStringLiteral("St. ") + s.rate2 + QLatin1Char('%'), 185, h, true);
        }
        rightAt(p, s.receiptCaption, 215, h, true);
        rightAt(p, s.paymentCaption, 245, h, true);
        p.rules.push_back({33, kLeft, kRight});
        if (!s.logFooter.isEmpty())
            text(p, s.logFooter, kLeft, 196, 8);
        y += 10;
    };

    header();
    rightAt(doc.pages.back(),
            QStringLiteral("Kassenbestand vom  Vortag:") + QLatin1Char(' ') +
                listing.carriedIn.toText() + cur,
            245, 15);
    for (const PrintRow& r : rows) {
        if (y > 180) {
            doc.pages.back().rules.push_back({y + 8, kLeft, kRight});
            y = 20;
            ++pageNumber;
            header();
        }
        y += 5;
        Page& p = doc.pages.back();
        text(p, r.date, 14, y, kRowSize);
        rightAt(p, r.number, 51, y);
        // The texts end where the next column begins, measured and cut with an ellipsis: the
        // remark's, or the figures to their right (the tax columns, or without them the
        // receipts). A cut by the number of characters would leave a date or an amount cut off
        // without a mark.
        cell(p, r.text, 57, y, 100);
        cell(p, r.remark, 100, y, s.noTax ? 215 : 160);
        if (!s.noTax) {
            if (r.tax1 != QLatin1String("0,00") && !r.tax1.isEmpty())
                rightAt(p, r.tax1 + cur, 160, y);
            if (r.tax2 != QLatin1String("0,00") && r.tax2.size() >= 2)
                rightAt(p, r.tax2 + cur, 185, y);
        }
        // A single letter (a marker such as K or U) is no amount to print.
        if (r.receipt.size() >= 2)
            rightAt(p, r.receipt + cur, 215, y);
        if (r.payment.size() >= 2)
            rightAt(p, r.payment + cur, 245, y);
        if (balanceColumn)
            rightAt(p, r.balance.toText() + cur, 285, y);
    }
    Page& p = doc.pages.back();
    y += 6;
    p.rules.push_back({y, kLeft, kRight});
    y += 1;
    const QString receipts = listing.totals.receipts.toText();
    const QString payments = listing.totals.payments.toText();
    if (receipts.size() >= 2)
        rightAt(p, receipts + cur, 215, y, true);
    if (payments.size() >= 2)
        rightAt(p, payments + cur, 245, y, true);
    if (!s.noTax) {
        rightAt(p, listing.totals.vat1.toText() + cur, 160, y, true);
        rightAt(p, listing.totals.vat2.toText() + cur, 185, y, true);
    }
    const Money last = rows.empty() ? listing.carriedIn : rows.back().balance;
    rightAt(p, last.toText() + cur, 285, y, true);
    return doc;
}

PrintDocument countingProtocol(const TillFigures& f, const QString& currency,
                               const QDateTime& now) {
    PrintDocument doc;
    doc.pages.emplace_back();
    Page& p = doc.pages.back();
    const QString cur = QLatin1Char(' ') + currency;
    const std::pair<const char*, const QString*> block[] = {{"Kassenbestand (soll):", &f.expected},
                                                            {"Zählprotokoll (ist):", &f.counted},
                                                            {"Differenz:", &f.difference}};
    const double heights[] = {160, 167, 173};
    for (int i = 0; i < 3; ++i) {
        text(p, QString::fromUtf8(block[i].first), 160, heights[i], 10, false, true);
        text(p, *block[i].second + cur, 180, heights[i], 10, false, true);
    }
    text(p, QStringLiteral("Kassenaufnahme"), 30, 30, 10, true);
    if (!f.storedTitle.isEmpty())
        text(p, f.storedTitle, 80, 30, 10);
    const auto& captions = TillCount::captions();
    for (int i = 0; i < TillCount::kLines; ++i) {
        const double y = 40 + 7 * i;
        const auto at = static_cast<size_t>(i);
        text(p, f.counts[at], 20, y, 10, false, true);
        text(p, QStringLiteral("x"), 27, y, 10, false, true);
        // "0.00 " with its trailing blank, then the currency.
        if (!captions[at].isEmpty())
            text(p, TillCount::denomination(i + 1).toText() + QLatin1Char(' ') + currency, 50, y,
                 10, false, true);
        text(p, QStringLiteral("="), 57, y, 10, false, true);
        if (!f.lineTotals[at].isEmpty())
            text(p, Money::parseOrZero(f.lineTotals[at]).toText() + QLatin1Char(' ') + currency, 81,
                 y, 10, false, true);
    }
    p.rules.push_back({190, 20, 190});
    p.rules.push_back({220, 20, 190});
    text(p, now.toString(QStringLiteral("dd.MM.yyyy  hh:mm")), 20, 215, 10);
    text(p, QStringLiteral("Unterschrift"), 60, 215, 10);
    return doc;
}

int copiesOf(const QString& typed) {
    // Val reads the leading number with "." as its point and stops at anything else.
    const double v = jet::val(typed);
    const double rounded = std::nearbyint(v); // to the nearest, halves to even
    if (!(rounded > 0))
        return 0;
    return rounded > kMaxCopies ? kMaxCopies + 1 : static_cast<int>(rounded);
}

QString PrintMessages::tooManyCopies() {
    return QStringLiteral("Es können höchstens %1 Kopien auf einmal gedruckt werden.")
        .arg(kMaxCopies);
}

QString PrintMessages::printerGone(const QString& printer) {
    return QStringLiteral("Der Drucker „%1“ ist nicht (mehr) vorhanden.").arg(printer);
}

QString PrintMessages::notAccepting(const QString& printer) {
    return QStringLiteral("Der Drucker „%1“ nimmt zurzeit keine Druckaufträge an.").arg(printer);
}

QString PrintMessages::jobRefused(const QString& printer, const QString& reason) {
    return QStringLiteral("Der Drucker „%1“ hat den Druckauftrag nicht angenommen: %2")
        .arg(printer, reason);
}

QString PrintMessages::printerFailed(const QString& printer, const QString& reason) {
    QString t = QStringLiteral("Der Drucker „%1“ meldet einen Fehler.").arg(printer);
    if (!reason.isEmpty())
        t += QLatin1Char(' ') + reason;
    return t;
}

QString PrintMessages::pdfNotWritten(const QString& file, const QString& reason) {
    return QStringLiteral("Die PDF-Datei „%1“ konnte nicht geschrieben werden: %2")
        .arg(file, reason);
}

QString PrintMessages::failed(int printed, int copies, const QString& why) {
    if (printed <= 0)
        return QStringLiteral("Der Ausdruck ist nicht gedruckt worden:\n") + why;
    return QStringLiteral("Der Ausdruck ist nicht vollständig gedruckt worden (gedruckt: %1 von %2 "
                          "Kopien):\n")
               .arg(printed)
               .arg(copies) +
           why;
}

} // namespace tb
