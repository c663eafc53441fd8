#include "cash_days.h"

#include "cash_date.h"
#include "change_log.h"

namespace tb {

CashDays::CashDays(Database* db, Dialogs& dialogs, Clock& clock)
    : db_(db), dialogs_(dialogs), clock_(clock), view_(db, schema::Days::table, daySource()) {
    QObject::connect(view_.changes(), &DataViewSignals::currentChanged, [this] { dayChanged(); });
}

void CashDays::dayChanged() {
    currentDayId_ = view_.id();
    if (onDayChanged)
        onDayChanged();
}

void CashDays::refresh() {
    view_.setSource(daySource());
    view_.refresh();
}

void CashDays::storeDayAmount(Money amount) {
    const QString text = amount.toText();
    if (view_.atEnd() || view_.value(schema::Days::amount) == text)
        return;
    view_.setValue(schema::Days::amount, text);
    view_.update();
}

bool CashDays::insertDay(const QString& date) {
    if (!db_ || !cashdate::fromText(date).isValid())
        return false;
    // One statement: the check and the insert cannot be split by a second request.
    Statement st =
        db_->prepare(QStringLiteral("INSERT INTO Datum (a1, a2, a3) SELECT ?1, ?2, '' "
                                    "WHERE NOT EXISTS (SELECT 1 FROM Datum WHERE a1 = ?1);"));
    st.bind(1, date);
    st.bind(2, cashdate::key8(date));
    st.run();
    return db_->scalar(QStringLiteral("SELECT count(*) FROM Datum WHERE a1 = ?;"), {date}) !=
           QLatin1String("0");
}

CashDays::FindOutcome CashDays::findOrCreate() {
    QDate picked = clock_.today();
    if (dialogs_.getDate(picked))
        selectedDate_ = cashdate::toText(picked);

    if (selectedDate_.isEmpty())
        return FindOutcome::Nothing;
    if (!view_.atEnd() && currentDate() == selectedDate_)
        return FindOutcome::Existing;
    if (mayChangeDay && !mayChangeDay())
        return FindOutcome::Kept;
    if (view_.findFirstEquals(schema::Days::date, selectedDate_))
        return FindOutcome::Existing;

    const Answer a = dialogs_.message(
        QStringLiteral("Soll der ") + selectedDate_ + QStringLiteral(" angelegt werden ?"),
        selectedDate_ + QStringLiteral(" nicht vorhanden"), Icon::Information, Buttons::YesNo);
    if (a != Answer::Yes)
        return FindOutcome::Declined;
    selectOrCreate(selectedDate_);
    return FindOutcome::Created;
}

void CashDays::selectOrCreate(const QString& date) {
    if (view_.findFirstEquals(schema::Days::date, date))
        return;
    insertDay(date);
    refresh();
    view_.findFirstEquals(schema::Days::date, date);
}

QDate CashDays::businessDate(const QDateTime& now) {
    return now.time().hour() < 5 ? now.date().addDays(-1) : now.date();
}

bool CashDays::ensureBusinessDay() {
    const QDateTime now = clock_.now();
    if (now.time().hour() >= 5)
        return false;
    const QString before = currentDate();
    selectOrCreate(cashdate::toText(businessDate(now)));
    return currentDate() != before;
}

CashDays::DeleteOutcome CashDays::deleteDay(AccessGuard& guard) {
    if (!guard.allow())
        return DeleteOutcome::NotAllowed;
    if (view_.recordCount() == 1) {
        dialogs_.message(QStringLiteral("dieser Datensatz kann erst gelöscht werden, wenn ein "
                                        "neuer Tag angelegt ist"),
                         {}, Icon::Information);
        return DeleteOutcome::OnlyDay;
    }
    const QString date = currentDate();
    if (view_.atEnd())
        return DeleteOutcome::Declined;
    const QString lines =
        db_->scalar(QStringLiteral("SELECT count(*) FROM Buchungen WHERE a10 = ?;"), {date});
    if (lines != QLatin1String("0")) {
        dialogs_.message(QStringLiteral("Der ") + date +
                             QStringLiteral(" kann nicht gelöscht werden, da an diesem Tag "
                                            "Einträge vorhanden sind"),
                         {}, Icon::Information);
        return DeleteOutcome::HasLines;
    }
    if (dialogs_.message(QStringLiteral("Soll der ") + date + QStringLiteral(" gelöscht werden ?"),
                         QStringLiteral("Tag löschen"), Icon::Exclamation,
                         Buttons::YesNo) != Answer::Yes)
        return DeleteOutcome::Declined;
    {
        changelog::ReasonScope reason(db_, changelog::Reason::DayDeletion);
        view_.remove();
    }
    refresh();
    return DeleteOutcome::Deleted;
}

} // namespace tb
