#include "cancellation.h"

#include "booking_line.h"
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
    const BookingLine line = BookingLine::read(lines);
    const QString& status = line.status;
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

    settings_.reload();
    const QString entryDate = cashdate::toText(clock_.today());
    if (balanceGuard_ &&
        !balanceGuard_->allowsCounterEntry(entryDate, line.receipt, line.payment,
                                           Money::parseOrZero(settings_.floatText())))
        return Outcome::Declined;
    bool numberOk = false;
    qint64 n = settings_.nextReceipt().toLongLong(&numberOk);
    if (!numberOk)
        n = 0;

    using schema::Lines;
    LineWrite counter;
    counter.set(Lines::status, QStringLiteral("Storno"))
        .set(Lines::text, QStringLiteral("STORNO  ") + line.text)
        .set(Lines::remark,
             QStringLiteral("Beleg ") + line.number + QStringLiteral(" vom ") + dayDate)
        .set(Lines::done, line.done)
        .set(Lines::receipt, negated(line.receipt))
        .set(Lines::payment, negated(line.payment))
        .set(Lines::rate, panelRate)
        .set(Lines::vat, negated(line.vat))
        .set(Lines::number, QString::number(n))
        .set(Lines::date, entryDate)
        .set(Lines::vat2, negated(line.vat2))
        .set(Lines::vat1, negated(line.vat1));
    settings_.setNextReceipt(QString::number(n + 1));
    changelog::ReasonScope reason(db_, changelog::Reason::Cancellation);
    Transaction t(db_);
    const bool ok = t.isActive() &&
                    LineWrite().set(Lines::status, QStringLiteral("S")).update(db_, line.id) &&
                    counter.insert(db_) && settings_.save() && t.commit();
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
    changelog::ReasonScope reason(lines.database(), changelog::Reason::LineDeletion);
    const Result removed = lines.isAdding() ? Result{} : lines.remove();
    if (lines.isAdding() || !removed) {
        const QString error = germanText(removed);
        dialogs_.message(QStringLiteral("Die Zeile konnte nicht gelöscht werden.") +
                             (error.isEmpty() ? QString() : QLatin1Char('\n') + error),
                         QStringLiteral("Fehler"), Icon::Critical);
        return DeleteOutcome::Failed;
    }
    return DeleteOutcome::Deleted;
}

} // namespace tb
