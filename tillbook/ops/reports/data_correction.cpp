#include "data_correction.h"

#include "cash_date.h"
#include "change_log.h"
#include "money.h"

namespace tb {

namespace {
const QString kUndated = QStringLiteral("a10 IS NULL OR a10 = ''");

bool carriesAmount(const QString& receipt, const QString& payment) {
    return countedAmount(receipt).has_value() || countedAmount(payment).has_value();
}
} // namespace

QStringList DataCorrection::undatedWithAmounts(Database& db) {
    QStringList out;
    Statement st = db.prepare(QStringLiteral("SELECT a8, n1, a4, a5 FROM Buchungen WHERE ") +
                              kUndated + QStringLiteral(" ORDER BY ID;"));
    while (st.next()) {
        const QString receipt = st.text(2);
        const QString payment = st.text(3);
        if (!carriesAmount(receipt, payment))
            continue;
        QString line = QStringLiteral("Beleg ") +
                       (st.text(0).isEmpty() ? QStringLiteral("-") : st.text(0)) +
                       QStringLiteral("  ") + st.text(1);
        if (!receipt.isEmpty())
            line += QStringLiteral("  Einnahme ") + receipt;
        if (!payment.isEmpty())
            line += QStringLiteral("  Ausgabe ") + payment;
        out << line;
    }
    return out;
}

DataCorrection::Report DataCorrection::correct(Database& db, bool removeAmounts) {
    Report r;
    changelog::ReasonScope reason(db, changelog::Reason::DataCorrection);
    auto failed = [&db] {
        Report nothing; // rolled back: nothing changed
        nothing.failure = db.failureTold({});
        return nothing;
    };
    Transaction t(db);
    if (!t.isActive())
        return failed();
    Statement all = db.prepare(QStringLiteral("Select ID, a10, a11, a15, a4, a5 from Buchungen;"));
    struct Line {
        qint64 id;
        bool undated;
        bool keep;
        QString key;
        bool keyChanged;
        bool emptyBalance;
    };
    std::vector<Line> lines;
    while (all.next()) {
        const QString date = all.text(1);
        const bool undated = all.isNull(1) || date.isEmpty();
        const bool keep = undated && !removeAmounts && carriesAmount(all.text(4), all.text(5));
        const QString key = cashdate::key8(date);
        lines.push_back({all.integer(0), undated, keep, key, !undated && all.text(2) != key,
                         !undated && all.text(3).isEmpty()});
    }
    if (!all.failure().ok()) {
        r.failure = all.failure();
        return r;
    }
    Statement remove = db.prepare(QStringLiteral("DELETE FROM Buchungen WHERE ID = ?;"));
    Statement setKey = db.prepare(QStringLiteral("UPDATE Buchungen SET a11 = ? WHERE ID = ?;"));
    Statement setBalance =
        db.prepare(QStringLiteral("UPDATE Buchungen SET a15 = '0' WHERE ID = ?;"));
    for (const Line& l : lines) {
        bool ok = true;
        if (l.keep) {
            ++r.kept;
        } else if (l.undated) {
            remove.bind(1, l.id);
            ok = remove.run();
            remove.reset();
            r.removed += ok ? 1 : 0;
        } else {
            if (l.keyChanged) {
                setKey.bind(1, l.key);
                setKey.bind(2, l.id);
                ok = setKey.run();
                setKey.reset();
                r.rebuilt += ok ? 1 : 0;
            }
            if (ok && l.emptyBalance) {
                setBalance.bind(1, l.id);
                ok = setBalance.run();
                setBalance.reset();
                r.filled += ok ? 1 : 0;
            }
        }
        if (!ok)
            return failed();
    }
    // The correction as a whole, beside the entries of the lines it changed.
    changelog::NewEntry whole{changelog::Kind::DataCorrection, changelog::Reason::DataCorrection};
    changelog::appendItem(whole.after, "Zeilen ohne Datum entfernt", std::to_string(r.removed));
    changelog::appendItem(whole.after, "Datumsschlüssel neu", std::to_string(r.rebuilt));
    changelog::appendItem(whole.after, "Bestände auf 0", std::to_string(r.filled));
    if (r.kept > 0)
        changelog::appendItem(whole.after, "Zeilen ohne Datum mit Betrag behalten",
                              std::to_string(r.kept));
    if (Result logged = changelog::append(db, whole); !logged) {
        Report nothing;
        nothing.failure = logged;
        return nothing;
    }
    if (!t.commit())
        return failed();
    r.failure = {};
    return r;
}

DataCorrection::Report DataCorrection::run(DataView& grid, Dialogs& dialogs) {
    Report r;
    if (Database* db = grid.database()) {
        bool removeAmounts = false;
        const QStringList withAmounts = undatedWithAmounts(*db);
        if (!withAmounts.isEmpty()) {
            constexpr int kShown = 20;
            QString text = QStringLiteral("Diese Zeilen haben kein Datum, tragen aber einen "
                                          "Betrag:\n\n") +
                           withAmounts.mid(0, kShown).join(QLatin1Char('\n'));
            if (withAmounts.size() > kShown)
                text += QStringLiteral("\n... und %1 weitere").arg(withAmounts.size() - kShown);
            text += QStringLiteral("\n\nSollen diese Zeilen mit ihren Beträgen gelöscht "
                                   "werden ?");
            removeAmounts = dialogs.message(text, QStringLiteral("Datenkorrektur"),
                                            Icon::Exclamation, Buttons::YesNo) == Answer::Yes;
        }
        r = correct(*db, removeAmounts);
    }
    grid.setSource(QStringLiteral("Select * from Buchungen "));
    grid.refresh();
    grid.moveFirst();
    QString text = QStringLiteral("Daten korrigiert");
    if (r.ok()) {
        text += QStringLiteral("\n%1 Zeilen ohne Datum entfernt, %2 Datumsschlüssel neu "
                               "geschrieben.")
                    .arg(r.removed)
                    .arg(r.rebuilt);
        if (r.kept > 0)
            text +=
                QStringLiteral("\n%1 Zeilen ohne Datum mit Betrag wurden behalten.").arg(r.kept);
    } else {
        text += QStringLiteral("\nDie Korrektur konnte nicht gespeichert werden; es wurde nichts "
                               "geändert.");
    }
    dialogs.message(text, QStringLiteral("Merowa"), Icon::Information);
    return r;
}

} // namespace tb
