#include "demo_book.h"

#include "cancellation.h"
#include "cash_date.h"
#include "cash_file.h"
#include "change_log.h"
#include "clock.h"
#include "day_view.h"
#include "dialogs.h"
#include "money.h"
#include "running_balance.h"
#include "settings_record.h"

#include <QFile>
#include <stdexcept>

namespace tb::demo {

namespace {
struct Line {
    const char* text;
    const char* remark;
    int cents; // > 0 a receipt, < 0 a payment
    int rate;  // VAT rate in per cent
    bool done;
};

// What the shop books on a day; the day's number picks a variation of the amounts.
std::vector<Line> dayLines(int day) {
    const int v = (day * 37) % 23;
    std::vector<Line> lines{
        {"Tageseinnahme Backwaren", "Kasse 1", 48230 + v * 613, 7, true},
        {"Tageseinnahme Getränke", "Kasse 1", 9170 + v * 211, 19, true},
    };
    if (day % 3 == 0)
        lines.push_back(
            {"Wareneinkauf Mehl", "Mühle Korn, Lieferschein", -(6480 + v * 40), 7, false});
    if (day % 4 == 1)
        lines.push_back({"Bürobedarf", "Kassenrollen", -1290, 19, false});
    if (day % 5 == 2)
        lines.push_back({"Porto", "Briefmarken", -1700, 0, false});
    if (day % 2 == 0)
        lines.push_back({"Reinigung", "Fensterreinigung", -4500, 19, false});
    lines.push_back({"Tageseinnahme Backwaren", "Kasse 2", 12060 + v * 97, 7, day % 2 == 1});
    return lines;
}
} // namespace

QDateTime now() {
    return {QDate(2026, 3, 14), QTime(9, 30)};
}

void writeBook(const QString& path) {
    QFile::remove(path);
    // The change log's entries bear the moments the bakery would have booked at.
    FixedClock logged({QDate(2026, 3, 1), QTime(17, 45)});
    changelog::setClock(&logged);
    Result why = cashfile::createEmpty(path);
    if (!why)
        throw std::runtime_error(germanText(why).toStdString());
    auto db = Database::open(path, {}, &why);
    if (!db)
        throw std::runtime_error(germanText(why).toStdString());
    {
        Transaction t(*db);
        db->exec(QStringLiteral("UPDATE Einstellungen SET Einst15 = '200,00';"));
        Statement text =
            db->prepare(QStringLiteral("INSERT INTO Buchungstext (a1) SELECT ?1 WHERE NOT EXISTS "
                                       "(SELECT 1 FROM Buchungstext WHERE a1 = ?1);"));
        Statement day =
            db->prepare(QStringLiteral("INSERT INTO Datum (a1, a2, a3) VALUES (?, ?, '');"));
        Statement line = db->prepare(QStringLiteral(
            "INSERT INTO Buchungen (a1, n1, n2, a3, a4, a5, a6, a7, a8, a10, a11, a12, a13, a14, "
            "a15) VALUES ('', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '0');"));
        int receipt = 1;
        for (QDate d(2026, 3, 2); d <= now().date(); d = d.addDays(1)) {
            if (d.dayOfWeek() == Qt::Sunday)
                continue;
            const QString date = cashdate::toText(d);
            logged.set({d, QTime(5, 55)});
            day.bindAll({date, cashdate::key8(date)});
            day.run();
            day.reset();
            std::vector<Line> lines = dayLines(d.day());
            // In the evening the takings go to the bank in notes of 50; the rest stays in the
            // till.
            int net = 0;
            for (const Line& l : lines)
                net += l.cents;
            if (d < now().date() && net >= 5000)
                lines.push_back(
                    {"Geldtransit Bank", "Einzahlung Sparkasse", -(net / 5000) * 5000, 0, true});
            QTime at(6, 0);
            for (const Line& l : lines) {
                logged.set({d, at});
                at = at.addSecs(19 * 60);
                const Money amount = Money::fromCents(l.cents < 0 ? -l.cents : l.cents);
                const Money in = l.cents > 0 ? amount : Money();
                const Money out = l.cents < 0 ? amount : Money();
                const Money vat = containedVat(l.rate * 100, in, out).value_or(Money());
                text.bind(1, QString::fromUtf8(l.text));
                text.run();
                text.reset();
                line.bindAll({QString::fromUtf8(l.text), QString::fromUtf8(l.remark),
                              l.done ? QStringLiteral("V") : QString(),
                              l.cents > 0 ? amount.toText() : QString(),
                              l.cents < 0 ? amount.toText() : QString(), QString::number(l.rate),
                              vat.toText(), QString::number(receipt++), date, cashdate::key8(date),
                              l.done ? QString() : QStringLiteral("O"),
                              l.rate == 7 ? vat.toText() : QString(),
                              l.rate == 19 ? vat.toText() : QString()});
                line.run();
                line.reset();
            }
        }
        db->exec(QStringLiteral("UPDATE Einstellungen SET Einst19 = '%1';").arg(receipt));
        t.commit();
    }
    // A wrong line of the last day, cancelled as the operator does it.
    HeadlessDialogs yes(Answer::Yes);
    FixedClock clock(now());
    logged.set(now());
    SettingsRecord settings(db.get());
    DataView lines(db.get(), QStringLiteral("Buchungen"),
                   QStringLiteral("SELECT * FROM Buchungen WHERE n1 = 'Reinigung' "
                                  "ORDER BY ID DESC LIMIT 1;"));
    lines.refresh();
    Cancellation(*db, yes, clock, settings)
        .cancel(lines, lines.value(QStringLiteral("a6")), lines.value(QStringLiteral("a10")));
    RunningBalance::fullWalk(*db, Money::fromCents(20000));
    changelog::setClock(nullptr);
}

} // namespace tb::demo
