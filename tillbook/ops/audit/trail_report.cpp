#include "trail_report.h"

#include "csv_export.h"

namespace tb {

namespace {
constexpr double kLeft = 14;
constexpr double kRight = 284;
constexpr double kSize = 9;
constexpr double kStep = 4.2; // one line of 9 points
constexpr double kLast = 186; // no line starts below this
constexpr double kFoot = 196; // the foot of every page
constexpr int kWrapAt = 150;  // characters of 9 points across the page

void put(Page& p, const QString& t, double x, double y, bool bold = false, bool right = false,
         double clipAt = 0) {
    p.texts.push_back({t, x, y, kSize, bold, right, clipAt});
}

QString describedRef(const LogEntry& e) {
    if (e.ref <= 0)
        return {};
    return QString::number(e.ref);
}

// "Zeile erfasst" etc. with what the entry concerns.
QString kindColumn(const LogEntry& e) {
    return AuditTrail::kindWithReason(e);
}
} // namespace

QString TrailReport::title(const LogFilter& f) {
    QString t = QStringLiteral("Änderungsprotokoll");
    if (f.from.isValid() && f.to.isValid())
        t += QStringLiteral(" %1 bis %2")
                 .arg(f.from.toString(QStringLiteral("dd.MM.yyyy")),
                      f.to.toString(QStringLiteral("dd.MM.yyyy")));
    else if (f.from.isValid())
        t += QStringLiteral(" ab %1").arg(f.from.toString(QStringLiteral("dd.MM.yyyy")));
    else if (f.to.isValid())
        t += QStringLiteral(" bis %1").arg(f.to.toString(QStringLiteral("dd.MM.yyyy")));
    if (f.kind > 0)
        t += QStringLiteral(" (") + AuditTrail::kindText(f.kind) + QLatin1Char(')');
    return t;
}

QStringList TrailReport::wrapped(const QString& text, int width) {
    QStringList lines;
    QString rest = text;
    while (rest.size() > width) {
        qsizetype cut = rest.lastIndexOf(QStringLiteral("; "), width - 1);
        qsizetype skip = 2;
        if (cut <= 0) {
            cut = rest.lastIndexOf(QLatin1Char(' '), width);
            skip = 1;
        }
        if (cut <= 0) {
            cut = width;
            skip = 0;
        } else if (skip == 2) {
            ++cut; // the ";" stays at the end of its line
            skip = 1;
        }
        lines << rest.left(cut);
        rest = rest.mid(cut + skip);
    }
    if (!rest.isEmpty() || lines.isEmpty())
        lines << rest;
    return lines;
}

PrintDocument TrailReport::pages(const std::vector<LogEntry>& entries, const QString& title,
                                 const LogHead& head) {
    PrintDocument doc;
    doc.landscape = true;
    double y = 0;
    auto newPage = [&] {
        doc.pages.emplace_back();
        Page& p = doc.pages.back();
        p.texts.push_back({title, 20, 10, 10, true, false, 0});
        p.texts.push_back(
            {QStringLiteral("Seite %1").arg(doc.pages.size()), 280, 10, 10, false, true, 0});
        const double h = 20;
        put(p, QStringLiteral("Nr."), 30, h, true, true);
        put(p, QStringLiteral("Zeitpunkt"), 34, h, true);
        put(p, QStringLiteral("Art"), 70, h, true);
        put(p, QStringLiteral("Zeile"), 170, h, true, true);
        put(p, QStringLiteral("Beleg"), 195, h, true, true);
        put(p, QStringLiteral("Datum"), 200, h, true);
        p.rules.push_back({h + 5, kLeft, kRight});
        if (!head.footer().isEmpty())
            put(p, head.footer(), kLeft, kFoot);
        y = h + 2;
    };
    newPage();
    for (const LogEntry& e : entries) {
        const QStringList change = wrapped(AuditTrail::changeText(e), kWrapAt);
        const double needed = kStep * (1 + change.size());
        if (y + needed > kLast && y > 30)
            newPage();
        y += kStep;
        Page& p = doc.pages.back();
        put(p, QString::number(e.number), 30, y, false, true);
        put(p, e.momentText(), 34, y);
        put(p, kindColumn(e), 70, y, false, false, 150);
        put(p, describedRef(e), 170, y, false, true);
        put(p, e.receipt, 195, y, false, true);
        put(p, e.date, 200, y);
        for (const QString& line : change) {
            y += kStep;
            if (y > kLast) {
                newPage();
                y += kStep;
            }
            put(doc.pages.back(), line, 34, y, false, false, kRight);
        }
        y += 1;
    }
    if (entries.empty()) {
        y += kStep;
        put(doc.pages.back(), QStringLiteral("Keine Einträge"), 34, y);
    }
    if (!head.hash.isEmpty()) {
        if (y + 2 * kStep > kLast)
            newPage();
        y += 2 * kStep;
        put(doc.pages.back(),
            QStringLiteral("Prüfsumme des letzten Eintrags (Nr. %1): %2")
                .arg(head.last)
                .arg(QString::fromLatin1(head.hash.toHex())),
            kLeft, y);
    }
    return doc;
}

QString TrailReport::csv(const std::vector<LogEntry>& entries) {
    const QString crlf = QStringLiteral("\r\n");
    QString text = QStringList{QStringLiteral("Nr."),       QStringLiteral("Zeitpunkt"),
                               QStringLiteral("Art"),       QStringLiteral("Anlass"),
                               QStringLiteral("Zeile/Tag"), QStringLiteral("Beleg"),
                               QStringLiteral("Datum"),     QStringLiteral("vorher"),
                               QStringLiteral("nachher"),   QStringLiteral("Prüfsumme")}
                       .join(QLatin1Char(';')) +
                   crlf;
    for (const LogEntry& e : entries) {
        // Before and after each in a column of its own, so a spreadsheet can filter them.
        QStringList fields{QString::number(e.number),
                           e.momentText(),
                           AuditTrail::kindText(e.kind),
                           AuditTrail::reasonText(e.reason),
                           describedRef(e),
                           e.receipt,
                           e.date,
                           AuditTrail::formText(e.kind, e.before),
                           AuditTrail::formText(e.kind, e.after),
                           QString::fromLatin1(e.hash.toHex())};
        for (QString& f : fields)
            f = CsvExport::quoted(f);
        text += fields.join(QLatin1Char(';')) + crlf;
    }
    return text;
}

} // namespace tb
