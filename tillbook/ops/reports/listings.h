#pragma once

#include "clock.h"
#include "data_view.h"
#include "day_view.h"
#include "dialogs.h"
#include "money.h"

#include <QString>

namespace tb {

// What the line grid lists: one day, all lines of a period, the lines of one booking text, or
// the two marks that the period was reset or its start touched.
enum class ListingKind { Tag, Auswahl, Kategorie, Alle, Zeitraum };
QString listingKindText(ListingKind kind); // "Tag", "Auswahl", "Kategorie", "alle", "Zeitraum"

// What the line grid shows now, all the printout and the export read besides the rows.
struct ListingState {
    ListingKind kind = ListingKind::Tag;
    QString periodStart;
    QString periodEnd;
    QString dayDate;      // the current cash-book day
    QString selectedText; // the booking-text selector's text
    Money carriedIn;      // "Kassenbestand vom  Vortag:"
    DayTotals totals;     // the column totals under the grid
};

// The query frame's rules: the period, the period listing, the booking-text listing, the
// carried-in balance of a listing, and the listing kind.
class Listings {
  public:
    static QString defaultStart() { return QStringLiteral("01.01.2012"); }
    static QString defaultEnd() { return QStringLiteral("31.12.2099"); }

    // The period statement and the booking-text statement, as the cash book has always run
    // them, with the bounds (and the booking text) bound: the bounds as the numbers the date
    // keys are compared with, the text exactly as it stands. The grids read them without the
    // order clause and sort the rows themselves into the same order (date, then ID): the
    // engine would sort on text functions of every line.
    static QString periodSql(bool ordered = true);
    static QString textSql(bool ordered = true);
    // The date key of a bound as the number the range test compares (yyyymmdd by position).
    static qint64 boundKey(const QString& date);

    ListingKind kind() const { return kind_; }
    QString kindText() const { return listingKindText(kind_); }
    const QString& periodStart() const { return start_; }
    const QString& periodEnd() const { return end_; }
    void setPeriod(const QString& start, const QString& end);
    const QString& selectedText() const { return selected_; }

    // What the grid lists now (Tag, Auswahl or Kategorie) and the text of a text listing: the
    // printout and the export are named, titled and fed by it, whatever the kind became since.
    ListingKind shownKind() const { return shown_; }
    const QString& shownText() const { return shownText_; }
    // Every activation of the main window: the kind is again the one of what the grid lists
    // (the day, unless a listing still stands in the grid).
    void followGrid() { kind_ = shown_; }
    // The grid was pointed at the lines of the current day.
    void dayShown();
    // A click in the day list: the day, and the selector cleared.
    void dayChosen();
    // "alle Zeiten": the period covers every date; the list itself is not changed.
    void allTimes();
    // A click on the period start: the calendar with today preset and no title; the start is
    // set when a date was chosen, and the kind becomes "Zeitraum" either way.
    bool pickStart(Dialogs& dialogs, const Clock& clock);
    // A click on the period end: the same for the end; the kind stays.
    bool pickEnd(Dialogs& dialogs, const Clock& clock);

    enum class Outcome { Listed, Refused, Corrected };
    // "alle Positionen anzeigen": every line of the period into the grid's view. A line
    // without a date makes the listing fail, and the data correction runs instead.
    Outcome listPeriod(DataView& grid, Dialogs& dialogs);
    // Choosing a text in the selector: the open lines of that text in the period (" alle":
    // the whole period, kind "Kategorie" all the same). An empty text is refused.
    Outcome listText(DataView& grid, const QString& text, Dialogs& dialogs);

    // The balance carried into the listed lines: the first line's balance less its receipt
    // plus its payment; for a first line that has no balance of its own, what the lines
    // before it leave. Nothing for an empty list.
    static std::optional<Money> carriedIn(const DataView& grid, Database& db, Money floatAmount);

    // The snapshot the printout and the export work from.
    ListingState state(const QString& dayDate, const Money& carried, const DayTotals& totals) const;

  private:
    ListingKind kind_ = ListingKind::Tag;
    ListingKind shown_ = ListingKind::Tag;
    QString shownText_;
    QString shownStart_; // the period as it was listed
    QString shownEnd_;
    QString start_ = defaultStart();
    QString end_ = defaultEnd();
    QString selected_;
};

} // namespace tb
