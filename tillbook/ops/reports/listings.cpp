#include "listings.h"

#include "cash_date.h"
#include "data_correction.h"
#include "jet_functions.h"
#include "schema.h"

namespace tb {

namespace {
// The date key of a line, as the statements have always computed it.
const QString kKey = QStringLiteral("(Val(Mid$(a10, 7, 4)) * 10000) + (Val(Mid$(a10, 4, 2)) * "
                                    "100) + (Val(Left$(a10,  2)))");
const QString kOrder = QStringLiteral("order by mid(a10, 7,4), mid(a10, 4,2), mid(a10, 1,2), ID;");
} // namespace

QString listingKindText(ListingKind kind) {
    switch (kind) {
    case ListingKind::Tag:
        return QStringLiteral("Tag");
    case ListingKind::Auswahl:
        return QStringLiteral("Auswahl");
    case ListingKind::Kategorie:
        return QStringLiteral("Kategorie");
    case ListingKind::Alle:
        return QStringLiteral("alle");
    case ListingKind::Zeitraum:
        return QStringLiteral("Zeitraum");
    }
    return {};
}

QString Listings::periodSql(bool ordered) {
    return QStringLiteral("Select * from Buchungen where ") + kKey +
           QStringLiteral(" <= (?) and ") + kKey + QStringLiteral(" >= (?)") +
           (ordered ? kOrder : QStringLiteral(";"));
}

QString Listings::textSql(bool ordered) {
    return QStringLiteral("Select * from Buchungen WHERE n1 = (?) and a12 = (?) and ") + kKey +
           QStringLiteral(" <= (?) and ") + kKey + QStringLiteral(" >= (?)") +
           (ordered ? kOrder : QStringLiteral(";"));
}

qint64 Listings::boundKey(const QString& date) {
    return static_cast<qint64>(jet::val(cashdate::key8(date)));
}

void Listings::setPeriod(const QString& start, const QString& end) {
    start_ = start;
    end_ = end;
}

void Listings::dayShown() {
    shown_ = ListingKind::Tag;
    shownText_.clear();
}

void Listings::dayChosen() {
    kind_ = ListingKind::Tag;
    selected_.clear();
    dayShown();
}

void Listings::allTimes() {
    start_ = defaultStart();
    end_ = defaultEnd();
    kind_ = ListingKind::Alle;
}

bool Listings::pickStart(Dialogs& dialogs, const Clock& clock) {
    QDate d = clock.today();
    const bool chosen = dialogs.getDate(d);
    if (chosen)
        start_ = cashdate::toText(d);
    kind_ = ListingKind::Zeitraum;
    return chosen;
}

bool Listings::pickEnd(Dialogs& dialogs, const Clock& clock) {
    QDate d = clock.today();
    const bool chosen = dialogs.getDate(d);
    if (chosen)
        end_ = cashdate::toText(d);
    return chosen;
}

Listings::Outcome Listings::listPeriod(DataView& grid, Dialogs& dialogs) {
    kind_ = ListingKind::Auswahl;
    selected_.clear();
    shown_ = ListingKind::Auswahl;
    shownText_.clear();
    shownStart_ = start_;
    shownEnd_ = end_;
    Database* db = grid.database();
    // A line without a date is what made this listing fail; the correction takes its place.
    const bool undated =
        db && db->scalar(QStringLiteral("SELECT count(*) FROM Buchungen WHERE a10 IS NULL OR "
                                        "a10 = '';")) != QLatin1String("0");
    grid.setSourceValues(periodSql(false), {boundKey(end_), boundKey(start_)},
                         DataView::Order::ByLineOrder);
    if (undated || !grid.refresh()) {
        DataCorrection::run(grid, dialogs);
        return Outcome::Corrected;
    }
    return Outcome::Listed;
}

Listings::Outcome Listings::listText(DataView& grid, const QString& text, Dialogs& dialogs) {
    kind_ = ListingKind::Kategorie;
    selected_ = text;
    if (text.isEmpty()) {
        dialogs.message(QStringLiteral("Bitte selektieren Sie zunächst den Kunden"),
                        QStringLiteral("Merowa"), Icon::Exclamation);
        return Outcome::Refused;
    }
    if (text == QLatin1String(" alle"))
        grid.setSourceValues(periodSql(false), {boundKey(end_), boundKey(start_)},
                             DataView::Order::ByLineOrder);
    else
        grid.setSourceValues(textSql(false),
                             {text, QStringLiteral("O"), boundKey(end_), boundKey(start_)},
                             DataView::Order::ByLineOrder);
    grid.refresh();
    shown_ = ListingKind::Kategorie;
    shownText_ = text;
    shownStart_ = start_;
    shownEnd_ = end_;
    return Outcome::Listed;
}

std::optional<Money> Listings::carriedIn(const DataView& grid, Database& db, Money floatAmount) {
    if (grid.isEmpty())
        return std::nullopt;
    const QString stored = grid.valueAt(0, schema::Lines::balance);
    if (stored.isEmpty())
        return balanceBefore(db, grid.valueAt(0, schema::Lines::date), grid.idAt(0), floatAmount);
    return carriedInBalance(grid);
}

ListingState Listings::state(const QString& dayDate, const Money& carried,
                             const DayTotals& totals) const {
    ListingState s;
    s.kind = shown_;
    const bool listed = shown_ != ListingKind::Tag;
    s.periodStart = listed ? shownStart_ : start_;
    s.periodEnd = listed ? shownEnd_ : end_;
    s.dayDate = dayDate;
    s.selectedText = shownText_;
    s.carriedIn = carried;
    s.totals = totals;
    return s;
}

} // namespace tb
