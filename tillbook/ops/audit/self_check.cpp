#include "self_check.h"

#include "audit_trail.h"
#include "balance_guard.h"
#include "cash_date.h"
#include "change_log.h"
#include "cp1252.h"
#include "csv_export.h"
#include "line_order.h"
#include "money.h"
#include "stored_counts.h"
#include "trail_check.h"
#include "trail_report.h"

#include <QLocale>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

namespace tb {

namespace {
struct Line {
    qint64 id = 0;
    QString status, text, receipt, payment, number, date;
    DateKey key;
    QDate day;
};

QString named(const Line& l) {
    return AuditTrail::lineName(l.id, l.number, l.date) +
           (l.text.isEmpty() ? QString() : QLatin1Char(' ') + l.text);
}

QString euro(Money m) {
    return BalanceGuard::signedText(m) + QStringLiteral(" EUR");
}

// A check stopped by "Abbrechen" reports what it has; the report says it was stopped.
constexpr qint64 kStepRows = 20000;
} // namespace

DigitTest DigitTest::of(const std::vector<qint64>& receiptCents) {
    DigitTest t;
    for (const qint64 c : receiptCents) {
        ++t.counts[static_cast<size_t>((std::abs(c) / 100) % 10)];
        ++t.values;
    }
    if (t.values == 0)
        return t;
    const double expected = static_cast<double>(t.values) / 10.0;
    for (const qint64 n : t.counts) {
        const double d = static_cast<double>(n) - expected;
        t.chiSquare += d * d / expected;
    }
    return t;
}

QString SelfCheck::verdict(qint64 findings) {
    if (findings == 0)
        return QStringLiteral("keine Auffälligkeiten");
    return findings == 1 ? QStringLiteral("1 Auffälligkeit")
                         : QStringLiteral("%1 Auffälligkeiten").arg(AuditTrail::grouped(findings));
}

QString SelfCheck::digitExplanation() {
    return QStringLiteral(
        "Bei frei entstandenen Beträgen kommt jede Ziffer vor dem Komma etwa gleich oft vor; "
        "eine auffällige Verteilung kann auf erfundene Beträge deuten, ist aber nur ein Hinweis, "
        "kein Beweis (feste Preise z. B. ergeben sie ebenso).");
}

QString SelfCheckReport::title() const {
    QString t = QStringLiteral("Kassenprüfung");
    if (from.isValid())
        t += QLatin1Char(' ') + cashdate::toText(from);
    if (to.isValid())
        t += QStringLiteral(" bis ") + cashdate::toText(to);
    return t;
}

QString SelfCheckReport::text() const {
    QString t = title() + QLatin1Char('\n');
    if (stopped)
        t += QStringLiteral("Die Prüfung wurde abgebrochen; sie ist unvollständig.\n");
    for (size_t i = 0; i < checks.size(); ++i) {
        const CheckResult& c = checks[i];
        t += QStringLiteral("\n%1. %2: %3\n").arg(i + 1).arg(c.title, c.verdict);
        for (const QString& f : c.findings)
            t += QStringLiteral("   ") + f + QLatin1Char('\n');
    }
    return t;
}

QString SelfCheckReport::csv() const {
    const QString crlf = QStringLiteral("\r\n");
    QString t = QStringLiteral("Nr.;Prüfung;Ergebnis;Befund") + crlf;
    for (size_t i = 0; i < checks.size(); ++i) {
        const CheckResult& c = checks[i];
        const QString head = QString::number(i + 1) + QLatin1Char(';') +
                             CsvExport::quoted(CsvExport::asText(c.title)) + QLatin1Char(';') +
                             CsvExport::quoted(CsvExport::asText(c.verdict)) + QLatin1Char(';');
        t += head + crlf;
        for (const QString& f : c.findings)
            t += head + CsvExport::quoted(CsvExport::asText(f)) + crlf;
    }
    return t;
}

PrintDocument SelfCheckReport::pages() const {
    PrintDocument doc;
    constexpr double kTop = 30, kBottom = 280, kStep = 5;
    double y = kBottom;
    int page = 0;
    auto line = [&](const QString& text, double x, bool bold) {
        if (y + kStep > kBottom) {
            doc.pages.emplace_back();
            ++page;
            Page& p = doc.pages.back();
            p.texts.push_back({title(), 20, 15, 12, true});
            p.texts.push_back({QStringLiteral("Seite %1").arg(page), 190, 15, 10, false, true});
            p.rules.push_back({22, 20, 190});
            y = kTop;
        }
        doc.pages.back().texts.push_back({text, x, y, 10, bold});
        y += kStep;
    };
    if (stopped)
        line(QStringLiteral("Die Prüfung wurde abgebrochen; sie ist unvollständig."), 20, true);
    for (size_t i = 0; i < checks.size(); ++i) {
        const CheckResult& c = checks[i];
        y += 2;
        for (const QString& part : TrailReport::wrapped(
                 QStringLiteral("%1. %2: %3").arg(i + 1).arg(c.title, c.verdict), 85))
            line(part, 20, true);
        for (const QString& f : c.findings)
            for (const QString& part : TrailReport::wrapped(f, 90))
                line(part, 25, false);
    }
    return doc;
}

SelfCheckReport SelfCheck::run(Database& db, const QDate& from, const QDate& to,
                               Progress& progress) {
    SelfCheckReport r;
    r.from = from;
    r.to = to;
    const auto inPeriod = [&](const QDate& d) {
        return d.isValid() && (!from.isValid() || d >= from) && (!to.isValid() || d <= to);
    };
    const auto stop = [&](qint64 done) {
        if (!progress.step(done))
            r.stopped = true;
        return r.stopped;
    };

    // Every line once; the balance needs the lines before the period too.
    progress.begin(QStringLiteral("Kassenprüfung: Zeilen lesen"),
                   db.scalar(QStringLiteral("SELECT count(*) FROM Buchungen;")).toLongLong());
    std::vector<Line> lines;
    {
        Statement st =
            db.prepare(QStringLiteral("SELECT ID, a1, n1, a4, a5, a8, a10 FROM Buchungen;"));
        // The lines of a day mostly follow each other: its date is read once for them.
        Line previous;
        bool previousNull = true;
        while (st.next()) {
            const bool null = st.isNull(6);
            Line l{st.integer(0), st.text(1), st.text(2), st.text(3), st.text(4),
                   st.text(5),    st.text(6), {},         {}};
            if (!null && !previousNull && l.date == previous.date) {
                l.date = previous.date; // shares the text
                l.key = previous.key;
                l.day = previous.day;
            } else {
                l.key = dateKeyOf(l.date.toStdString(), null);
                l.day = cashdate::fromText(l.date);
                previous = l;
                previousNull = null;
            }
            lines.push_back(std::move(l));
            if (lines.size() % kStepRows == 0 && stop(static_cast<qint64>(lines.size()))) {
                progress.end();
                return r;
            }
        }
    }
    progress.end();
    std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.key != b.key ? a.key < b.key : a.id < b.id;
    });
    std::vector<const Line*> period;
    for (const Line& l : lines)
        if (inPeriod(l.day))
            period.push_back(&l);

    progress.begin(QStringLiteral("Kassenprüfung"), 7);
    // 1. Days that end below zero (the float is in every balance).
    {
        CheckResult c{QStringLiteral("Tage mit negativem Kassenbestand"), {}, {}};
        const Money floatAmount = Money::parseOrZero(
            db.scalar(QStringLiteral("SELECT Einst15 FROM Einstellungen ORDER BY ID LIMIT 1;")));
        Money b = floatAmount;
        for (size_t i = 0; i < lines.size(); ++i) {
            const Line& l = lines[i];
            b += countedAmount(l.receipt).value_or(Money());
            b -= countedAmount(l.payment).value_or(Money());
            const bool dayEnds = i + 1 == lines.size() || lines[i + 1].key != l.key;
            if (dayEnds && b < Money() && inPeriod(l.day))
                c.findings << QStringLiteral("%1: Endbestand %2").arg(l.date, euro(b));
        }
        c.verdict = SelfCheck::verdict(c.findings.size());
        r.checks.push_back(std::move(c));
    }
    if (stop(1))
        return r;
    // 2. Receipt numbers: gaps and duplicates, counter-entries as booked.
    {
        CheckResult c{QStringLiteral("Beleg-Nummern: Lücken und Doppelte"), {}, {}};
        std::map<qint64, std::vector<const Line*>> byNumber;
        for (const Line* l : period) {
            bool ok = false;
            const qint64 n = l->number.trimmed().toLongLong(&ok);
            if (ok)
                byNumber[n].push_back(l);
            else
                c.findings << QStringLiteral("ohne gültige Beleg-Nr.: ") + named(*l);
        }
        qint64 previous = 0;
        bool first = true;
        for (const auto& [n, ls] : byNumber) {
            if (!first && n > previous + 1)
                c.findings << (n == previous + 2
                                   ? QStringLiteral("Beleg-Nr. %1 fehlt").arg(previous + 1)
                                   : QStringLiteral("Beleg-Nr. %1 bis %2 fehlen")
                                         .arg(previous + 1)
                                         .arg(n - 1));
            if (ls.size() > 1) {
                QStringList names;
                for (const Line* l : ls)
                    names << named(*l);
                c.findings << QStringLiteral("Beleg-Nr. %1 %2-mal: ").arg(n).arg(ls.size()) +
                                  names.join(QStringLiteral("; "));
            }
            previous = n;
            first = false;
        }
        c.verdict = SelfCheck::verdict(c.findings.size());
        r.checks.push_back(std::move(c));
    }
    if (stop(2))
        return r;
    // 3. Lines entered long after their date, by the log's entry times.
    {
        CheckResult c{
            QStringLiteral("Zeilen mehr als %1 Tage nach dem Buchungsdatum erfasst").arg(kLateDays),
            {},
            {}};
        const auto times = AuditTrail::entryTimes(db);
        qint64 late = 0;
        QStringList before;
        for (const Line* l : period) {
            const auto t = times.find(l->id);
            if (t == times.end()) {
                before << named(*l);
                continue;
            }
            const QDate entered = QDateTime::fromSecsSinceEpoch(t->second).date();
            const qint64 days = l->day.daysTo(entered);
            if (days > kLateDays) {
                ++late;
                c.findings << QStringLiteral("%1: erfasst am %2, %3 Tage später")
                                  .arg(named(*l), cashdate::toText(entered))
                                  .arg(days);
            }
        }
        if (!before.isEmpty()) {
            // A book kept before the log began has many such lines: named, not each a finding.
            const qsizetype shown = std::min<qsizetype>(before.size(), 20);
            c.findings << QStringLiteral("%1 vor Beginn des Protokolls erfasst: ")
                                  .arg(before.size() == 1
                                           ? QStringLiteral("1 Zeile")
                                           : QStringLiteral("%1 Zeilen").arg(before.size())) +
                              before.mid(0, shown).join(QStringLiteral("; ")) +
                              (before.size() > shown
                                   ? QStringLiteral(" und %1 weitere").arg(before.size() - shown)
                                   : QString());
        }
        c.verdict = SelfCheck::verdict(late);
        if (!before.isEmpty())
            c.verdict +=
                QStringLiteral(", %1 vor Beginn des Protokolls erfasst").arg(before.size());
        r.checks.push_back(std::move(c));
    }
    if (stop(3))
        return r;
    // 4. Service-code edits and deletions in the period, from the log.
    {
        CheckResult c{QStringLiteral("Änderungen mit Servicecode und Löschungen"), {}, {}};
        LogFilter f;
        f.from = from;
        f.to = to;
        // Only these entries are read, not the whole log (a done mark is a change too).
        f.serviceEditsAndDeletions = true;
        for (const LogEntry& e : AuditTrail::read(db, f))
            c.findings << QStringLiteral("%1 %2: %3 – %4")
                              .arg(e.momentText(), AuditTrail::kindWithReason(e),
                                   AuditTrail::lineName(e.ref, e.receipt, e.date),
                                   AuditTrail::changeText(e));
        c.verdict = SelfCheck::verdict(c.findings.size());
        r.checks.push_back(std::move(c));
    }
    if (stop(4))
        return r;
    // 5. The log's chain.
    {
        CheckResult c{QStringLiteral("Prüfkette des Änderungsprotokolls"), {}, {}};
        const LogCheck lc = LogCheck::run(db, progress);
        if (lc.stopped) {
            r.stopped = true;
            progress.end();
            return r;
        }
        progress.begin(QStringLiteral("Kassenprüfung"), 7);
        for (const auto* list : {&lc.chain, &lc.book})
            for (const LogCheck::Finding& f : *list)
                c.findings << f.text;
        c.verdict = lc.whole() ? SelfCheck::verdict(0) : lc.text();
        r.checks.push_back(std::move(c));
    }
    if (stop(5))
        return r;
    // 6. Days with bookings but no kept count, and kept counts with a difference.
    {
        CheckResult c{
            QStringLiteral("Zählungen: Tage ohne Zählung, Zählungen mit Differenz"), {}, {}};
        const std::vector<StoredCount> counts = StoredCounts::read(db, from, to);
        std::set<QString> counted;
        for (const StoredCount& s : counts)
            counted.insert(s.day);
        QString lastDay;
        for (const Line* l : period) {
            if (l->date == lastDay)
                continue;
            lastDay = l->date;
            if (!counted.count(l->date))
                c.findings << QStringLiteral("%1: Buchungen, aber keine Zählung").arg(l->date);
        }
        for (const StoredCount& s : counts)
            if (s.difference != Money())
                c.findings << s.title() + QStringLiteral(": Differenz ") + euro(s.difference);
        c.verdict = SelfCheck::verdict(c.findings.size());
        r.checks.push_back(std::move(c));
    }
    if (stop(6))
        return r;
    // 7. The digit test of the receipts of normal lines.
    {
        CheckResult c{
            QStringLiteral("Zifferntest der Einnahmen (letzte Ziffer vor dem Komma)"), {}, {}};
        std::vector<qint64> cents;
        for (const Line* l : period) {
            if (l->status == QLatin1String("Storno"))
                continue;
            const auto m = Money::parse(l->receipt);
            if (m && *m > Money())
                cents.push_back(m->cents());
        }
        r.digits = DigitTest::of(cents);
        const DigitTest& d = r.digits;
        if (!d.enough()) {
            c.verdict = QStringLiteral("zu wenige Werte (%1, nötig sind %2)")
                            .arg(d.values)
                            .arg(DigitTest::kFewest);
        } else {
            const QString chi = QLocale(QLocale::German).toString(d.chiSquare, 'f', 3);
            c.verdict = QStringLiteral("χ² = %1 bei %2 Werten – %3 (Grenzwert 16,919 bei 5 %)")
                            .arg(chi)
                            .arg(d.values)
                            .arg(d.striking() ? QStringLiteral("auffällig")
                                              : QStringLiteral("keine Auffälligkeiten"));
            const QString expected =
                QLocale(QLocale::German).toString(static_cast<double>(d.values) / 10.0, 'f', 1);
            for (int i = 0; i < 10; ++i)
                c.findings << QStringLiteral("Ziffer %1: %2-mal (erwartet %3)")
                                  .arg(i)
                                  .arg(d.counts[static_cast<size_t>(i)])
                                  .arg(expected);
        }
        c.findings << SelfCheck::digitExplanation();
        r.checks.push_back(std::move(c));
    }
    stop(7);
    progress.end();
    return r;
}

} // namespace tb
