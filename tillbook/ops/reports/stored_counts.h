#pragma once

#include "clock.h"
#include "database.h"
#include "dialogs.h"
#include "money.h"
#include "till_count.h"

#include <QDate>
#include <optional>
#include <vector>

namespace tb {

// One kept count of the till: what was counted, against which book balance, when and on
// which day of the book. Kept counts are never changed; a new count is a new record.
struct StoredCount {
    qint64 number = 0; // the record's ID
    QString moment;    // "dd.mm.yyyy hh:mm:ss"
    QString day;       // the day of the book it was counted on, "dd.mm.yyyy"
    TillCount::Texts counts;
    Money counted, book, difference;

    // "Zählprotokoll Nr. 17 vom 05.03.2024 18:02"
    QString title() const;
};

// The counts of the till kept in the data file (table Zaehlungen, created with the book), and
// the lists of them. Each kept count has its entry in the change log.
class StoredCounts {
  public:
    // Keeps a count made now on the given day; nullopt and a message when nothing was kept.
    static std::optional<StoredCount> store(Database& db, Dialogs& dialogs, const Clock& clock,
                                            const QString& day, const TillCount::Texts& counts,
                                            Money counted, Money book);

    // Every kept count whose day lies in the period (an invalid date: open), oldest first.
    static std::vector<StoredCount> read(Database& db, const QDate& from = {},
                                         const QDate& to = {});
    static std::optional<StoredCount> byNumber(Database& db, qint64 number);

    // The question after a count with a difference: "Differenz von −3,20 EUR als Buchung
    // übernehmen ?"
    static QString differenceQuestion(Money difference);
    // The booking text of a difference booked.
    static QString differenceText() { return QStringLiteral("Kassendifferenz"); }
    // The booking text of a difference, added to the booking texts when it is not among them:
    // it is offered as any other, and the operator may choose another one.
    static QString offerDifferenceText(Database& db);

    // "Zählung speichern": keeps the count, says so when the till is right, and asks whether a
    // difference is to be booked.
    struct Kept {
        std::optional<StoredCount> count; // nothing was kept
        bool bookDifference = false;      // the operator wants the difference booked
    };
    static Kept storeAndAsk(Database& db, Dialogs& dialogs, const Clock& clock, const QString& day,
                            const TillCount::Texts& counts, Money counted, Money book);

    // The list as CSV (semicolon, header line) and its columns.
    static QStringList listHeadings();
    static QStringList listRow(const StoredCount& c);

  private:
    static Result logStored(Database& db, const StoredCount& c);
};

} // namespace tb
