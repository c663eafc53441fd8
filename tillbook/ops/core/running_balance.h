#pragma once

#include "database.h"
#include "line_order.h"
#include "money.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

// A change as the balance sees it: an amount added to the balance on a date (a negative
// amount takes from it). A shift keyed before every date moves every day, as the float does.
struct BalanceShift {
    DateKey key;
    QString date; // the date text, as shown in a message
    Money amount;
    static BalanceShift on(const QString& date, Money amount) {
        return {dateKeyOf(date.toStdString()), date, amount};
    }
};

// A day whose end balance falls below zero, the float included.
struct NegativeDay {
    QString date;
    Money balance;
};

struct BalanceResult {
    Money balance;   // after the last line, float included
    int written = 0; // lines whose stored balance changed
    int read = 0;    // lines this recompute read
    Result failure;  // why the lines could not be read or their balances not be written
    bool ok() const { return failure.ok(); }
};

// The running balance over all lines of all days in date order and then ID, plus the float:
// every non-empty a15 ends up holding the balance after its line. Only changed values are
// written, all in one transaction, so a failure leaves the stored balances as they were.
//
// One object follows one open book (one per connection: it listens to the rows the connection
// writes). The first recompute walks every line and remembers the balance before each date.
// After that, a recompute starts at the earliest date any written line had or has now, and
// reads only the lines from there on: saving a line on the newest day reads that day.
// A new float with nothing else written shifts every stored balance it knows by the
// difference, without reading the lines again.
// Whatever it cannot account for makes it walk every line again: a write it was not told of,
// a commit by another connection, a failed write, or so many changes that the whole walk is
// as quick.
class RunningBalance {
  public:
    explicit RunningBalance(Database& db);
    ~RunningBalance();
    RunningBalance(const RunningBalance&) = delete;
    RunningBalance& operator=(const RunningBalance&) = delete;

    BalanceResult recompute(Money floatAmount);
    // The next recompute walks every line.
    void invalidate() { known_ = false; }

    // The balance carried into a date (every line before it, plus the float) as the last
    // recompute left it; nullopt when a line was written since or nothing is known yet.
    std::optional<Money> carriedInto(const QString& date);
    // The first day, from the earliest shifted date on, whose end balance (float included)
    // would be below zero with the shifts applied and lower than it is now. Brings what is
    // remembered up to date first, so it reads only what a recompute reads.
    std::optional<NegativeDay> firstNegativeDay(const std::vector<BalanceShift>& shifts,
                                                Money floatAmount);
    // The end balance of the day with this date text, float included, as the last recompute
    // left it (a day without lines ends with what it carried in); nullopt when nothing is
    // known.
    std::optional<Money> endOfDay(const QString& date) const;
    // The float of the last recompute.
    Money floatAmount() const { return float_; }

    // The walk over every line, without anything remembered.
    static BalanceResult fullWalk(Database& db, Money floatAmount);
    // The same order as a statement (the walk sorts in memory).
    static QString allLinesSource() {
        return QStringLiteral("Select * from Buchungen order by mid(a10, 7,4), mid(a10, 4,2), "
                              "mid(a10, 1,2), ID;");
    }

  private:
    struct DateGroup {
        DateKey key;   // the date key of the a10 texts below
        Money before;  // the balance before the first line of this date, float excluded
        int lines = 0; // lines of this date at the last walk
        struct Text {
            std::string text;
            bool null = false;
        };
        std::vector<Text> texts; // every a10 text with this key
    };
    // What a line's balance column holds after the last recompute.
    struct Stored {
        Money after; // the balance after the line, float excluded
        enum Kind : quint8 {
            Empty,   // nothing: the line is not counted
            Text,    // the balance's text
            Other,   // the same bytes, not stored as text (never overwritten where it stands)
            Unknown, // a line written since, not read yet
        } kind = Unknown;
    };
    struct Memory {
        std::vector<DateGroup> groups;               // by key
        std::vector<std::pair<qint64, DateKey>> ids; // every line's ID and date key, by ID
        std::vector<Stored> stored;                  // beside ids: each line's stored balance
        Money total;                                 // after the last line, float excluded
        int lines = 0;
        bool usable = false; // every date is a text (or NULL) that can be looked up
    };
    struct Change {
        qint64 id;
        Money balance;
        bool inPlace; // the stored balance is a text of the same length
    };
    // One line of a walk over every line; its texts stand in the walk's arena.
    struct Line {
        DateKey key;
        qint64 id;
        Money in, out;
        quint32 at; // the line's place in the table's order
        quint32 date, dateSize, stored, storedSize;
        bool counted, dateNull, storedText;
    };
    // The buffers of a walk over every line, kept by a followed book for the next one: a
    // million lines fill about 100 MB, which the system hands out page by page each time.
    struct Scratch {
        std::vector<Line> lines;
        std::string arena;
        std::vector<Change> changes;
    };

    static BalanceResult walkAll(Database& db, Money floatAmount, Memory* memory, Scratch& scratch);
    static Result write(Database& db, std::vector<Change>& changes, int lines);
    static bool writeInPlace(Database& db, const std::vector<Change>& changes);
    static bool writeByStatement(Database& db, std::vector<Change>& changes, int lines);
    // Adds the line's balance to the changes when it differs from the one stored.
    // Returns what the column holds once the changes are written.
    static Stored::Kind noteBalance(std::vector<Change>& changes, qint64 id, Money balance,
                                    std::string_view stored, bool storedText);
    BalanceResult walkFrom(DateKey key, Money floatAmount);
    // Every stored balance moved to the new float; false when a line's balance is not known
    // or the write failed (nothing written then).
    bool shiftFloat(Money floatAmount, BalanceResult& result);

    bool takeWrittenLines(std::optional<DateKey>& from);
    void remember();
    bool trusted();

    Database& db_;
    bool known_ = false;
    Money float_;
    Memory memory_;
    Scratch scratch_;
    std::vector<qint64> written_; // Buchungen rows written since the last recompute
    qint64 hookCalls_ = 0;        // rows of any table written since then
    qint64 changesThen_ = 0;
    qint64 versionThen_ = 0;
    Database::RowWatch watch_; // last: it goes first, before what it fills
};

} // namespace tb
