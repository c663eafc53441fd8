#include "book_generator.h"

#include "cash_date.h"
#include "cash_file.h"
#include "change_log.h"
#include "clock.h"
#include "day_view.h"
#include "money.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <random>

namespace tb::bench {

qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

void generateBook(const QString& path, int lines, int texts, unsigned seed) {
    QFile::remove(path);
    // The log enters every line at the evening of its day, as a shop books.
    FixedClock clock(QDateTime(QDate(2016, 1, 4), QTime(18, 0)));
    changelog::setClock(&clock);
    cashfile::createEmpty(path);
    auto db = Database::open(path, {});
    std::mt19937 random(seed);
    auto between = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };

    Transaction t(*db);
    db->exec(QStringLiteral("UPDATE Einstellungen SET Einst15 = '150,00';"));
    Statement text = db->prepare(QStringLiteral("INSERT INTO Buchungstext (a1) VALUES (?);"));
    QStringList names;
    for (int i = 0; i < texts; ++i) {
        names << (i == 0 ? QStringLiteral("Bareinnahme")
                         : QStringLiteral("%1 %2")
                               .arg(i % 3 == 0   ? QStringLiteral("Wareneinkauf")
                                    : i % 3 == 1 ? QStringLiteral("Kunde")
                                                 : QStringLiteral("Baustelle"))
                               .arg(i));
        if (i == 0)
            continue; // a new book already has it
        text.bind(1, names.last());
        text.run();
        text.reset();
    }
    Statement day =
        db->prepare(QStringLiteral("INSERT INTO Datum (a1, a2, a3) VALUES (?, ?, '');"));
    Statement line = db->prepare(QStringLiteral(
        "INSERT INTO Buchungen (a1, n1, n2, a3, a4, a5, a6, a7, a8, a10, a11, a12, a13, a14, a15) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '0');"));
    QDate date(2016, 1, 4);
    int written = 0;
    int receipt = 1;
    while (written < lines) {
        if (date.dayOfWeek() == 7) {
            date = date.addDays(1);
            continue;
        }
        const QString d = cashdate::toText(date);
        clock.set(QDateTime(date, QTime(18, 0)));
        day.bindAll({d, cashdate::key8(d)});
        day.run();
        day.reset();
        const int today = std::min(between(20, 30), lines - written);
        for (int i = 0; i < today; ++i, ++written) {
            const bool in = between(0, 9) < 7;
            const int rate = std::array<int, 3>{19, 7, 0}[static_cast<size_t>(between(0, 2))];
            const Money amount = Money::fromCents(in ? between(50, 50000) : between(100, 30000));
            const Money vat = containedVat(rate * 100, in ? amount : Money(), in ? Money() : amount)
                                  .value_or(Money());
            const bool done = between(0, 19) == 0;
            line.bindAll({QString(), names[between(0, texts - 1)],
                          i % 4 == 0 ? QStringLiteral("Beleg %1").arg(receipt) : QString(),
                          done ? QStringLiteral("V") : QString(), in ? amount.toText() : QString(),
                          in ? QString() : amount.toText(), QString::number(rate), vat.toText(),
                          QString::number(receipt++), d, cashdate::key8(d),
                          done ? QString() : QStringLiteral("O"),
                          rate == 7 ? vat.toText() : QString(),
                          rate == 19 ? vat.toText() : QString()});
            line.run();
            line.reset();
        }
        date = date.addDays(1);
    }
    db->exec(QStringLiteral("UPDATE Einstellungen SET Einst19 = '%1';").arg(receipt));
    t.commit();
    RunningBalance::fullWalk(*db, Money::fromCents(15000));
    changelog::setClock(nullptr);
}

QString generatedBook(int lines) {
    static QTemporaryDir own;
    static std::map<int, QString> made;
    QString& path = made[lines];
    if (!path.isEmpty())
        return path;
    const QString folder = qEnvironmentVariableIsSet("TILLBOOK_BENCH_BOOKS")
                               ? qEnvironmentVariable("TILLBOOK_BENCH_BOOKS")
                               : own.path();
    QDir().mkpath(folder);
    // The name changes whenever the generator writes different books.
    path = QStringLiteral("%1/book-v3-%2.kas").arg(folder).arg(lines);
    if (!QFile::exists(path)) {
        // The book as the program works on it: the password put on and taken off again.
        const QString part = path + QStringLiteral(".part");
        generateBook(part, lines);
        cashfile::putPasswordBack(part);
        cashfile::removePassword(part);
        QFile::rename(part, path);
    }
    return path;
}

void copyBook(const QString& from, const QString& to) {
    QFile::remove(to);
    QFile::copy(from, to);
}

} // namespace tb::bench
