#include "data_correction.h"

#include "cash_date.h"
#include "change_log.h"

namespace tb {

DataCorrection::Result DataCorrection::correct(Database& db) {
    Result r;
    changelog::ReasonScope reason(db, changelog::Reason::DataCorrection);
    Transaction t(db);
    if (!t.isActive())
        return r;
    Statement all = db.prepare(QStringLiteral("Select ID, a10, a11, a15 from Buchungen;"));
    struct Line {
        qint64 id;
        bool undated;
        QString key;
        bool keyChanged;
        bool emptyBalance;
    };
    std::vector<Line> lines;
    while (all.next()) {
        const QString date = all.text(1);
        const bool undated = all.isNull(1) || date.isEmpty();
        const QString key = cashdate::key8(date);
        lines.push_back({all.integer(0), undated, key, !undated && all.text(2) != key,
                         !undated && all.text(3).isEmpty()});
    }
    if (!all.error().isEmpty())
        return r;
    Statement remove = db.prepare(QStringLiteral("DELETE FROM Buchungen WHERE ID = ?;"));
    Statement setKey = db.prepare(QStringLiteral("UPDATE Buchungen SET a11 = ? WHERE ID = ?;"));
    Statement setBalance =
        db.prepare(QStringLiteral("UPDATE Buchungen SET a15 = '0' WHERE ID = ?;"));
    for (const Line& l : lines) {
        bool ok = true;
        if (l.undated) {
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
            return Result{}; // rolled back: nothing changed
    }
    // The correction as a whole, beside the entries of the lines it changed.
    changelog::NewEntry whole{changelog::Kind::DataCorrection, changelog::Reason::DataCorrection};
    changelog::appendItem(whole.after, "Zeilen ohne Datum entfernt", std::to_string(r.removed));
    changelog::appendItem(whole.after, "Datumsschlüssel neu", std::to_string(r.rebuilt));
    changelog::appendItem(whole.after, "Bestände auf 0", std::to_string(r.filled));
    r.ok = changelog::append(db, whole) && t.commit();
    if (!r.ok)
        return Result{};
    return r;
}

DataCorrection::Result DataCorrection::run(DataView& grid, Dialogs& dialogs) {
    Result r;
    if (Database* db = grid.database())
        r = correct(*db);
    grid.setSource(QStringLiteral("Select * from Buchungen "));
    grid.refresh();
    grid.moveFirst();
    QString text = QStringLiteral("Daten korrigiert");
    if (r.ok)
        text += QStringLiteral("\n%1 Zeilen ohne Datum entfernt, %2 Datumsschlüssel neu "
                               "geschrieben.")
                    .arg(r.removed)
                    .arg(r.rebuilt);
    else
        text += QStringLiteral("\nDie Korrektur konnte nicht gespeichert werden; es wurde nichts "
                               "geändert.");
    dialogs.message(text, QStringLiteral("Merowa"), Icon::Information);
    return r;
}

} // namespace tb
