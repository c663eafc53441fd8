#include "cancellation.h"

#include "cash_date.h"
#include "change_log.h"
#include "money.h"

namespace tb {

QString Cancellation::negated(const QString& amount) {
    if (amount.isEmpty())
        return {};
    // A marker letter has no number to negate; it stays as it is.
    const auto m = Money::parse(amount);
    return m ? (-*m).toText() : amount;
}

Cancellation::Outcome Cancellation::cancel(DataView& lines, const QString& panelRate,
                                           const QString& dayDate) {
    if (lines.atEnd() || lines.isAdding())
        return Outcome::Declined;
    const QString status = lines.value(QStringLiteral("a1"));
    if (status == QLatin1String("S")) {
        dialogs_.message(QStringLiteral("Dieser Eintrag wurde bereits storniert"), {},
                         Icon::Information);
        return Outcome::AlreadyCancelled;
    }
    if (status == QLatin1String("Storno")) {
        dialogs_.message(QStringLiteral("Dieser Eintrag ist bereits eine Stornerung"), {},
                         Icon::Information);
        return Outcome::IsCounterEntry;
    }
    if (dialogs_.message(QStringLiteral("Soll die markiere Eintrag storniert werden ?"),
                         QStringLiteral("Eintrag stornieren"), Icon::Exclamation,
                         Buttons::YesNo) != Answer::Yes)
        return Outcome::Declined;

    const qint64 id = lines.id();
    auto v = [&](const char* c) { return lines.value(QLatin1String(c)); };
    settings_.reload();
    const QString entryDate = cashdate::toText(clock_.today());
    if (balanceGuard_ &&
        !balanceGuard_->allowsCounterEntry(entryDate, v("a4"), v("a5"),
                                           Money::parseOrZero(settings_.floatText())))
        return Outcome::Declined;
    bool numberOk = false;
    qint64 n = settings_.nextReceipt().toLongLong(&numberOk);
    if (!numberOk)
        n = 0;

    changelog::ReasonScope reason(db_, changelog::Reason::Cancellation);
    Transaction t(db_);
    Statement mark = db_.prepare(QStringLiteral("UPDATE Buchungen SET a1 = 'S' WHERE ID = ?;"));
    mark.bind(1, id);
    Statement add = db_.prepare(
        QStringLiteral("INSERT INTO Buchungen (a1, n1, n2, a3, a4, a5, a6, a7, a8, a10, a13, a14) "
                       "VALUES ('Storno', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);"));
    add.bindAll({QStringLiteral("STORNO  ") + v("n1"),
                 QStringLiteral("Beleg ") + v("a8") + QStringLiteral(" vom ") + dayDate, v("a3"),
                 negated(v("a4")), negated(v("a5")), panelRate, negated(v("a7")),
                 QString::number(n), entryDate, negated(v("a13")), negated(v("a14"))});
    settings_.setNextReceipt(QString::number(n + 1));
    const bool ok = t.isActive() && mark.run() && db_.changes() == 1 && add.run() &&
                    settings_.save() && t.commit();
    if (!ok) {
        settings_.reload();
        dialogs_.message(QStringLiteral("Die Stornierung konnte nicht gespeichert werden. Es "
                                        "wurde nichts geändert."),
                         QStringLiteral("Fehler"), Icon::Critical);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Cancellation::DeleteOutcome Cancellation::deleteLine(DataView& lines, AccessGuard& guard) {
    if (!guard.allow())
        return DeleteOutcome::NotAllowed;
    if (dialogs_.message(QStringLiteral("Soll die markiere Zeile gelöscht werden ?"),
                         QStringLiteral("Zeile löschen"), Icon::Exclamation,
                         Buttons::YesNo) != Answer::Yes)
        return DeleteOutcome::Declined;
    QString error;
    changelog::ReasonScope reason(lines.database(), changelog::Reason::LineDeletion);
    if (lines.isAdding() || !lines.remove(&error)) {
        dialogs_.message(QStringLiteral("Die Zeile konnte nicht gelöscht werden.") +
                             (error.isEmpty() ? QString() : QLatin1Char('\n') + error),
                         QStringLiteral("Fehler"), Icon::Critical);
        return DeleteOutcome::Failed;
    }
    return DeleteOutcome::Deleted;
}

} // namespace tb
