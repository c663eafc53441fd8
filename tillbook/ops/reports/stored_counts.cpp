#include "stored_counts.h"

#include "balance_guard.h"
#include "cash_date.h"
#include "change_log.h"
#include "schema.h"

namespace tb {

namespace {
const QString kColumns = QStringLiteral(
    "ID, Zeit, Tag, Anzahl1, Anzahl2, Anzahl3, Anzahl4, Anzahl5, Anzahl6, Anzahl7, Anzahl8, "
    "Anzahl9, Anzahl10, Anzahl11, Anzahl12, Anzahl13, Anzahl14, Anzahl15, Gezaehlt, "
    "Buchbestand, Differenz");

StoredCount fromRow(const Statement& st) {
    StoredCount c;
    c.number = st.integer(0);
    c.moment = st.text(1);
    c.day = st.text(2);
    for (int i = 0; i < TillCount::kLines; ++i)
        c.counts[static_cast<size_t>(i)] = st.text(3 + i);
    c.counted = Money::parseOrZero(st.text(18));
    c.book = Money::parseOrZero(st.text(19));
    c.difference = Money::parseOrZero(st.text(20));
    return c;
}
} // namespace

Result StoredCounts::logStored(Database& db, const StoredCount& c) {
    changelog::NewEntry e(changelog::Kind::CountStored);
    e.ref = c.number;
    e.date = c.day;
    std::string& form = e.after;
    changelog::appendItem(form, "Zeit", c.moment.toStdString());
    for (int i = 0; i < TillCount::kLines; ++i)
        if (!c.counts[static_cast<size_t>(i)].isEmpty())
            changelog::appendItem(form, "Anzahl" + std::to_string(i + 1),
                                  c.counts[static_cast<size_t>(i)].toStdString());
    changelog::appendItem(form, "Gezaehlt", c.counted.toText().toStdString());
    changelog::appendItem(form, "Buchbestand", c.book.toText().toStdString());
    changelog::appendItem(form, "Differenz", c.difference.toText().toStdString());
    return changelog::append(db, e);
}

QString StoredCount::title() const {
    return QStringLiteral("Zählprotokoll Nr. %1 vom %2").arg(number).arg(moment.left(16));
}

std::optional<StoredCount> StoredCounts::store(Database& db, Dialogs& dialogs, const Clock& clock,
                                               const QString& day, const TillCount::Texts& counts,
                                               Money counted, Money book) {
    StoredCount c;
    c.moment = clock.now().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    c.day = day;
    c.counts = counts;
    c.counted = counted;
    c.book = book;
    c.difference = counted - book;
    Transaction t(db);
    QStringList marks;
    for (int i = 0; i < 20; ++i)
        marks << QStringLiteral("?");
    Statement st = db.prepare(QStringLiteral("INSERT INTO Zaehlungen (%1) VALUES (%2);")
                                  .arg(kColumns.mid(4), marks.join(QLatin1Char(','))));
    QStringList values{c.moment, c.day};
    for (const QString& n : counts)
        values << n;
    values << c.counted.toText() << c.book.toText() << c.difference.toText();
    st.bindAll(values);
    const bool ok = t.isActive() && st.run() && db.changes() == 1;
    if (ok)
        c.number = db.lastInsertId();
    Result logged;
    if (ok)
        logged = logStored(db, c);
    if (!ok || !logged || !t.commit()) {
        const QString error = germanText(logged.ok() ? st.failure() : logged);
        dialogs.message(QStringLiteral("Die Zählung konnte nicht gespeichert werden.") +
                            (error.isEmpty() ? QString() : QLatin1Char('\n') + error),
                        QStringLiteral("Fehler"), Icon::Critical);
        return std::nullopt;
    }
    return c;
}

std::vector<StoredCount> StoredCounts::read(Database& db, const QDate& from, const QDate& to) {
    std::vector<StoredCount> all;
    if (db.scalar(QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE name = 'Zaehlungen';")) != QLatin1String("1"))
        return all;
    Statement st =
        db.prepare(QStringLiteral("SELECT %1 FROM Zaehlungen ORDER BY ID;").arg(kColumns));
    while (st.next()) {
        StoredCount c = fromRow(st);
        const QDate d = cashdate::fromText(c.day);
        if ((from.isValid() && (!d.isValid() || d < from)) ||
            (to.isValid() && (!d.isValid() || d > to)))
            continue;
        all.push_back(std::move(c));
    }
    return all;
}

std::optional<StoredCount> StoredCounts::byNumber(Database& db, qint64 number) {
    Statement st =
        db.prepare(QStringLiteral("SELECT %1 FROM Zaehlungen WHERE ID = ?;").arg(kColumns));
    st.bind(1, number);
    if (!st.next())
        return std::nullopt;
    return fromRow(st);
}

QString StoredCounts::differenceQuestion(Money difference) {
    return QStringLiteral("Differenz von %1 EUR als Buchung übernehmen ?")
        .arg(BalanceGuard::signedText(difference));
}

QStringList StoredCounts::listHeadings() {
    return {QStringLiteral("Nr."),     QStringLiteral("Zeitpunkt"),   QStringLiteral("Tag"),
            QStringLiteral("gezählt"), QStringLiteral("Buchbestand"), QStringLiteral("Differenz")};
}

QStringList StoredCounts::listRow(const StoredCount& c) {
    return {QString::number(c.number), c.moment,        c.day,
            c.counted.toText(),        c.book.toText(), c.difference.toText()};
}

QString StoredCounts::offerDifferenceText(Database& db) {
    const QString text = differenceText();
    using T = schema::Texts;
    if (db.scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?;").arg(T::table, T::text),
                  {text}) == QLatin1String("0")) {
        Statement add =
            db.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (?);").arg(T::table, T::text));
        add.bind(1, text);
        add.run();
    }
    return text;
}

StoredCounts::Kept StoredCounts::storeAndAsk(Database& db, Dialogs& dialogs, const Clock& clock,
                                             const QString& day, const TillCount::Texts& counts,
                                             Money counted, Money book) {
    Kept kept{store(db, dialogs, clock, day, counts, counted, book)};
    if (!kept.count)
        return kept;
    const QString title = QStringLiteral("Zählung speichern");
    if (kept.count->difference == Money()) {
        dialogs.message(kept.count->title() + QStringLiteral(" gespeichert."), title,
                        Icon::Information);
        return kept;
    }
    kept.bookDifference = dialogs.message(differenceQuestion(kept.count->difference), title,
                                          Icon::Question, Buttons::YesNo) == Answer::Yes;
    return kept;
}

} // namespace tb
