#pragma once

#include "database.h"
#include "schema.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;

namespace tb {
class Clock;
}

// The change log in the data file (table Protokoll): the program only ever appends to it.
// Triggers on the tables Buchungen, Datum and Einstellungen write an entry for every new,
// changed or deleted row, whoever writes it, so a write the program forgets is logged too;
// the running balance a15 and the day amount a3 are left out. Operations add the entries the
// triggers cannot know (a renumbering as a whole, a restore, ...), in their own transaction.
//
// Each entry is chained to the one before it: its Pruefsumme is SHA-256 over the previous
// entry's Pruefsumme (32 bytes, zeros for the first entry) followed by its fields ID, Zeit,
// Art, Anlass, Bezug, Beleg, Datum, Vorher, Nachher, each written as the decimal length of its
// UTF-8 text, a colon and the text (numbers in decimal, an empty or missing value as "").
//
// The triggers use SQL functions the programs register on every connection (tb_jetzt,
// tb_anlass, tb_pruefsumme, ...): a connection without them, such as the plain sqlcipher
// shell, cannot write the three tables at all, and a change made after the triggers were
// dropped shows as a line that does not match the log.
namespace tb::changelog {

// What an entry records; the numbers are stored in Art and never change.
enum class Kind : int {
    LineAdded = 1,
    LineChanged = 2,
    LineDeleted = 3,
    DayAdded = 4,
    DayChanged = 5,
    DayDeleted = 6,
    SettingsAdded = 7,
    SettingsChanged = 8,
    SettingsDeleted = 9,
    Renumbering = 10,     // a renumbering as a whole (its lines have entries of their own)
    DataCorrection = 11,  // a data correction as a whole
    Restore = 12,         // written by Restorix into the restored file
    Repair = 13,          // written by Restorix into the repaired file; a new starting point
    Begun = 14,           // the first entry: the book as it was when the log began
    LoggingRestored = 15, // the triggers were missing or changed and were put back
    AdvisorAccounts = 16, // the accounts for the tax advisor, what changed before and after
    CountStored = 17,     // a count of the till was kept (table Zaehlungen)
};
inline constexpr int kLastKind = 17;

// Why the program wrote, stored in Anlass: the operation says it (ReasonScope) and the
// triggers put it into every entry the write makes. None: no operation said (a write outside
// the operations that name themselves).
enum class Reason : int {
    None = 0,
    Booking = 1,
    ServiceEdit = 2,
    DoneMark = 3,
    Cancellation = 4,
    LineDeletion = 5,
    DayDeletion = 6,
    Renumbering = 7,
    DataCorrection = 8,
    Float = 9,
    Settings = 10,
    Password = 11,
    Restore = 12,
    Repair = 13,
    NewBook = 14,
    AdvisorAccounts = 15,
};
inline constexpr int kLastReason = 15;

// Names the operation that writes on this connection while the scope lives; scopes nest.
class ReasonScope {
  public:
    ReasonScope(Database& db, Reason reason) : ReasonScope(&db, reason) {}
    ReasonScope(Database* db, Reason reason); // nullptr: nothing to name
    ~ReasonScope();
    ReasonScope(const ReasonScope&) = delete;
    ReasonScope& operator=(const ReasonScope&) = delete;

  private:
    sqlite3* db_;
    int previous_;
};

// Where the entries take their moment from (nullptr: the system clock). Tests set theirs.
void setClock(const Clock* clock);
// The moment as stored: seconds since 1970-01-01 00:00 UTC.
qint64 now();

// Registers the log's SQL functions on a connection (every connection the programs open).
void registerFunctions(sqlite3* db);

// ---- the stored forms --------------------------------------------------------------------

// A line's columns in table order, without ID and the running balance a15.
inline constexpr int kLineColumns = 15;
inline constexpr const auto& kLineColumnNames = schema::utf8::kLineColumns; // a1 n1 n2 a3 ... a14
enum LineColumn { kA1, kN1, kN2, kA3, kA4, kA5, kA6, kA7, kA8, kA9, kA10, kA11, kA12, kA13, kA14 };
using LineValues = std::array<std::string, kLineColumns>; // UTF-8, a missing value as ""

// The text form of before and after: "column=value" items joined by ";", a backslash, ";",
// line feed and carriage return in a value written as \\, \;, \n and \r.
std::string escaped(std::string_view value);
void appendItem(std::string& form, std::string_view column, std::string_view value);
// The items of a form in their order; false when the form is not well made.
bool parseForm(std::string_view form, std::vector<std::pair<std::string, std::string>>& items);

// The content of a line in its entries (new and deleted lines): every column but a8 and a10
// (they stand in Beleg and Datum), empty values left out, and a11 only when it is not the key
// of a10 (then also when empty).
std::string lineForm(const LineValues& v);
// The line a content form describes, with Beleg and Datum; false when the form is not one.
bool lineFromForm(std::string_view form, std::string_view receipt, std::string_view date,
                  LineValues& v);
// The content of a day (Datum is its a1): a2 only when it is not the key of a1.
std::string dayForm(std::string_view a1, std::string_view a2);
// The key yyyymmdd of a date text, as the program builds it (by position).
std::string dateKey(std::string_view date);

// The settings columns in table order, without ID. The password (Memo10) is written as "*"
// when set; the next receipt number (Einst19) moves with every booking and is logged only
// when changed on its own account.
inline constexpr const auto& kSettingsColumnNames = schema::utf8::kSettingsColumns;
std::string settingsValueForm(std::string_view column, std::string_view value);

// SHA-256 of an entry, chained to the previous entry's Pruefsumme (empty: the first entry).
// The fields are the texts of ID, Zeit, Art, Anlass, Bezug, Beleg, Datum, Vorher, Nachher.
using EntryFields = std::array<std::string_view, 9>;
QByteArray entryHash(const QByteArray& previous, const EntryFields& fields);

// ---- the book as a whole -----------------------------------------------------------------

// The state a starting point records: how many lines and days, the highest line ID, and
// SHA-256 over every line (ID and every column but a15, by ID), the field "Datum", every day
// (ID, a1, a2, by ID), the field "Einstellungen" and every settings row (ID and every column
// but Einst19 and Memo10), each field as its length, a colon and its text.
struct BookState {
    qint64 lines = 0;
    qint64 days = 0;
    qint64 lastLine = 0;
    QByteArray digest;
    // The form stored in the entry: "Zeilen=...;Tage=...;letzte Zeile=...;Prüfsumme=<hex>".
    std::string form() const;
    static bool fromForm(std::string_view form, BookState& s);
    bool operator==(const BookState&) const = default;
};
// Lines, days and settings rows that stand in for (or remove) the stored ones: the check
// computes the state of the book at the log's starting point with them.
struct BookOverrides {
    std::unordered_map<qint64, std::optional<LineValues>> lines;
    qint64 linesUpTo = std::numeric_limits<qint64>::max(); // stored lines with higher IDs: not
                                                           // there at that point
    std::unordered_map<qint64, std::optional<std::array<std::string, 2>>> days;
    std::unordered_map<qint64, std::optional<std::array<std::string, 14>>> settings;
};
// nullopt when the tables cannot be read.
std::optional<BookState> bookState(Database& db, const BookOverrides* overrides = nullptr);

// ---- the table ---------------------------------------------------------------------------

bool hasLog(Database& db);
// Creates the table and its triggers and writes the first entry, the book as it is now, in
// the transaction the caller holds. A file that has the log stays as it is.
Result ensureLog(Database& db, Reason reason);
// The triggers that log every write, and the rule that entries are never changed or
// deleted. The repair copies the entries of the damaged file before it installs them.
Result installTriggers(Database& db);
// At every start: triggers that are missing or not ours are put back, with an entry that
// says so.
Result ensureTriggers(Database& db);
Result dropTriggers(Database& db);
Result createTable(Database& db);

// Appends an entry in the current transaction; the chain trigger adds its Pruefsumme. A book
// without the log (it gets one at its next start) takes nothing.
struct NewEntry {
    explicit NewEntry(Kind k = Kind::Begun, Reason r = Reason::None) : kind(k), reason(r) {}
    Kind kind;
    Reason reason;
    qint64 ref = 0; // 0: none
    QString receipt, date;
    std::string before, after;
};
Result append(Database& db, const NewEntry& e);

} // namespace tb::changelog
