#include "running_balance.h"

#include "line_order.h"
#include "schema.h"

#include <algorithm>
#include <sqlite3.h>

namespace tb {

namespace {
// More written lines than this since the last recompute: walking every line is as quick.
constexpr size_t kMostWrittenLines = 2000;

std::string_view view(const std::string& arena, quint32 at, quint32 size) {
    return std::string_view(arena.data() + at, size);
}

// The changed balances, looked up by ID while the engine walks the table in ID order.
struct Lookup {
    const std::vector<std::pair<qint64, std::string>>* changes;
    size_t next = 0;
};

void changedBalance(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* l = static_cast<Lookup*>(sqlite3_user_data(ctx));
    const auto& c = *l->changes;
    const qint64 id = sqlite3_value_int64(argv[0]);
    size_t p = l->next;
    if (p > c.size() || (p > 0 && c[p - 1].first >= id))
        p = static_cast<size_t>(
            std::lower_bound(c.begin(), c.end(), id,
                             [](const auto& change, qint64 v) { return change.first < v; }) -
            c.begin());
    else
        while (p < c.size() && c[p].first < id)
            ++p;
    l->next = p;
    if (p < c.size() && c[p].first == id)
        sqlite3_result_text(ctx, c[p].second.data(), static_cast<int>(c[p].second.size()),
                            SQLITE_STATIC);
    else
        sqlite3_result_null(ctx);
}
bool isMany(size_t changes, int lines) {
    return changes >= 1000 && changes * 5 >= static_cast<size_t>(lines);
}

// Rewriting most balances changes nearly every page of the table. In the engine's usual page
// cache (2 MB) the changed pages would go to the file in small portions, and before each the
// journal is flushed to disk twice: some 130 flushes for a million lines. While such a rewrite
// runs, the cache holds 32 MB, so that happens a few times only. The journal still reaches the
// disk before any page of the book is overwritten.
class LargerCache {
  public:
    explicit LargerCache(Database& db) : db_(db) {
        bool read = false;
        const qint64 size = db.scalar(QStringLiteral("PRAGMA cache_size;")).toLongLong(&read);
        if (read && db.exec(QStringLiteral("PRAGMA cache_size = -32768;")))
            before_ = size;
    }
    ~LargerCache() {
        if (before_)
            db_.exec(QStringLiteral("PRAGMA cache_size = %1;").arg(*before_));
    }
    LargerCache(const LargerCache&) = delete;
    LargerCache& operator=(const LargerCache&) = delete;

  private:
    Database& db_;
    std::optional<qint64> before_;
};
} // namespace

RunningBalance::RunningBalance(Database& db)
    : db_(db), watch_(db.watchRows([this](std::string_view table, qint64 rowid) {
          ++hookCalls_;
          if (table == "Buchungen" && written_.size() <= kMostWrittenLines)
              written_.push_back(rowid);
      })) {}

RunningBalance::~RunningBalance() = default;

Result RunningBalance::write(Database& db, std::vector<Change>& changes, int lines) {
    if (changes.empty())
        return {};
    const auto byId = [](const Change& a, const Change& b) { return a.id < b.id; };
    if (!std::is_sorted(changes.begin(), changes.end(), byId))
        std::sort(changes.begin(), changes.end(), byId);
    const bool many = isMany(changes.size(), lines);
    std::optional<LargerCache> cache;
    if (many)
        cache.emplace(db);
    Transaction t(db);
    if (!t.isActive())
        return db.failureTold({});
    // When a large share of the book changes, most balances keep their length: those are
    // overwritten where they stand, which spares the engine rebuilding every row.
    if (many) {
        if (!writeInPlace(db, changes))
            return db.failureTold({}); // rolled back
        changes.erase(std::remove_if(changes.begin(), changes.end(),
                                     [](const Change& c) { return c.inPlace; }),
                      changes.end());
    }
    if (!writeByStatement(db, changes, lines) || !t.commit())
        return db.failureTold({});
    return {};
}

bool RunningBalance::writeInPlace(Database& db, const std::vector<Change>& changes) {
    sqlite3_blob* blob = nullptr;
    bool ok = true;
    char buffer[Money::kUtf8Size];
    const QByteArray table = schema::Lines::table.toUtf8();
    const QByteArray column = schema::Lines::balance.toUtf8();
    for (const Change& c : changes) {
        if (!c.inPlace)
            continue;
        const std::string_view text = c.balance.toUtf8(buffer);
        const int size = static_cast<int>(text.size());
        // The length is asked again, so a text is never cut short or written past its end.
        ok = (blob ? sqlite3_blob_reopen(blob, c.id)
                   : sqlite3_blob_open(db.handle(), "main", table.constData(), column.constData(),
                                       c.id, 1, &blob)) == SQLITE_OK &&
             sqlite3_blob_bytes(blob) == size &&
             sqlite3_blob_write(blob, text.data(), size, 0) == SQLITE_OK;
        if (!ok)
            break;
    }
    sqlite3_blob_close(blob);
    return ok;
}

bool RunningBalance::writeByStatement(Database& db, std::vector<Change>& changes, int lines) {
    if (changes.empty())
        return true;
    // A few lines are written one by one. When a large share of the book changes, one
    // statement over the table in ID order is much quicker than a search per line.
    if (!isMany(changes.size(), lines)) {
        Statement up = db.prepare(QStringLiteral("UPDATE Buchungen SET a15 = ? WHERE ID = ?;"));
        char buffer[Money::kUtf8Size];
        for (const Change& c : changes) {
            up.bindUtf8(1, c.balance.toUtf8(buffer));
            up.bind(2, c.id);
            if (!up.run())
                return false;
            up.reset();
        }
        return true;
    }
    std::vector<std::pair<qint64, std::string>> byId;
    byId.reserve(changes.size());
    for (const Change& c : changes)
        byId.emplace_back(c.id, c.balance.toUtf8());
    Lookup lookup{&byId};
    sqlite3* h = db.handle();
    const char* name = "tb_changed_balance";
    if (sqlite3_create_function_v2(h, name, 1, SQLITE_UTF8, &lookup, changedBalance, nullptr,
                                   nullptr, nullptr) != SQLITE_OK)
        return false;
    // When most lines change, rewriting the others with their own value spares the engine
    // collecting the lines to change first.
    const bool most = byId.size() * 2 > static_cast<size_t>(lines);
    const bool ok =
        db.exec(most ? QStringLiteral("UPDATE Buchungen SET a15 = "
                                      "coalesce(tb_changed_balance(ID), a15);")
                     : QStringLiteral("UPDATE Buchungen SET a15 = tb_changed_balance(ID) WHERE "
                                      "tb_changed_balance(ID) IS NOT NULL;")) &&
        static_cast<size_t>(db.changes()) == (most ? static_cast<size_t>(lines) : byId.size());
    sqlite3_create_function_v2(h, name, 1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr,
                               nullptr);
    return ok;
}

RunningBalance::Stored::Kind RunningBalance::noteBalance(std::vector<Change>& changes, qint64 id,
                                                         Money balance, std::string_view stored,
                                                         bool storedText) {
    char buffer[Money::kUtf8Size];
    const std::string_view now = balance.toUtf8(buffer);
    if (now == stored)
        return storedText ? Stored::Text : Stored::Other;
    changes.push_back({id, balance, storedText && now.size() == stored.size()});
    return Stored::Text;
}

BalanceResult RunningBalance::fullWalk(Database& db, Money floatAmount) {
    Scratch scratch;
    return walkAll(db, floatAmount, nullptr, scratch);
}

BalanceResult RunningBalance::walkAll(Database& db, Money floatAmount, Memory* memory,
                                      Scratch& scratch) {
    // Everything is read in one pass in the table's own order, then sorted here: the date
    // key packs the parts the order compares, and the texts stay in one buffer.
    BalanceResult result;
    std::vector<Line>& all = scratch.lines;
    std::string& arena = scratch.arena;
    all.clear();
    arena.clear();
    bool plainDates = true;
    {
        // Room for every line at once: growing a buffer of a million lines step by step
        // copies it over and over. The ID range bounds the count; a range far beyond any
        // book (IDs left sparse by deletions) is not reserved for, the buffers just grow.
        Statement range = db.prepare(QStringLiteral("SELECT max(ID) - min(ID) FROM Buchungen;"));
        if (range.next() && range.integer(0) >= 0 && range.integer(0) < 4'000'000) {
            const auto lines = static_cast<size_t>(range.integer(0)) + 1;
            all.reserve(lines);
            arena.reserve(lines * 20);
        }
    }
    {
        Statement st = db.prepare(QStringLiteral("Select ID, a10, a4, a5, a15 from Buchungen;"));
        while (st.next()) {
            // The kinds first: reading a value as text turns bytes into text for good.
            const bool dateNull = st.isNull(1);
            const bool dateText = st.isText(1);
            const bool storedText = st.isText(4);
            const std::string_view date = st.utf8(1);
            const std::string_view stored = st.utf8(4);
            Line l{dateKeyOf(date, dateNull),
                   st.integer(0),
                   countedAmountUtf8(st.utf8(2)).value_or(Money()),
                   countedAmountUtf8(st.utf8(3)).value_or(Money()),
                   static_cast<quint32>(all.size()),
                   static_cast<quint32>(arena.size()),
                   static_cast<quint32>(date.size()),
                   static_cast<quint32>(arena.size() + date.size()),
                   static_cast<quint32>(stored.size()),
                   !stored.empty(),
                   dateNull,
                   storedText};
            plainDates = plainDates && (dateNull || dateText);
            arena.append(date);
            arena.append(stored);
            all.push_back(l);
        }
        result.failure = st.failure();
    }
    result.read = static_cast<int>(all.size());
    if (!result.ok())
        return result;
    if (memory) {
        // Read in ID order: the IDs and their dates are already sorted by ID.
        memory->ids.clear();
        memory->ids.reserve(all.size());
        for (const Line& l : all)
            memory->ids.emplace_back(l.id, l.key);
        memory->stored.assign(all.size(), Stored{});
        memory->groups.clear();
        memory->lines = result.read;
        // A date stored as something other than text cannot be looked up by its text.
        memory->usable = plainDates;
    }
    const auto before = [](const Line& a, const Line& b) {
        return a.key != b.key ? a.key < b.key : a.id < b.id;
    };
    if (!std::is_sorted(all.begin(), all.end(), before))
        std::sort(all.begin(), all.end(), before);

    std::vector<Change>& changes = scratch.changes;
    changes.clear();
    Money b;
    for (const Line& l : all) {
        if (memory) {
            auto& groups = memory->groups;
            if (groups.empty() || groups.back().key != l.key)
                groups.push_back({l.key, b, 0, {}});
            DateGroup& g = groups.back();
            ++g.lines;
            const std::string_view date = view(arena, l.date, l.dateSize);
            if (std::none_of(g.texts.begin(), g.texts.end(), [&](const DateGroup::Text& t) {
                    return t.null == l.dateNull && t.text == date;
                }))
                g.texts.push_back({std::string(date), l.dateNull});
        }
        b += l.in;
        b -= l.out;
        const Stored::Kind kind =
            l.counted ? noteBalance(changes, l.id, b + floatAmount,
                                    view(arena, l.stored, l.storedSize), l.storedText)
                      : Stored::Empty;
        if (memory)
            memory->stored[l.at] = {b, kind};
    }
    result.balance = b + floatAmount;
    if (memory)
        memory->total = b;
    const int count = static_cast<int>(changes.size());
    result.failure = write(db, changes, result.read);
    result.written = result.ok() ? count : 0;
    return result;
}

bool RunningBalance::takeWrittenLines(std::optional<DateKey>& from) {
    std::sort(written_.begin(), written_.end());
    written_.erase(std::unique(written_.begin(), written_.end()), written_.end());
    if (written_.size() > kMostWrittenLines)
        return false;
    auto& ids = memory_.ids;
    auto& groups = memory_.groups;
    Statement st = db_.prepare(QStringLiteral("SELECT a10 FROM Buchungen WHERE ID = ?;"));
    for (const qint64 id : written_) {
        auto known = std::lower_bound(ids.begin(), ids.end(),
                                      std::pair<qint64, DateKey>{id, DateKey{false, 0}});
        const bool wasThere = known != ids.end() && known->first == id;
        if (wasThere)
            from = std::min(from.value_or(known->second), known->second);
        st.bind(1, id);
        if (!st.next()) {
            if (!st.failure().ok())
                return false;
            if (wasThere) { // deleted
                memory_.stored.erase(memory_.stored.begin() + (known - ids.begin()));
                ids.erase(known);
            }
            st.reset();
            continue;
        }
        const bool null = st.isNull(0);
        if (!null && !st.isText(0))
            return false;
        const std::string date(st.utf8(0));
        st.reset();
        const DateKey key = dateKeyOf(date, null);
        from = std::min(from.value_or(key), key);
        // What the line holds is read again by the walk from its date on.
        const auto at = known - ids.begin();
        if (wasThere) {
            known->second = key;
            memory_.stored[static_cast<size_t>(at)] = Stored{};
        } else {
            ids.insert(known, {id, key});
            memory_.stored.insert(memory_.stored.begin() + at, Stored{});
        }
        // The line's date is walked from now on; a date new to the book starts with the
        // balance the next later date had before, as no line of it was counted yet.
        auto g = std::lower_bound(groups.begin(), groups.end(), key,
                                  [](const DateGroup& d, DateKey k) { return d.key < k; });
        if (g == groups.end() || g->key != key) {
            const Money before = g == groups.end() ? memory_.total : g->before;
            g = groups.insert(g, DateGroup{key, before, 0, {}});
        }
        if (std::none_of(g->texts.begin(), g->texts.end(), [&](const DateGroup::Text& t) {
                return t.null == null && t.text == date;
            }))
            g->texts.push_back({date, null});
    }
    return true;
}

BalanceResult RunningBalance::walkFrom(DateKey key, Money floatAmount) {
    auto& groups = memory_.groups;
    const auto first = static_cast<size_t>(
        std::lower_bound(groups.begin(), groups.end(), key,
                         [](const DateGroup& d, DateKey k) { return d.key < k; }) -
        groups.begin());
    int tail = 0;
    for (size_t i = first; i < groups.size(); ++i)
        tail += groups[i].lines;
    // From early in the book on, one pass over the table is quicker than a look-up per date.
    if (static_cast<size_t>(tail) > static_cast<size_t>(memory_.lines) / 2 + kMostWrittenLines)
        return walkAll(db_, floatAmount, &memory_, scratch_);

    struct Line {
        qint64 id;
        Money in, out;
        std::string stored;
        bool storedText;
    };
    BalanceResult result;
    Statement byText =
        db_.prepare(QStringLiteral("SELECT ID, a4, a5, a15 FROM Buchungen WHERE a10 = ?;"));
    Statement byNull =
        db_.prepare(QStringLiteral("SELECT ID, a4, a5, a15 FROM Buchungen WHERE a10 IS NULL;"));
    std::vector<Change> changes;
    std::vector<Line> lines;
    Money b = first < groups.size() ? groups[first].before : memory_.total;
    int all = memory_.lines;
    for (size_t i = first; i < groups.size(); ++i) {
        DateGroup& g = groups[i];
        lines.clear();
        std::vector<DateGroup::Text> found;
        for (const DateGroup::Text& t : g.texts) {
            Statement& st = t.null ? byNull : byText;
            st.reset();
            if (!t.null)
                st.bindUtf8(1, t.text);
            const size_t had = lines.size();
            while (st.next()) {
                const bool storedText = st.isText(3);
                lines.push_back({st.integer(0), countedAmountUtf8(st.utf8(1)).value_or(Money()),
                                 countedAmountUtf8(st.utf8(2)).value_or(Money()),
                                 std::string(st.utf8(3)), storedText});
            }
            if (!st.failure().ok()) {
                result.failure = st.failure();
                return result;
            }
            if (lines.size() > had)
                found.push_back(t);
        }
        std::sort(lines.begin(), lines.end(),
                  [](const Line& x, const Line& y) { return x.id < y.id; });
        all += static_cast<int>(lines.size()) - g.lines;
        g.before = b;
        g.lines = static_cast<int>(lines.size());
        g.texts = std::move(found);
        for (const Line& l : lines) {
            b += l.in;
            b -= l.out;
            const Stored::Kind kind = l.stored.empty() ? Stored::Empty
                                                       : noteBalance(changes, l.id, b + floatAmount,
                                                                     l.stored, l.storedText);
            const auto known =
                std::lower_bound(memory_.ids.begin(), memory_.ids.end(),
                                 std::pair<qint64, DateKey>{l.id, DateKey{false, 0}});
            if (known != memory_.ids.end() && known->first == l.id)
                memory_.stored[static_cast<size_t>(known - memory_.ids.begin())] = {b, kind};
            else
                memory_.usable = false; // a line not announced: the next recompute walks all
        }
        result.read += static_cast<int>(lines.size());
    }
    groups.erase(std::remove_if(groups.begin() + static_cast<std::ptrdiff_t>(first), groups.end(),
                                [](const DateGroup& g) { return g.lines == 0; }),
                 groups.end());
    memory_.total = b;
    memory_.lines = all;
    result.balance = b + floatAmount;
    const int count = static_cast<int>(changes.size());
    result.failure = write(db_, changes, all);
    result.written = result.ok() ? count : 0;
    return result;
}

bool RunningBalance::shiftFloat(Money floatAmount, BalanceResult& result) {
    // What is noted here stands once the write succeeds; otherwise the walk over every line
    // that follows renews all of it.
    std::vector<Stored>& stored = memory_.stored;
    const auto& ids = memory_.ids;
    if (stored.size() != ids.size())
        return false;
    std::vector<Change>& changes = scratch_.changes;
    changes.clear();
    char buffer[Money::kUtf8Size];
    for (size_t i = 0; i < stored.size(); ++i) {
        Stored& s = stored[i];
        if (s.kind == Stored::Unknown)
            return false;
        if (s.kind == Stored::Empty)
            continue;
        const std::string_view before = (s.after + float_).toUtf8(buffer);
        s.kind = noteBalance(changes, ids[i].first, s.after + floatAmount, before,
                             s.kind == Stored::Text);
    }
    const int count = static_cast<int>(changes.size());
    // The in-place write asks every line's length again: a balance that is not what the
    // memory says makes it fail, and the walk over every line reads what is there.
    if (!write(db_, changes, memory_.lines))
        return false;
    result.balance = memory_.total + floatAmount;
    result.written = count;
    return true;
}

BalanceResult RunningBalance::recompute(Money floatAmount) {
    std::optional<DateKey> from;
    BalanceResult r;
    bool done = false;
    if (trusted() && takeWrittenLines(from)) {
        if (floatAmount != float_) {
            // A new float moves every balance by the same amount; with other lines written
            // too, the walk reads them all.
            done = !from && shiftFloat(floatAmount, r);
        } else if (from) {
            r = walkFrom(*from, floatAmount);
            done = true;
        } else {
            r.balance = memory_.total + floatAmount;
            done = true;
        }
    }
    if (!done)
        r = walkAll(db_, floatAmount, &memory_, scratch_);
    known_ = r.ok() && memory_.usable;
    float_ = floatAmount;
    remember();
    return r;
}

bool RunningBalance::trusted() {
    // Every row this connection wrote was announced, and no other connection committed.
    return known_ && db_.totalChanges() - changesThen_ == hookCalls_ &&
           db_.dataVersion() == versionThen_;
}

void RunningBalance::remember() {
    written_.clear();
    hookCalls_ = 0;
    changesThen_ = db_.totalChanges();
    versionThen_ = db_.dataVersion();
}

std::optional<Money> RunningBalance::carriedInto(const QString& date) {
    if (!written_.empty() || !trusted())
        return std::nullopt;
    const QByteArray utf8 = date.toUtf8();
    const DateKey key =
        dateKeyOf(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    const auto& groups = memory_.groups;
    const auto g = std::lower_bound(groups.begin(), groups.end(), key,
                                    [](const DateGroup& d, DateKey k) { return d.key < k; });
    return (g == groups.end() ? memory_.total : g->before) + float_;
}

std::optional<NegativeDay> RunningBalance::firstNegativeDay(const std::vector<BalanceShift>& shifts,
                                                            Money floatAmount) {
    if (shifts.empty())
        return std::nullopt;
    if (!recompute(floatAmount).ok())
        return std::nullopt;
    std::vector<BalanceShift> byKey = shifts;
    std::stable_sort(byKey.begin(), byKey.end(),
                     [](const BalanceShift& a, const BalanceShift& b) { return a.key < b.key; });
    const auto& groups = memory_.groups;
    const size_t n = groups.size();
    // What a day ends with now: the next date's opening balance, or the book's total.
    const auto carried = [&](size_t j) { return j < n ? groups[j].before : memory_.total; };
    size_t j = static_cast<size_t>(
        std::lower_bound(groups.begin(), groups.end(), byKey.front().key,
                         [](const DateGroup& d, DateKey k) { return d.key < k; }) -
        groups.begin());
    size_t s = 0;
    Money moved;
    while (s < byKey.size() || j < n) {
        // Once every shift is applied, a change that lowers nothing cannot make a day negative.
        if (s == byKey.size() && moved >= Money())
            break;
        const DateKey key = s < byKey.size() && (j >= n || byKey[s].key <= groups[j].key)
                                ? byKey[s].key
                                : groups[j].key;
        QString date;
        for (; s < byKey.size() && byKey[s].key == key; ++s) {
            moved += byKey[s].amount;
            date = byKey[s].date;
        }
        const bool isDay = j < n && groups[j].key == key;
        // A date without lines yet ends with what it carries in.
        const Money now = isDay ? carried(j + 1) : carried(j);
        if (isDay) {
            if (!groups[j].texts.empty())
                date = QString::fromStdString(groups[j].texts.front().text);
            ++j;
        }
        const Money after = now + moved + floatAmount;
        if (moved < Money() && after < Money() && key.dated && !date.isEmpty())
            return NegativeDay{date, after};
    }
    return std::nullopt;
}

std::optional<Money> RunningBalance::endOfDay(const QString& date) const {
    if (!known_ && memory_.groups.empty())
        return std::nullopt;
    const DateKey key = dateKeyOf(date.toStdString());
    const auto& groups = memory_.groups;
    // The first date after this one opens with what this day ends with.
    const auto after = std::upper_bound(groups.begin(), groups.end(), key,
                                        [](DateKey k, const DateGroup& d) { return k < d.key; });
    return (after == groups.end() ? memory_.total : after->before) + float_;
}

} // namespace tb
