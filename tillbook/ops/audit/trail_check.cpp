#include "trail_check.h"

#include "audit_trail.h"
#include "change_log.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <unordered_set>

namespace tb {

using namespace changelog;

namespace {

// A row of a table as the log says it must be now: the values it knows (a line from before
// the starting point is known only in the columns its entries name), and for such a row the
// values it had at the starting point as far as its entries tell.
template <size_t N> struct Tracked {
    bool addedAfterStart = false;
    bool present = true;
    std::array<std::optional<std::string>, N> expected;
    std::array<std::optional<std::string>, N> atStart; // before the first change of a column
    std::optional<std::array<std::string, N>> deleted; // content when deleted
    qint64 lastEntry = 0;
    std::string receipt, date; // for the name of a line or day
};

// The rows of one table as they were at the log's starting point: a row added since is left
// out; any other is its deleted or stored content with the values it had then laid over.
template <size_t N, class Tracks, class Out, class Read>
void startRows(const Tracks& tracks, Out& out, Read read) {
    for (const auto& [id, t] : tracks) {
        if (t.addedAfterStart) {
            out[id] = std::nullopt;
            continue;
        }
        std::optional<std::array<std::string, N>> base = t.deleted ? t.deleted : read(id);
        if (!base)
            continue;
        for (size_t c = 0; c < N; ++c)
            if (t.atStart[c])
                (*base)[c] = *t.atStart[c];
        out[id] = *base;
    }
}

// "a1, n1, ..." for a SELECT of the columns the log names.
template <size_t N> QString columnList(const std::array<const char*, N>& names) {
    QStringList columns;
    for (const char* c : names)
        columns << QLatin1String(c);
    return columns.join(QStringLiteral(", "));
}

// One row of a table as it is stored now, in the order of the log's column names.
template <size_t N>
std::optional<std::array<std::string, N>>
storedRow(Database& db, const char* table, const std::array<const char*, N>& names, qint64 id) {
    Statement st = db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?;")
                                  .arg(columnList(names), QLatin1String(table)));
    st.bind(1, id);
    if (!st.next())
        return std::nullopt;
    std::array<std::string, N> row;
    for (size_t c = 0; c < N; ++c)
        row[c] = st.utf8(int(c));
    return row;
}

using Items = std::vector<std::pair<std::string, std::string>>;
using schema::utf8::kDayColumns;

int indexOf(const char* const* names, size_t n, const std::string& column) {
    for (size_t i = 0; i < n; ++i)
        if (column == names[i])
            return static_cast<int>(i);
    return -1;
}

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString lineNameOf(qint64 id, std::string_view receipt, std::string_view date) {
    return AuditTrail::lineName(id, q(receipt), q(date));
}

// The columns whose values differ, in words: "Einnahme laut Protokoll 12,50, im Kassenbuch
// 125,00".
template <size_t N>
QString differences(int kind, const char* const* names,
                    const std::array<std::optional<std::string>, N>& expected,
                    const std::array<std::string, N>& found, const char* foundWhere,
                    const std::vector<int>& ignored = {}) {
    QStringList parts;
    for (size_t c = 0; c < N; ++c) {
        if (!expected[c] || *expected[c] == found[c] ||
            std::find(ignored.begin(), ignored.end(), int(c)) != ignored.end())
            continue;
        auto shown = [](const std::string& v) {
            return v.empty() ? QStringLiteral("(leer)") : q(v);
        };
        parts << QStringLiteral("%1 laut Protokoll %2, %3 %4")
                     .arg(AuditTrail::caption(kind, QLatin1String(names[c])), shown(*expected[c]),
                          QLatin1String(foundWhere), shown(found[c]));
    }
    return parts.join(QStringLiteral("; "));
}

class Checker {
  public:
    Checker(Database& db, Progress& progress, LogCheck& out)
        : db_(db), progress_(progress), out_(out) {}
    void run();

  private:
    static constexpr size_t kLine = kLineColumns;
    using LineRow = std::array<std::string, kLine>;
    using DayRow = std::array<std::string, 2>;
    using SettingsRow = std::array<std::string, 14>;

    void chainFault(LogCheck::Fault f, qint64 entry, qint64 to, const QString& text) {
        if (out_.chain.size() < LogCheck::kListed)
            out_.chain.push_back({f, entry, to, text});
        else
            ++out_.moreChain;
    }
    void bookFault(LogCheck::Fault f, qint64 entry, const QString& text) {
        if (out_.book.size() < LogCheck::kListed)
            out_.book.push_back({f, entry, 0, text});
        else
            ++out_.moreBook;
    }
    bool findStart();
    void replay(qint64 entry, int kind, qint64 ref, std::string_view receipt, std::string_view date,
                std::string_view before, std::string_view after);
    void lineAdded(qint64 entry, qint64 ref, std::string_view receipt, std::string_view date,
                   std::string_view form);
    void lineChanged(qint64 entry, qint64 ref, std::string_view receipt, std::string_view date,
                     const Items& before, const Items& after);
    void lineDeleted(qint64 entry, qint64 ref, std::string_view receipt, std::string_view date,
                     std::string_view form);
    template <size_t N>
    void changed(Tracked<N>& t, int kind, const char* const* names, qint64 entry,
                 const Items& before, const Items& after, const std::function<QString()>& name,
                 const std::vector<int>& ignored);
    // The cursor over the lines in ID order, moved up to id; the line with this ID or none.
    // The row stays valid until the next call.
    const LineRow* lineAt(qint64 id);
    std::optional<LineRow> storedLine(qint64 id);
    void finishLines();
    void finishDays();
    void finishSettings();
    void checkStart();

    Database& db_;
    Progress& progress_;
    LogCheck& out_;

    qint64 start_ = 0;
    BookState startState_;
    bool startKnown_ = false;
    std::unordered_set<qint64> later_; // lines with changes or a deletion after the start
    std::unordered_map<qint64, Tracked<kLine>> lines_;
    std::map<qint64, Tracked<2>> days_;
    std::map<qint64, Tracked<14>> settings_;
    std::vector<qint64> unlogged_;
    std::unordered_set<qint64> addedOutOfOrder_;

    Statement cursor_;
    bool cursorStarted_ = false;
    bool cursorValid_ = false;
    bool cursorDone_ = false;
    qint64 cursorId_ = 0;
    LineRow cursorRow_;
    std::optional<LineRow> behind_;
};

void Checker::run() {
    {
        Statement count = db_.prepare(QStringLiteral("SELECT count(*) FROM Protokoll;"));
        if (!count.next()) {
            chainFault(LogCheck::Fault::NotReadable, 0, 0,
                       QStringLiteral("Das Änderungsprotokoll kann nicht gelesen werden: %1")
                           .arg(count.error()));
            return;
        }
        out_.entries = count.integer(0);
    }
    progress_.begin(QStringLiteral("Das Änderungsprotokoll wird geprüft …"), out_.entries);
    startKnown_ = findStart();
    {
        Statement st = db_.prepare(
            QStringLiteral("SELECT DISTINCT Bezug FROM Protokoll WHERE ID > ? AND Art IN (%1, %2);")
                .arg(int(Kind::LineChanged))
                .arg(int(Kind::LineDeleted)));
        st.bind(1, start_);
        while (st.next())
            later_.insert(st.integer(0));
    }
    cursor_ = db_.prepare(QStringLiteral("SELECT ID, %1 FROM Buchungen ORDER BY ID;")
                              .arg(columnList(kLineColumnNames)));

    Statement st = db_.prepare(
        QStringLiteral("SELECT ID, Zeit, Art, Anlass, Bezug, Beleg, Datum, Vorher, Nachher, "
                       "Pruefsumme FROM Protokoll ORDER BY ID;"));
    QByteArray previous;
    std::array<std::array<char, 24>, 5> numbers;
    qint64 expectedId = 1;
    qint64 done = 0;
    while (st.next()) {
        const qint64 id = st.integer(0);
        // The numbers in the text SQLite would give them, without its conversion.
        EntryFields fields;
        for (int i = 0; i < 9; ++i) {
            if (i < 5 && st.isInteger(i)) {
                char* text = numbers[size_t(i)].data();
                const auto end = std::to_chars(text, text + numbers[0].size(), st.integer(i)).ptr;
                fields[size_t(i)] = std::string_view(text, size_t(end - text));
            } else {
                fields[size_t(i)] = st.utf8(i);
            }
        }
        const QByteArray stored = st.blob(9);
        bool gap = false;
        if (id != expectedId) {
            gap = true;
            chainFault(LogCheck::Fault::EntriesMissing, expectedId, id - 1,
                       id - 1 == expectedId
                           ? QStringLiteral("Der Eintrag Nr. %1 fehlt.").arg(expectedId)
                           : QStringLiteral("Die Einträge Nr. %1 bis %2 fehlen.")
                                 .arg(expectedId)
                                 .arg(id - 1));
        }
        // After a gap the entry cannot fit the one before it: the gap says it already.
        if (!gap && entryHash(previous, fields) != stored)
            chainFault(LogCheck::Fault::EntryAltered, id, 0,
                       QStringLiteral("Eintrag Nr. %1 passt nicht zu seiner Prüfsumme: er wurde "
                                      "nach dem Schreiben verändert, oder Einträge wurden "
                                      "vertauscht.")
                           .arg(id));
        if (id > start_)
            replay(id, static_cast<int>(st.integer(2)), st.integer(4), fields[5], fields[6],
                   fields[7], fields[8]);
        previous = stored;
        expectedId = id + 1;
        out_.lastHash = stored;
        if (++done % 4096 == 0 && !progress_.step(done)) {
            out_.stopped = true; // "Abbrechen"
            return;
        }
    }
    if (!st.failure().ok()) {
        chainFault(LogCheck::Fault::NotReadable, expectedId, 0,
                   QStringLiteral("Das Änderungsprotokoll kann ab Eintrag Nr. %1 nicht gelesen "
                                  "werden: %2")
                       .arg(expectedId)
                       .arg(st.error()));
        return;
    }
    if (!progress_.step(done)) {
        out_.stopped = true;
        return;
    }
    const qint64 given =
        db_.scalar(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'Protokoll';"))
            .toLongLong();
    if (given >= expectedId)
        chainFault(LogCheck::Fault::EndMissing, expectedId, given,
                   QStringLiteral("Die Einträge ab Nr. %1 fehlen: das Protokoll wurde am Ende "
                                  "gekürzt (vergeben war bis Nr. %2).")
                       .arg(expectedId)
                       .arg(given));

    progress_.begin(QStringLiteral("Das Kassenbuch wird mit dem Protokoll verglichen …"));
    finishLines();
    finishDays();
    finishSettings();
    if (startKnown_)
        checkStart();
}

bool Checker::findStart() {
    Statement st = db_.prepare(QStringLiteral("SELECT ID, Nachher FROM Protokoll WHERE Art IN "
                                              "(%1, %2) ORDER BY ID DESC LIMIT 1;")
                                   .arg(int(Kind::Begun))
                                   .arg(int(Kind::Repair)));
    if (!st.next()) {
        bookFault(LogCheck::Fault::StartDiffers, 0,
                  QStringLiteral("Das Protokoll hat keinen Anfang: der Eintrag, der den Stand "
                                 "des Kassenbuchs zu Beginn festhält, fehlt."));
        return false;
    }
    start_ = st.integer(0);
    out_.startEntry = start_;
    if (!BookState::fromForm(st.utf8(1), startState_)) {
        bookFault(LogCheck::Fault::StartDiffers, start_,
                  QStringLiteral("Der Eintrag Nr. %1, der den Stand des Kassenbuchs festhält, "
                                 "ist nicht lesbar.")
                      .arg(start_));
        return false;
    }
    return true;
}

void Checker::replay(qint64 entry, int kind, qint64 ref, std::string_view receipt,
                     std::string_view date, std::string_view before, std::string_view after) {
    Items b, a;
    switch (static_cast<Kind>(kind)) {
    case Kind::LineAdded:
        lineAdded(entry, ref, receipt, date, after);
        return;
    case Kind::LineDeleted:
        lineDeleted(entry, ref, receipt, date, before);
        return;
    case Kind::LineChanged:
        if (parseForm(before, b) && parseForm(after, a))
            lineChanged(entry, ref, receipt, date, b, a);
        else
            bookFault(LogCheck::Fault::RowDiffers, entry,
                      QStringLiteral("Eintrag Nr. %1 ist nicht lesbar.").arg(entry));
        return;
    case Kind::DayAdded:
    case Kind::DayDeleted: {
        const bool added = kind == int(Kind::DayAdded);
        Items items;
        if (!parseForm(added ? after : before, items))
            break;
        Tracked<2>& t = days_[ref];
        std::array<std::string, 2> v{std::string(date), dateKey(date)};
        for (const auto& [c, value] : items)
            if (c == schema::utf8::kDayKey)
                v[1] = value;
        if (added) {
            t = Tracked<2>{};
            t.addedAfterStart = true;
        } else {
            const QString diff =
                differences<2>(kind, kDayColumns.data(), t.expected, v, "vorgefunden");
            if (!diff.isEmpty())
                bookFault(LogCheck::Fault::RowDiffers, entry,
                          QStringLiteral("Tag %1 wurde vor Eintrag Nr. %2 außerhalb des "
                                         "Programms geändert: %3.")
                              .arg(ref)
                              .arg(entry)
                              .arg(diff));
            if (!t.addedAfterStart && !t.deleted)
                t.deleted = v;
        }
        t.present = added;
        for (size_t c = 0; c < 2; ++c)
            t.expected[c] = v[c];
        t.lastEntry = entry;
        t.date = v[0];
        return;
    }
    case Kind::DayChanged:
        if (parseForm(before, b) && parseForm(after, a)) {
            Tracked<2>& t = days_[ref];
            changed<2>(t, kind, kDayColumns.data(), entry, b, a,
                       [ref] { return QStringLiteral("Tag %1").arg(ref); }, {});
            t.date = date;
        }
        return;
    case Kind::SettingsAdded:
    case Kind::SettingsDeleted: {
        const bool added = kind == int(Kind::SettingsAdded);
        Items items;
        if (!parseForm(added ? after : before, items))
            break;
        Tracked<14>& t = settings_[ref];
        std::array<std::string, 14> v{};
        for (const auto& [c, value] : items) {
            const int i = indexOf(kSettingsColumnNames.data(), 14, c);
            if (i >= 0)
                v[size_t(i)] = value;
        }
        if (added) {
            t = Tracked<14>{};
            t.addedAfterStart = true;
        } else if (!t.addedAfterStart && !t.deleted) {
            t.deleted = v;
        }
        t.present = added;
        for (size_t c = 0; c < 14; ++c)
            t.expected[c] = v[c];
        t.lastEntry = entry;
        return;
    }
    case Kind::SettingsChanged:
        if (parseForm(before, b) && parseForm(after, a))
            changed<14>(settings_[ref], kind, kSettingsColumnNames.data(), entry, b, a,
                        [] { return QStringLiteral("Die Einstellungen"); }, {9, 13});
        return;
    default:
        return; // the entries of operations and of Restorix change no row themselves
    }
    bookFault(LogCheck::Fault::RowDiffers, entry,
              QStringLiteral("Eintrag Nr. %1 ist nicht lesbar.").arg(entry));
}

template <size_t N>
void Checker::changed(Tracked<N>& t, int kind, const char* const* names, qint64 entry,
                      const Items& before, const Items& after, const std::function<QString()>& name,
                      const std::vector<int>& ignored) {
    QStringList found;
    for (const auto& [column, value] : before) {
        const int i = indexOf(names, N, column);
        if (i < 0)
            continue;
        auto& known = t.expected[size_t(i)];
        const bool ignore = std::find(ignored.begin(), ignored.end(), i) != ignored.end();
        if (known && *known != value && !ignore)
            found << QStringLiteral("%1 laut Protokoll %2, vorgefunden %3")
                         .arg(AuditTrail::caption(kind, QLatin1String(names[i])),
                              known->empty() ? QStringLiteral("(leer)") : q(*known),
                              value.empty() ? QStringLiteral("(leer)") : q(value));
        if (!known && !t.addedAfterStart && !t.atStart[size_t(i)])
            t.atStart[size_t(i)] = value;
    }
    if (!t.present)
        found << QStringLiteral("laut Protokoll war sie gelöscht");
    if (!found.isEmpty())
        bookFault(LogCheck::Fault::RowDiffers, entry,
                  QStringLiteral("%1 wurde vor Eintrag Nr. %2 außerhalb des Programms geändert: "
                                 "%3.")
                      .arg(name())
                      .arg(entry)
                      .arg(found.join(QStringLiteral("; "))));
    for (const auto& [column, value] : after) {
        const int i = indexOf(names, N, column);
        if (i >= 0)
            t.expected[size_t(i)] = value;
    }
    t.lastEntry = entry;
}

std::optional<Checker::LineRow> Checker::storedLine(qint64 id) {
    return storedRow(db_, "Buchungen", kLineColumnNames, id);
}

const Checker::LineRow* Checker::lineAt(qint64 id) {
    if (cursorStarted_ && id <= cursorId_ && !(cursorValid_ && id == cursorId_)) {
        // Behind the cursor: a line entered out of the order of IDs.
        addedOutOfOrder_.insert(id);
        behind_ = storedLine(id);
        return behind_ ? &*behind_ : nullptr;
    }
    while (!cursorDone_ && (!cursorValid_ || cursorId_ < id)) {
        if (cursorValid_ && cursorId_ > startState_.lastLine)
            unlogged_.push_back(cursorId_); // passed over: no entry has entered it so far
        if (!cursor_.next()) {
            cursorDone_ = true;
            cursorValid_ = false;
            break;
        }
        cursorStarted_ = true;
        cursorValid_ = true;
        cursorId_ = cursor_.integer(0);
        for (size_t c = 0; c < kLine; ++c)
            cursorRow_[c] = cursor_.utf8(int(c) + 1);
    }
    if (cursorValid_ && cursorId_ == id) {
        cursorValid_ = false; // taken
        return &cursorRow_;
    }
    return nullptr;
}

void Checker::lineAdded(qint64 entry, qint64 ref, std::string_view receipt, std::string_view date,
                        std::string_view form) {
    LineValues v;
    if (!lineFromForm(form, receipt, date, v)) {
        bookFault(LogCheck::Fault::RowDiffers, entry,
                  QStringLiteral("Eintrag Nr. %1 ist nicht lesbar.").arg(entry));
        return;
    }
    if (later_.count(ref)) {
        Tracked<kLine>& t = lines_[ref];
        t = Tracked<kLine>{};
        t.addedAfterStart = true;
        for (size_t c = 0; c < kLine; ++c)
            t.expected[c] = v[c];
        t.lastEntry = entry;
        return;
    }
    // Nothing changes the line later: it must hold now what it held when it was entered.
    const LineRow* row = lineAt(ref);
    if (row && *row == v)
        return;
    const QString name = lineNameOf(ref, receipt, date);
    if (!row) {
        bookFault(LogCheck::Fault::RowMissing, entry,
                  QStringLiteral("%1 fehlt im Kassenbuch (erfasst mit Eintrag Nr. %2, nicht "
                                 "gelöscht).")
                      .arg(name)
                      .arg(entry));
        return;
    }
    std::array<std::optional<std::string>, kLine> expected;
    for (size_t c = 0; c < kLine; ++c)
        expected[c] = v[c];
    bookFault(LogCheck::Fault::RowDiffers, entry,
              QStringLiteral("%1 stimmt nicht mit dem Protokoll überein (Eintrag Nr. %2): %3.")
                  .arg(name)
                  .arg(entry)
                  .arg(differences<kLine>(int(Kind::LineChanged), kLineColumnNames.data(), expected,
                                          *row, "im Kassenbuch")));
}

void Checker::lineChanged(qint64 entry, qint64 ref, std::string_view receipt, std::string_view date,
                          const Items& before, const Items& after) {
    Tracked<kLine>& t = lines_[ref];
    t.receipt = receipt;
    t.date = date;
    changed<kLine>(t, int(Kind::LineChanged), kLineColumnNames.data(), entry, before, after,
                   [&] { return lineNameOf(ref, t.receipt, t.date); }, {});
    // The entry names the line's receipt number and date after the change.
    t.expected[kA8] = std::string(receipt);
    t.expected[kA10] = std::string(date);
}

void Checker::lineDeleted(qint64 entry, qint64 ref, std::string_view receipt, std::string_view date,
                          std::string_view form) {
    LineValues v;
    if (!lineFromForm(form, receipt, date, v)) {
        bookFault(LogCheck::Fault::RowDiffers, entry,
                  QStringLiteral("Eintrag Nr. %1 ist nicht lesbar.").arg(entry));
        return;
    }
    Tracked<kLine>& t = lines_[ref];
    t.receipt = receipt;
    t.date = date;
    const QString diff = differences<kLine>(int(Kind::LineChanged), kLineColumnNames.data(),
                                            t.expected, v, "gelöscht wurde");
    if (!diff.isEmpty())
        bookFault(LogCheck::Fault::RowDiffers, entry,
                  QStringLiteral("%1 wurde vor ihrer Löschung (Eintrag Nr. %2) außerhalb des "
                                 "Programms geändert: %3.")
                      .arg(lineNameOf(ref, t.receipt, t.date))
                      .arg(entry)
                      .arg(diff));
    if (!t.addedAfterStart && !t.deleted)
        t.deleted = v;
    t.present = false;
    for (size_t c = 0; c < kLine; ++c)
        t.expected[c] = v[c];
    t.lastEntry = entry;
}

void Checker::finishLines() {
    // What the cursor has not reached: lines beyond the last one entered.
    while (!cursorDone_) {
        lineAt(std::numeric_limits<qint64>::max());
    }
    for (const qint64 id : unlogged_) {
        const auto tracked = lines_.find(id);
        if (addedOutOfOrder_.count(id) ||
            (tracked != lines_.end() && tracked->second.addedAfterStart))
            continue;
        const auto row = storedLine(id);
        bookFault(LogCheck::Fault::RowNotLogged, 0,
                  QStringLiteral("%1 steht im Kassenbuch, aber nicht im Protokoll: sie wurde "
                                 "außerhalb des Programms angelegt.")
                      .arg(AuditTrail::lineName(id, row ? q((*row)[kA8]) : QString(),
                                                row ? q((*row)[kA10]) : QString())));
    }
    std::vector<qint64> ids;
    for (const auto& [id, t] : lines_)
        ids.push_back(id);
    std::sort(ids.begin(), ids.end());
    for (const qint64 id : ids) {
        const Tracked<kLine>& t = lines_[id];
        const auto row = storedLine(id);
        const QString name = lineNameOf(id, t.receipt, t.date);
        if (t.present && !row) {
            bookFault(LogCheck::Fault::RowMissing, t.lastEntry,
                      QStringLiteral("%1 fehlt im Kassenbuch (laut Protokoll vorhanden, zuletzt "
                                     "Eintrag Nr. %2).")
                          .arg(name)
                          .arg(t.lastEntry));
        } else if (!t.present && row) {
            bookFault(LogCheck::Fault::RowDiffers, t.lastEntry,
                      QStringLiteral("%1 steht im Kassenbuch, obwohl sie laut Protokoll "
                                     "gelöscht wurde (Eintrag Nr. %2).")
                          .arg(name)
                          .arg(t.lastEntry));
        } else if (row) {
            const QString diff = differences<kLine>(int(Kind::LineChanged), kLineColumnNames.data(),
                                                    t.expected, *row, "im Kassenbuch");
            if (!diff.isEmpty())
                bookFault(LogCheck::Fault::RowDiffers, t.lastEntry,
                          QStringLiteral("%1 stimmt nicht mit dem Protokoll überein (zuletzt "
                                         "Eintrag Nr. %2): %3.")
                              .arg(name)
                              .arg(t.lastEntry)
                              .arg(diff));
        }
    }
}

void Checker::finishDays() {
    std::map<qint64, DayRow> stored;
    Statement st = db_.prepare(QStringLiteral("SELECT ID, a1, a2 FROM Datum;"));
    while (st.next())
        stored[st.integer(0)] = {std::string(st.utf8(1)), std::string(st.utf8(2))};
    for (const auto& [id, t] : days_) {
        const auto it = stored.find(id);
        const QString name = QStringLiteral("Tag %1").arg(id) +
                             (t.date.empty() ? QString() : QStringLiteral(" (%1)").arg(q(t.date)));
        if (t.present && it == stored.end())
            bookFault(
                LogCheck::Fault::RowMissing, t.lastEntry,
                QStringLiteral("%1 fehlt im Kassenbuch (laut Protokoll vorhanden).").arg(name));
        else if (!t.present && it != stored.end())
            bookFault(LogCheck::Fault::RowDiffers, t.lastEntry,
                      QStringLiteral("%1 steht im Kassenbuch, obwohl er laut Protokoll gelöscht "
                                     "wurde (Eintrag Nr. %2).")
                          .arg(name)
                          .arg(t.lastEntry));
        else if (it != stored.end()) {
            const QString diff = differences<2>(int(Kind::DayChanged), kDayColumns.data(),
                                                t.expected, it->second, "im Kassenbuch");
            if (!diff.isEmpty())
                bookFault(LogCheck::Fault::RowDiffers, t.lastEntry,
                          QStringLiteral("%1 stimmt nicht mit dem Protokoll überein: %2.")
                              .arg(name, diff));
        }
    }
}

void Checker::finishSettings() {
    std::map<qint64, SettingsRow> stored;
    Statement st = db_.prepare(
        QStringLiteral("SELECT ID, %1 FROM Einstellungen;").arg(columnList(kSettingsColumnNames)));
    while (st.next()) {
        SettingsRow row;
        for (size_t c = 0; c < 14; ++c)
            row[c] = settingsValueForm(kSettingsColumnNames[c], st.utf8(int(c) + 1));
        stored[st.integer(0)] = row;
    }
    for (const auto& [id, t] : settings_) {
        const auto it = stored.find(id);
        if (t.present && it == stored.end())
            bookFault(LogCheck::Fault::RowMissing, t.lastEntry,
                      QStringLiteral("Die Einstellungen fehlen im Kassenbuch (laut Protokoll "
                                     "vorhanden)."));
        else if (!t.present && it != stored.end())
            bookFault(LogCheck::Fault::RowDiffers, t.lastEntry,
                      QStringLiteral("Die Einstellungen stehen im Kassenbuch, obwohl sie laut "
                                     "Protokoll gelöscht wurden (Eintrag Nr. %1).")
                          .arg(t.lastEntry));
        else if (it != stored.end()) {
            // The next receipt number moves with every booking; the password is not shown.
            const QString diff =
                differences<14>(int(Kind::SettingsChanged), kSettingsColumnNames.data(), t.expected,
                                it->second, "im Kassenbuch", {9, 13});
            if (!diff.isEmpty())
                bookFault(LogCheck::Fault::RowDiffers, t.lastEntry,
                          QStringLiteral("Die Einstellungen stimmen nicht mit dem Protokoll "
                                         "überein: %1.")
                              .arg(diff));
        }
    }
}

void Checker::checkStart() {
    // The book as it was at the starting point: the rows the log touched since as they were
    // then, the rows added since left out.
    BookOverrides o;
    o.linesUpTo = startState_.lastLine;
    startRows<kLine>(lines_, o.lines, [this](qint64 id) { return storedLine(id); });
    startRows<2>(days_, o.days,
                 [this](qint64 id) { return storedRow(db_, "Datum", kDayColumns, id); });
    startRows<14>(settings_, o.settings, [this](qint64 id) {
        return storedRow(db_, "Einstellungen", kSettingsColumnNames, id);
    });
    const auto then = bookState(db_, &o);
    if (!then || *then == startState_)
        return;
    QString counts;
    if (then->lines != startState_.lines || then->days != startState_.days)
        counts = QStringLiteral(" Festgehalten waren %1 Zeilen und %2 Tage, nachvollziehbar sind "
                                "%3 Zeilen und %4 Tage.")
                     .arg(startState_.lines)
                     .arg(startState_.days)
                     .arg(then->lines)
                     .arg(then->days);
    bookFault(LogCheck::Fault::StartDiffers, start_,
              QStringLiteral("Das Kassenbuch passt nicht zu dem Stand, den Eintrag Nr. %1 "
                             "festhält: Zeilen, Tage oder Einstellungen, die es damals schon gab, "
                             "wurden außerhalb des Programms geändert.%2")
                  .arg(start_)
                  .arg(counts));
}

} // namespace

QString LogCheck::text() const {
    if (!hasLog)
        return QStringLiteral("Dieses Kassenbuch führt noch kein Änderungsprotokoll.");
    LogHead head;
    head.entries = entries;
    head.hash = lastHash;
    if (whole())
        return QStringLiteral("Protokoll unversehrt: %1, letzte Prüfsumme %2")
            .arg(AuditTrail::entriesText(entries), head.shortHash());
    QString t;
    if (stopped)
        t += QStringLiteral("Die Prüfung wurde abgebrochen; sie ist unvollständig.\n\n");
    if (!chain.empty()) {
        t += QStringLiteral("Die Kette des Änderungsprotokolls ist nicht unversehrt:\n");
        for (const Finding& f : chain)
            t += QStringLiteral("- ") + f.text + QLatin1Char('\n');
        if (moreChain > 0)
            t += QStringLiteral("- und %1 weitere Stellen\n").arg(moreChain);
    }
    if (!book.empty()) {
        if (!t.isEmpty())
            t += QLatin1Char('\n');
        t += QStringLiteral("Das Kassenbuch weicht vom Änderungsprotokoll ab:\n");
        for (const Finding& f : book)
            t += QStringLiteral("- ") + f.text + QLatin1Char('\n');
        if (moreBook > 0)
            t += QStringLiteral("- und %1 weitere Abweichungen\n").arg(moreBook);
    }
    return t.trimmed();
}

LogCheck LogCheck::run(Database& db, Progress& progress) {
    LogCheck out;
    if (!changelog::hasLog(db)) {
        out.hasLog = false;
        return out;
    }
    Checker(db, progress, out).run();
    return out;
}

} // namespace tb
