#pragma once

#include "clock.h"
#include "dialogs.h"

#include <QString>

namespace tb {

// What the line grid lists: one day, all lines of a period, the lines of one booking text, or
// the two marks that the period was reset or its start touched.
enum class ListingKind { Tag, Auswahl, Kategorie, Alle, Zeitraum };
QString listingKindText(ListingKind kind); // "Tag", "Auswahl", "Kategorie", "alle", "Zeitraum"

// The query frame's state: the listing kind and the period.
class Listings {
  public:
    static QString defaultStart() { return QStringLiteral("01.01.2012"); }
    static QString defaultEnd() { return QStringLiteral("31.12.2099"); }

    ListingKind kind() const { return kind_; }
    QString kindText() const { return listingKindText(kind_); }
    const QString& periodStart() const { return start_; }
    const QString& periodEnd() const { return end_; }
    void setPeriod(const QString& start, const QString& end);

    // Every activation of the main window and every click in the day list: back to the day.
    void backToDay() { kind_ = ListingKind::Tag; }
    // "alle Zeiten": the period covers every date; the list itself is not changed.
    void allTimes();
    // A click on the period start: the calendar with today preset and no title; the start is
    // set when a date was chosen, and the kind becomes "Zeitraum" either way.
    bool pickStart(Dialogs& dialogs, const Clock& clock);
    // A click on the period end: the same for the end; the kind stays.
    bool pickEnd(Dialogs& dialogs, const Clock& clock);

  protected:
    ListingKind kind_ = ListingKind::Tag;
    QString start_ = defaultStart();
    QString end_ = defaultEnd();
};

} // namespace tb
