#include "salvage.h"

#include "cash_date.h"
#include "change_log.h"
#include "money.h"
#include "progress.h"
#include "running_balance.h"

#include <QFile>
#include <algorithm>
#include <map>

namespace tb {

namespace {
// The tables in the order of BookTable.
const QString kTables[kBookTables] = {
    QStringLiteral("Datum"),           QStringLiteral("Buchungen"),
    QStringLiteral("Einstellungen"),   QStringLiteral("Buchungstext"),
    QStringLiteral("sqlite_sequence"), QStringLiteral("Protokoll"),
    QStringLiteral("Beraterkonten"),   QStringLiteral("Kontierung")};
constexpr int kDatum = 0, kBuchungen = 1, kEinstellungen = 2, kBuchungstext = 3, kSequence = 4,
              kProtokoll = 5;

QStringList columnsOf(Database& db, const QString& table) {
    Statement st = db.prepare(QStringLiteral("PRAGMA table_info(%1);").arg(table));
    QStringList names;
    while (st.next())
        names << st.text(1);
    return names;
}

QString insertInto(const QString& table, const QStringList& columns, bool orIgnore) {
    return QStringLiteral("INSERT %1INTO %2 (%3) VALUES (%4);")
        .arg(orIgnore ? QStringLiteral("OR IGNORE ") : QString(), table, columns.join(u','),
             QStringList(columns.size(), QStringLiteral("?")).join(u','));
}

// The rows of a new book's table (its defaults), every column but ID.
std::vector<QStringList> defaultsOf(Database& db, const QString& table, const QStringList& cols) {
    std::vector<QStringList> rows;
    Statement st = db.prepare(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY ID;").arg(cols.mid(1).join(u','), table));
    while (st.next()) {
        QStringList row;
        for (int i = 0; i < st.columnCount(); ++i)
            row << st.text(i);
        rows.push_back(row);
    }
    return rows;
}

void bindValue(Statement& st, int index, const StoredValue& v) {
    switch (v.kind) {
    case StoredValue::Null:
        st.bindNull(index);
        break;
    case StoredValue::Integer:
        st.bind(index, v.integer);
        break;
    case StoredValue::Real:
        st.bind(index, QString::number(v.real, 'g', 15));
        break;
    case StoredValue::Text:
        st.bindUtf8(index, std::string_view(v.text.constData(), size_t(v.text.size())));
        break;
    }
}
// What the repair lost, for its entry in the change log.
std::string rangesText(const std::vector<IdRange>& ranges) {
    QStringList parts;
    for (const IdRange& r : ranges)
        parts << (r.to == IdRange::kOpen ? QStringLiteral("ab %1").arg(r.from)
                  : r.from == r.to       ? QString::number(r.from)
                                         : QStringLiteral("%1-%2").arg(r.from).arg(r.to));
    return parts.join(QStringLiteral(", ")).toStdString();
}

std::string lossForm(const BookReader& reader, const SalvageReport& report) {
    std::string form;
    changelog::appendItem(form, "beschädigte Seiten", std::to_string(reader.damagedPages()));
    const auto lines = reader.lost(BookTable::Buchungen);
    if (!lines.empty())
        changelog::appendItem(form, "verlorene Zeilen", rangesText(lines));
    if (report.daysMade > 0)
        changelog::appendItem(form, "Tage neu angelegt", std::to_string(report.daysMade));
    if (!report.settingsKept)
        changelog::appendItem(form, "Einstellungen", "verloren, Grundeinstellungen");
    if (!report.logLost.empty())
        changelog::appendItem(form, "verlorene Einträge", rangesText(report.logLost));
    if (report.logBegun)
        changelog::appendItem(form, "Protokoll", "in der beschädigten Datei noch nicht geführt");
    for (const BookTable t : {BookTable::Beraterkonten, BookTable::Kontierung})
        if (reader.rootLost(t) || !reader.lost(t).empty()) {
            changelog::appendItem(form, "Konten für den Steuerberater",
                                  "ganz oder teilweise verloren");
            break;
        }
    return form;
}
} // namespace

Salvage::Outcome Salvage::rebuild(const QString& path, const QString& target, SalvageReport& report,
                                  Progress& progress, Result* why) {
    auto give = [&](Outcome o, const Result& r) {
        if (why)
            *why = r;
        return o;
    };
    Result unreadable;
    const auto pages = BookPages::open(path, cashfile::builtInPassword(), &unreadable);
    if (!pages)
        return give(Outcome::Unreadable, unreadable);
    BookReader reader(*pages);
    reader.survey(&progress);
    if (reader.foreign())
        return give(Outcome::Unreadable, finding(QStringLiteral("Die Datei ist kein Kassenbuch.")));

    const QByteArray key = cashfile::builtInPassword();
    // The change log comes from the damaged file: its triggers follow once every row is in.
    if (Result made = cashfile::createEmpty(target, key, false); !made.ok())
        return give(Outcome::Failed, made);
    Result opened;
    auto db = Database::open(target, key, &opened);
    if (!db)
        return give(Outcome::Failed, opened);
    if (Result made = changelog::createTable(*db); !made)
        return give(Outcome::Failed, made);
    const QStringList logColumns = columnsOf(*db, QStringLiteral("Protokoll"));
    Statement logInsert = db->prepare(insertInto(QStringLiteral("Protokoll"), logColumns, true));
    qint64 logWritten = 0;

    QStringList columns[kBookTables];
    std::vector<Statement> inserts;
    for (int t = 0; t < kBookTables; ++t) {
        if (t == kSequence || t == kProtokoll) {
            inserts.emplace_back();
            continue;
        }
        columns[t] = columnsOf(*db, kTables[t]);
        inserts.push_back(db->prepare(insertInto(kTables[t], columns[t], true)));
    }
    // A new book's settings row and booking text stand by for what may be lost.
    const auto defaultSettings = defaultsOf(*db, kTables[kEinstellungen], columns[kEinstellungen]);
    const auto defaultTexts = defaultsOf(*db, kTables[kBuchungstext], columns[kBuchungstext]);

    Transaction transaction(*db);
    if (Result emptied = db->exec(QStringLiteral("DELETE FROM Einstellungen; DELETE FROM "
                                                 "Buchungstext; DELETE FROM sqlite_sequence;"));
        !emptied)
        return give(Outcome::Failed, emptied);
    qint64 written[kBookTables] = {};
    std::map<QString, qint64> sequence;
    Result failure;
    reader.rows(
        [&](BookTable table, const StoredRow& row) {
            if (table == BookTable::Sequence) {
                sequence[QString::fromUtf8(row.values[0].text)] = row.values[1].integer;
                return;
            }
            if (table == BookTable::Protokoll) {
                // The entries as they were, their Pruefsumme as the bytes it is.
                logInsert.reset();
                logInsert.bind(1, row.id);
                for (int c = 1; c < logColumns.size(); ++c) {
                    const StoredValue v =
                        size_t(c) < row.values.size() ? row.values[size_t(c)] : StoredValue{};
                    if (logColumns[c] == QLatin1String("Pruefsumme") && v.kind == StoredValue::Text)
                        logInsert.bindBlob(c + 1, v.text);
                    else
                        bindValue(logInsert, c + 1, v);
                }
                if (!logInsert.run())
                    failure = logInsert.failure();
                else
                    logWritten += db->changes();
                return;
            }
            const int t = static_cast<int>(table);
            Statement& st = inserts[size_t(t)];
            st.reset();
            st.bind(1, row.id);
            for (int c = 1; c < columns[t].size(); ++c)
                bindValue(st, c + 1,
                          size_t(c) < row.values.size() ? row.values[size_t(c)] : StoredValue{});
            if (!st.run())
                failure = st.failure();
            else
                written[t] += db->changes();
        },
        &progress);
    if (!failure.ok())
        return give(Outcome::Failed, failure);
    if (written[kDatum] + written[kBuchungen] + written[kEinstellungen] + written[kBuchungstext] ==
        0)
        return give(Outcome::Unreadable,
                    finding(QStringLiteral("Aus der Datei konnte keine einzige Zeile gelesen "
                                           "werden.")));

    progress.begin(QStringLiteral("Die geretteten Daten werden vervollständigt …"));
    // Every line belongs to a day: a day whose record is lost is made anew from its lines.
    QStringList orphanDates;
    {
        Statement st = db->prepare(
            QStringLiteral("SELECT DISTINCT a10 FROM Buchungen WHERE a10 NOT IN (SELECT a1 "
                           "FROM Datum WHERE a1 IS NOT NULL);"));
        while (st.next())
            orphanDates << st.text(0);
    }
    Statement makeDay =
        db->prepare(QStringLiteral("INSERT OR IGNORE INTO Datum (a1, a2, a3) VALUES (?, ?, '');"));
    for (const QString& date : orphanDates) {
        if (!cashdate::fromText(date).isValid())
            continue;
        makeDay.reset();
        makeDay.bindAll({date, cashdate::key8(date)});
        if (makeDay.run())
            report.daysMade += db->changes();
    }
    report.daysLost = reader.rootLost(BookTable::Datum) || !reader.lost(BookTable::Datum).empty();

    // Lost booking texts are taken over from the lines that use them.
    report.textsLost =
        reader.rootLost(BookTable::Buchungstext) || !reader.lost(BookTable::Buchungstext).empty();
    if (report.textsLost &&
        db->exec(QStringLiteral("INSERT INTO Buchungstext (a1) SELECT DISTINCT n1 FROM Buchungen "
                                "WHERE n1 IS NOT NULL AND n1 <> '' AND n1 NOT IN (SELECT a1 FROM "
                                "Buchungstext WHERE a1 IS NOT NULL);")))
        report.textsAdded = db->changes();
    auto putBack = [&](int t, const std::vector<QStringList>& rows) {
        Statement st = db->prepare(insertInto(kTables[t], columns[t].mid(1), false));
        for (const QStringList& r : rows) {
            st.reset();
            st.bindAll(r);
            if (st.run())
                ++written[t];
        }
    };
    report.texts = written[kBuchungstext];
    if (written[kBuchungstext] + report.textsAdded == 0)
        putBack(kBuchungstext, defaultTexts);

    // A lost settings row: the defaults of a new book, and the receipt numbers go on.
    report.settingsKept = written[kEinstellungen] > 0;
    if (!report.settingsKept) {
        putBack(kEinstellungen, defaultSettings);
        const QString last = db->scalar(QStringLiteral(
            "SELECT max(CAST(a8 AS INTEGER)) FROM Buchungen WHERE a8 GLOB '[0-9]*';"));
        if (!last.isEmpty()) {
            report.nextReceipt = QString::number(last.toLongLong() + 1);
            Statement st = db->prepare(QStringLiteral("UPDATE Einstellungen SET Einst19 = ?;"));
            st.bind(1, report.nextReceipt);
            st.run();
        }
    }

    // No ID is handed out again, not even one of a lost row; nor the number of a lost entry
    // of the change log, whose gap the check of the log then shows.
    for (int t = 0; t < kBookTables; ++t) {
        if (t == kSequence)
            continue;
        const BookTable table = static_cast<BookTable>(t);
        const QString& name = kTables[t];
        qint64 highest = sequence.count(name) ? sequence[name] : 0;
        for (const IdRange& r : reader.lost(table))
            if (r.to != IdRange::kOpen)
                highest = std::max(highest, r.to);
        Statement up = db->prepare(
            QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?;"));
        up.bind(1, highest);
        up.bind(2, name);
        up.run();
        if (db->changes() == 0 && highest > 0) {
            Statement add = db->prepare(
                QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?);"));
            add.bind(1, name);
            add.bind(2, highest);
            add.run();
        }
    }

    // From here on every write is logged; the repair itself is the next entry, and a new
    // starting point: the book as the repair left it.
    report.logEntries = logWritten;
    report.logBegun = !reader.rootLost(BookTable::Protokoll) && reader.schemaWhole() &&
                      logWritten == 0 && reader.lost(BookTable::Protokoll).empty();
    for (IdRange r : reader.lost(BookTable::Protokoll)) {
        if (r.to == IdRange::kOpen)
            r.to = sequence.count(QStringLiteral("Protokoll")) ? sequence["Protokoll"] : r.from;
        if (r.from <= r.to)
            report.logLost.push_back(r);
    }
    {
        const auto state = changelog::bookState(*db);
        if (!state)
            return give(Outcome::Failed, db->failureTold(QString()));
        if (Result installed = changelog::installTriggers(*db); !installed)
            return give(Outcome::Failed, installed);
        changelog::ReasonScope scope(*db, changelog::Reason::Repair);
        changelog::NewEntry e;
        e.kind = changelog::Kind::Repair;
        e.reason = changelog::Reason::Repair;
        e.before = lossForm(reader, report);
        e.after = state->form();
        if (Result logged = changelog::append(*db, e); !logged)
            return give(Outcome::Failed, logged);
    }
    if (!transaction.commit())
        return give(Outcome::Failed, db->lastFailure());

    progress.begin(QStringLiteral("Die laufenden Bestände werden neu berechnet …"));
    const Money floatAmount = Money::parseOrZero(
        db->scalar(QStringLiteral("SELECT Einst15 FROM Einstellungen ORDER BY ID LIMIT 1;")));
    if (!RunningBalance::fullWalk(*db, floatAmount).ok())
        return give(Outcome::Failed, db->lastFailure());

    // What the report says.
    report.lines = written[kBuchungen];
    report.days = written[kDatum];
    report.damagedPages = reader.damagedPages();
    const qint64 lastId =
        sequence.count(kTables[kBuchungen])
            ? sequence[kTables[kBuchungen]]
            : db->scalar(QStringLiteral("SELECT max(ID) FROM Buchungen;")).toLongLong();
    const bool sequenceKnown = sequence.count(kTables[kBuchungen]) > 0;
    for (IdRange r : reader.lost(BookTable::Buchungen)) {
        if (r.to == IdRange::kOpen && sequenceKnown)
            r.to = lastId;
        if (r.from > r.to)
            continue;
        SalvageReport::LostLines lost{r, {}, {}};
        lost.before = db->scalar(
            QStringLiteral("SELECT a10 FROM Buchungen WHERE ID < ? ORDER BY ID DESC LIMIT 1;"),
            {QString::number(r.from)});
        if (r.to != IdRange::kOpen)
            lost.after = db->scalar(
                QStringLiteral("SELECT a10 FROM Buchungen WHERE ID > ? ORDER BY ID LIMIT 1;"),
                {QString::number(r.to)});
        report.linesLost.push_back(lost);
    }
    const auto counts = cashfile::countRows(*db);
    if (!counts)
        return give(Outcome::Failed, db->lastFailure());
    report.written = *counts;
    return Outcome::Written;
}

QString SalvageReport::text(const QString& path, qint64 size) const {
    QString t = QStringLiteral("Die Datenbank\n%1\nwar beschädigt: %2 ihrer Seiten konnten "
                               "nicht gelesen werden. Gerettet wurde, was auf den übrigen "
                               "Seiten stand.\n\n")
                    .arg(path)
                    .arg(damagedPages);
    t += QStringLiteral("Buchungszeilen: %1 gerettet.").arg(lines);
    if (linesLost.empty()) {
        t += QStringLiteral(" Keine Zeile ist verloren.\n");
    } else {
        t += QStringLiteral(" Verloren sind:\n");
        // The box must stay on the screen: the first ranges, then how many more.
        constexpr size_t kShown = 8;
        for (size_t i = 0; i < linesLost.size() && i < kShown; ++i) {
            const LostLines& l = linesLost[i];
            QString ids =
                l.ids.to == IdRange::kOpen ? QStringLiteral("die Zeilen ab ID %1").arg(l.ids.from)
                : l.ids.from == l.ids.to
                    ? QStringLiteral("die Zeile mit ID %1").arg(l.ids.from)
                    : QStringLiteral("die Zeilen mit ID %1 bis %2").arg(l.ids.from).arg(l.ids.to);
            if (l.ids.maybe)
                ids = QStringLiteral("möglicherweise einzelne ") + ids.mid(4);
            QString when;
            if (!l.before.isEmpty() && !l.after.isEmpty())
                when = QStringLiteral(" (eingegeben zwischen den Zeilen vom %1 und vom %2)")
                           .arg(l.before, l.after);
            else if (!l.before.isEmpty())
                when = QStringLiteral(" (eingegeben nach der Zeile vom %1)").arg(l.before);
            else if (!l.after.isEmpty())
                when = QStringLiteral(" (eingegeben vor der Zeile vom %1)").arg(l.after);
            t += QStringLiteral("- ") + ids + when + QLatin1Char('\n');
        }
        if (linesLost.size() > kShown)
            t += QStringLiteral("- und %1 weitere Bereiche\n").arg(linesLost.size() - kShown);
    }
    t += QStringLiteral("Tage: %1 gerettet").arg(days);
    if (daysMade > 0)
        t += QStringLiteral(", %1 aus dem Datum ihrer Zeilen neu angelegt").arg(daysMade);
    t += daysLost ? QStringLiteral("; Tage ohne Buchungszeilen können fehlen.\n")
                  : QStringLiteral(".\n");
    if (settingsKept) {
        t += QStringLiteral("Einstellungen: erhalten.\n");
    } else {
        t += QStringLiteral("Einstellungen: verloren. Es gelten die Grundeinstellungen eines "
                            "neuen Kassenbuchs");
        if (!nextReceipt.isEmpty())
            t += QStringLiteral(" mit der nächsten Beleg-Nr. %1").arg(nextReceipt);
        t += QStringLiteral("; bitte prüfen Sie Vorgaben, Kassenbestand und Passwort.\n");
    }
    t += QStringLiteral("Buchungstexte: %1 gerettet").arg(texts);
    if (textsAdded > 0)
        t += QStringLiteral(", %1 aus den Buchungszeilen übernommen").arg(textsAdded);
    t += textsLost && textsAdded == 0 ? QStringLiteral("; einige können fehlen.\n")
                                      : QStringLiteral(".\n");
    if (logBegun) {
        t += QStringLiteral("Änderungsprotokoll: in der beschädigten Datei noch nicht geführt; "
                            "es beginnt mit der Reparatur.\n");
    } else {
        t += QStringLiteral("Änderungsprotokoll: %1 Einträge gerettet").arg(logEntries);
        t += logLost.empty()
                 ? QStringLiteral(".\n")
                 : QStringLiteral("; verloren sind die Einträge Nr. %1. Die Prüfung des "
                                  "Protokolls zeigt diese Lücke.\n")
                       .arg(QString::fromStdString(rangesText(logLost)));
    }
    t += QStringLiteral("Die Reparatur ist im Änderungsprotokoll vermerkt.\n");
    t += QStringLiteral("Die laufenden Bestände aller Zeilen wurden aus den geretteten Zeilen "
                        "neu berechnet.\n\n");
    t += QStringLiteral("Die beschädigte Datei bleibt als\n%1\nerhalten.\n\n").arg(keptAs);
    t += QStringLiteral("Dateigröße: ") + QString::number(size) +
         QStringLiteral(" repariert und komprimiert. Bitte starten Sie Tillbook neu.");
    return t;
}

} // namespace tb
