#include "change_log.h"

#include "cash_date.h"
#include "clock.h"

#include <QDateTime>
#include <algorithm>
#include <atomic>
#include <charconv>
#include <limits>
#include <mutex>
#include <openssl/evp.h>
#include <sqlite3.h>

namespace tb::changelog {

using schema::utf8::kDayColumns;
using schema::utf8::kDayKey;
using schema::utf8::kNextReceipt;
using schema::utf8::kPassword;

// ---- the reason and the clock of each connection -----------------------------------------

namespace {
struct Connection {
    sqlite3* db;
    int reason = 0;
};
std::mutex connectionsMutex;
std::unordered_map<sqlite3*, Connection*>& connections() {
    static std::unordered_map<sqlite3*, Connection*> all;
    return all;
}
Connection* connectionOf(sqlite3* db) {
    std::lock_guard<std::mutex> lock(connectionsMutex);
    const auto it = connections().find(db);
    return it == connections().end() ? nullptr : it->second;
}
void forget(void* p) {
    auto* c = static_cast<Connection*>(p);
    {
        std::lock_guard<std::mutex> lock(connectionsMutex);
        const auto it = connections().find(c->db);
        if (it != connections().end() && it->second == c)
            connections().erase(it);
    }
    delete c;
}

std::atomic<const Clock*> logClock{nullptr};
} // namespace

ReasonScope::ReasonScope(Database* db, Reason reason)
    : db_(db ? db->handle() : nullptr), previous_(0) {
    if (Connection* c = connectionOf(db_)) {
        previous_ = c->reason;
        c->reason = static_cast<int>(reason);
    }
}

ReasonScope::~ReasonScope() {
    if (Connection* c = connectionOf(db_))
        c->reason = previous_;
}

void setClock(const Clock* clock) {
    logClock = clock;
}

qint64 now() {
    const Clock* c = logClock;
    return (c ? c->now() : QDateTime::currentDateTime()).toSecsSinceEpoch();
}

// ---- SHA-256 -----------------------------------------------------------------------------

namespace {
// SHA-256 from OpenSSL's libcrypto, which SQLCipher uses for its own checksums: it uses the
// processor's SHA instructions and so hashes a chain of a million entries in a fraction of
// the time the rest of the check takes. One per thread, reused for every entry.
class Sha256 {
  public:
    Sha256()
        : type_(EVP_MD_fetch(nullptr, "SHA256", nullptr)), ctx_(EVP_MD_CTX_new()),
          ok_(type_ && ctx_ && EVP_DigestInit_ex2(ctx_, type_, nullptr) == 1) {}
    ~Sha256() {
        EVP_MD_CTX_free(ctx_);
        EVP_MD_free(type_);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void add(std::string_view data) {
        ok_ = ok_ && EVP_DigestUpdate(ctx_, data.data(), data.size()) == 1;
    }
    // The hash of what was added (empty when the library failed); starts anew.
    QByteArray result() {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int n = 0;
        const bool done = ok_ && EVP_DigestFinal_ex(ctx_, md, &n) == 1 && n == 32;
        ok_ = type_ && ctx_ && EVP_DigestInit_ex2(ctx_, type_, nullptr) == 1;
        return done ? QByteArray(reinterpret_cast<const char*>(md), 32) : QByteArray();
    }

  private:
    EVP_MD* type_;
    EVP_MD_CTX* ctx_;
    bool ok_;
};
} // namespace

// ---- the stored forms --------------------------------------------------------------------

std::string escaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char ch : value) {
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case ';':
            out += "\\;";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

void appendItem(std::string& form, std::string_view column, std::string_view value) {
    if (!form.empty())
        form += ';';
    form.append(column);
    form += '=';
    form += escaped(value);
}

bool parseForm(std::string_view form, std::vector<std::pair<std::string, std::string>>& items) {
    items.clear();
    if (form.empty())
        return true;
    std::string name, value;
    bool inValue = false;
    auto finish = [&] {
        if (!inValue)
            return false;
        items.emplace_back(std::move(name), std::move(value));
        name.clear();
        value.clear();
        inValue = false;
        return true;
    };
    for (size_t i = 0; i < form.size(); ++i) {
        const char ch = form[i];
        if (!inValue) {
            if (ch == '=')
                inValue = true;
            else if (ch == ';' || ch == '\\')
                return false;
            else
                name += ch;
            continue;
        }
        if (ch == ';') {
            if (!finish())
                return false;
        } else if (ch == '\\') {
            if (++i == form.size())
                return false;
            const char e = form[i];
            value += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        } else {
            value += ch;
        }
    }
    return finish();
}

std::string dateKey(std::string_view date) {
    const bool ascii =
        std::all_of(date.begin(), date.end(), [](char c) { return (c & 0x80) == 0; });
    if (!ascii) {
        const QByteArray k =
            cashdate::key8(QString::fromUtf8(date.data(), static_cast<qsizetype>(date.size())))
                .toUtf8();
        return std::string(k.constData(), static_cast<size_t>(k.size()));
    }
    // Characters 7-10, 4-5 and 1-2, each as far as the text reaches.
    auto part = [&](size_t from, size_t n) {
        return from < date.size() ? date.substr(from, n) : std::string_view();
    };
    std::string k;
    k.append(part(6, 4));
    k.append(part(3, 2));
    k.append(part(0, 2));
    return k;
}

std::string lineForm(const LineValues& v) {
    std::string form;
    for (int c = 0; c < kLineColumns; ++c) {
        if (c == kA8 || c == kA10)
            continue;
        const std::string& value = v[static_cast<size_t>(c)];
        if (c == kA11) {
            if (value != dateKey(v[kA10]))
                appendItem(form, kLineColumnNames[static_cast<size_t>(c)], value);
            continue;
        }
        if (!value.empty())
            appendItem(form, kLineColumnNames[static_cast<size_t>(c)], value);
    }
    return form;
}

namespace {
static_assert(kA3 == 3 && kA14 == 14, "a3 ... a14 stand at their own numbers");
// The column a name in a form stands for (a1, n1, n2, a3 ... a14), -1 for any other name.
int lineColumn(std::string_view name) {
    if (name.size() < 2 || name.size() > 3 || (name[0] != 'a' && name[0] != 'n') || name[1] == '0')
        return -1;
    int n = 0;
    for (size_t i = 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    if (name[0] == 'n')
        return n == 1 ? kN1 : n == 2 ? kN2 : -1;
    return n == 1 ? kA1 : n >= 3 && n <= 14 ? n : -1; // a3 ... a14 stand at 3 ... 14
}
} // namespace

bool lineFromForm(std::string_view form, std::string_view receipt, std::string_view date,
                  LineValues& v) {
    // The same grammar as parseForm, read straight into the columns (the check reads a
    // million of these).
    for (std::string& value : v)
        value.clear();
    v[kA8] = receipt;
    v[kA10] = date;
    v[kA11] = dateKey(date);
    size_t i = 0;
    while (i < form.size()) {
        const size_t eq = form.find('=', i);
        if (eq == std::string_view::npos)
            return false;
        const int column = lineColumn(form.substr(i, eq - i));
        if (column < 0 || column == kA8 || column == kA10)
            return false;
        std::string& value = v[static_cast<size_t>(column)];
        value.clear();
        size_t j = eq + 1;
        while (j < form.size() && form[j] != ';') {
            const size_t plain = form.find_first_of(";\\", j);
            const size_t end = plain == std::string_view::npos ? form.size() : plain;
            value.append(form.substr(j, end - j));
            j = end;
            if (j < form.size() && form[j] == '\\') {
                if (++j == form.size())
                    return false;
                const char e = form[j++];
                value += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
            }
        }
        if (j + 1 == form.size())
            return false; // a ";" with nothing after it
        i = j + 1;
    }
    return true;
}

std::string dayForm(std::string_view a1, std::string_view a2) {
    std::string form;
    if (a2 != dateKey(a1))
        appendItem(form, kDayKey, a2);
    return form;
}

std::string settingsValueForm(std::string_view column, std::string_view value) {
    if (column == kPassword)
        return value.empty() ? std::string() : std::string("*");
    return std::string(value);
}

QByteArray entryHash(const QByteArray& previous, const EntryFields& fields) {
    // The whole input in one piece: the hash is fed once per entry.
    thread_local Sha256 hash;
    thread_local std::string input;
    input.clear();
    if (previous.isEmpty())
        input.append(32, '\0');
    else
        input.append(previous.constData(), static_cast<size_t>(previous.size()));
    for (const std::string_view f : fields) {
        char length[24];
        const auto end = std::to_chars(length, length + sizeof length, f.size()).ptr;
        input.append(length, end);
        input += ':';
        input.append(f);
    }
    hash.add(input);
    return hash.result();
}

// ---- the SQL functions -------------------------------------------------------------------

namespace {
std::string_view textOf(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v)))
             : std::string_view();
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void nowFn(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int64(ctx, now());
}

void reasonFn(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_int(ctx, static_cast<Connection*>(sqlite3_user_data(ctx))->reason);
}

void lineFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc != kLineColumns) {
        sqlite3_result_error(ctx, "tb_zeile: falsche Zahl von Werten", -1);
        return;
    }
    LineValues v;
    for (int i = 0; i < kLineColumns; ++i)
        v[static_cast<size_t>(i)] = textOf(argv[i]);
    resultText(ctx, lineForm(v));
}

void dayFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    resultText(ctx, dayForm(textOf(argv[0]), textOf(argv[1])));
}

void settingsFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string form;
    for (int i = 0; i < argc && i < static_cast<int>(kSettingsColumnNames.size()); ++i) {
        const std::string value =
            settingsValueForm(kSettingsColumnNames[static_cast<size_t>(i)], textOf(argv[i]));
        if (!value.empty())
            appendItem(form, kSettingsColumnNames[static_cast<size_t>(i)], value);
    }
    resultText(ctx, form);
}

// Pairs of old and new values: 1 when the texts of one pair differ (a missing value is "").
void differFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i + 1 < argc; i += 2)
        if (textOf(argv[i]) != textOf(argv[i + 1])) {
            sqlite3_result_int(ctx, 1);
            return;
        }
    sqlite3_result_int(ctx, 0);
}

// Triples of column name, old and new value: the columns whose texts differ, with their old
// (tb_vorher) or new (tb_nachher) values.
template <int Which> void changeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string form;
    for (int i = 0; i + 2 < argc; i += 3) {
        const std::string_view column = textOf(argv[i]);
        const std::string_view before = textOf(argv[i + 1]);
        const std::string_view after = textOf(argv[i + 2]);
        if (before != after)
            appendItem(form, column, settingsValueForm(column, Which == 0 ? before : after));
    }
    resultText(ctx, form);
}

void hashFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc != 10) {
        sqlite3_result_error(ctx, "tb_pruefsumme: falsche Zahl von Werten", -1);
        return;
    }
    QByteArray previous;
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
        previous = QByteArray(static_cast<const char*>(sqlite3_value_blob(argv[0])),
                              sqlite3_value_bytes(argv[0]));
    EntryFields fields;
    for (int i = 0; i < 9; ++i)
        fields[static_cast<size_t>(i)] = textOf(argv[i + 1]);
    const QByteArray h = entryHash(previous, fields);
    if (h.size() != 32) {
        sqlite3_result_error(ctx, "tb_pruefsumme: keine Prüfsumme", -1);
        return;
    }
    sqlite3_result_blob(ctx, h.constData(), static_cast<int>(h.size()), SQLITE_TRANSIENT);
}
} // namespace

void registerFunctions(sqlite3* db) {
#ifdef SQLITE_INNOCUOUS
    // The triggers in the file call them: they have no effect but their result.
    const int innocuous = SQLITE_INNOCUOUS;
#else
    const int innocuous = 0;
#endif
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | innocuous;
    const int impure = SQLITE_UTF8 | innocuous;
    auto* c = new Connection{db};
    {
        std::lock_guard<std::mutex> lock(connectionsMutex);
        connections()[db] = c;
    }
    sqlite3_create_function_v2(db, "tb_anlass", 0, impure, c, reasonFn, nullptr, nullptr, forget);
    sqlite3_create_function_v2(db, "tb_jetzt", 0, impure, nullptr, nowFn, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "tb_zeile", kLineColumns, pure, nullptr, lineFn, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "tb_tag", 2, pure, nullptr, dayFn, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "tb_einstellungen", 14, pure, nullptr, settingsFn, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "tb_verschieden", -1, pure, nullptr, differFn, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "tb_vorher", -1, pure, nullptr, changeFn<0>, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "tb_nachher", -1, pure, nullptr, changeFn<1>, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "tb_pruefsumme", 10, pure, nullptr, hashFn, nullptr, nullptr,
                               nullptr);
}

// ---- the book as a whole -----------------------------------------------------------------

std::string BookState::form() const {
    std::string f;
    appendItem(f, "Zeilen", std::to_string(lines));
    appendItem(f, "Tage", std::to_string(days));
    appendItem(f, "letzte Zeile", std::to_string(lastLine));
    appendItem(f, "Prüfsumme", digest.toHex().toStdString());
    return f;
}

bool BookState::fromForm(std::string_view form, BookState& s) {
    std::vector<std::pair<std::string, std::string>> items;
    if (!parseForm(form, items))
        return false;
    int found = 0;
    for (const auto& [name, value] : items) {
        bool ok = true;
        if (name == "Zeilen")
            s.lines = QByteArray::fromStdString(value).toLongLong(&ok);
        else if (name == "Tage")
            s.days = QByteArray::fromStdString(value).toLongLong(&ok);
        else if (name == "letzte Zeile")
            s.lastLine = QByteArray::fromStdString(value).toLongLong(&ok);
        else if (name == "Prüfsumme")
            s.digest = QByteArray::fromHex(QByteArray::fromStdString(value));
        else
            continue;
        found += ok ? 1 : 0;
    }
    return found == 4 && s.digest.size() == 32;
}

namespace {
class Digest {
  public:
    void field(std::string_view f) {
        char length[24];
        const auto end = std::to_chars(length, length + sizeof length, f.size()).ptr;
        *end = ':';
        hash_.add(std::string_view(length, static_cast<size_t>(end + 1 - length)));
        hash_.add(f);
    }
    void number(qint64 n) {
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, n).ptr;
        field(std::string_view(text, static_cast<size_t>(end - text)));
    }
    QByteArray result() { return hash_.result(); }

  private:
    Sha256 hash_;
};

// The rows of a table by ID, with the stand-ins merged in: those for stored rows replace or
// remove them, the others are added in their place.
template <typename Values>
bool mergedRows(Statement& st, int columns,
                const std::unordered_map<qint64, std::optional<Values>>* overrides,
                const std::function<void(qint64, const Values&)>& take) {
    std::vector<qint64> added;
    if (overrides) {
        for (const auto& [id, v] : *overrides)
            if (v)
                added.push_back(id);
        std::sort(added.begin(), added.end());
    }
    size_t next = 0;
    auto addUpTo = [&](qint64 id) {
        for (; next < added.size() && added[next] < id; ++next)
            take(added[next], *overrides->at(added[next]));
    };
    Values v;
    while (st.next()) {
        const qint64 id = st.integer(0);
        addUpTo(id);
        if (overrides) {
            const auto it = overrides->find(id);
            if (it != overrides->end()) {
                if (next < added.size() && added[next] == id)
                    ++next;
                if (it->second)
                    take(id, *it->second);
                continue;
            }
        }
        for (int c = 0; c < columns; ++c)
            v[static_cast<size_t>(c)] = st.utf8(c + 1);
        take(id, v);
    }
    addUpTo(std::numeric_limits<qint64>::max());
    return st.isValid() && st.failure().ok();
}

QString columnList(const char* const* names, size_t n) {
    QStringList out;
    for (size_t i = 0; i < n; ++i)
        out << QLatin1String(names[i]);
    return out.join(QLatin1Char(','));
}
} // namespace

std::optional<BookState> bookState(Database& db, const BookOverrides* o) {
    BookState s;
    Digest d;
    {
        Statement st =
            db.prepare(QStringLiteral("SELECT ID,%1 FROM Buchungen WHERE ID <= ? ORDER BY ID;")
                           .arg(columnList(kLineColumnNames.data(), kLineColumnNames.size())));
        st.bind(1, o ? o->linesUpTo : std::numeric_limits<qint64>::max());
        const bool ok = mergedRows<LineValues>(st, kLineColumns, o ? &o->lines : nullptr,
                                               [&](qint64 id, const LineValues& v) {
                                                   d.number(id);
                                                   for (const std::string& f : v)
                                                       d.field(f);
                                                   ++s.lines;
                                                   s.lastLine = std::max(s.lastLine, id);
                                               });
        if (!ok)
            return std::nullopt;
    }
    d.field("Datum");
    {
        Statement st = db.prepare(QStringLiteral("SELECT ID, a1, a2 FROM Datum ORDER BY ID;"));
        const bool ok = mergedRows<std::array<std::string, 2>>(
            st, 2, o ? &o->days : nullptr, [&](qint64 id, const std::array<std::string, 2>& v) {
                d.number(id);
                d.field(v[0]);
                d.field(v[1]);
                ++s.days;
            });
        if (!ok)
            return std::nullopt;
    }
    d.field("Einstellungen");
    {
        Statement st = db.prepare(
            QStringLiteral("SELECT ID,%1 FROM Einstellungen ORDER BY ID;")
                .arg(columnList(kSettingsColumnNames.data(), kSettingsColumnNames.size())));
        const bool ok = mergedRows<std::array<std::string, 14>>(
            st, 14, o ? &o->settings : nullptr,
            [&](qint64 id, const std::array<std::string, 14>& v) {
                d.number(id);
                for (size_t c = 0; c < v.size(); ++c)
                    if (std::string_view(kSettingsColumnNames[c]) != kNextReceipt &&
                        std::string_view(kSettingsColumnNames[c]) != kPassword)
                        d.field(v[c]);
            });
        if (!ok)
            return std::nullopt;
    }
    s.digest = d.result();
    if (s.digest.size() != 32)
        return std::nullopt;
    return s;
}

// ---- the table and its triggers ----------------------------------------------------------

namespace {
const char* const kTable =
    "CREATE TABLE IF NOT EXISTS Protokoll (ID INTEGER PRIMARY KEY AUTOINCREMENT, Zeit INTEGER, "
    "Art INTEGER, Anlass INTEGER, Bezug INTEGER, Beleg TEXT, Datum TEXT, Vorher TEXT, "
    "Nachher TEXT, Pruefsumme BLOB);";

QString values(const char* prefix, const QStringList& columns) {
    QStringList out;
    for (const QString& c : columns)
        out << QLatin1String(prefix) + c;
    return out.join(QStringLiteral(", "));
}

// "OLD.c, NEW.c" for each column (tb_verschieden), or "'c', OLD.c, NEW.c" (tb_vorher/nachher).
QString pairs(const QStringList& columns, bool named) {
    QStringList out;
    for (const QString& c : columns)
        out << (named ? QStringLiteral("'%1', OLD.%1, NEW.%1") : QStringLiteral("OLD.%1, NEW.%1"))
                   .arg(c);
    return out.join(QStringLiteral(", "));
}

QStringList names(const char* const* list, size_t n) {
    QStringList out;
    for (size_t i = 0; i < n; ++i)
        out << QLatin1String(list[i]);
    return out;
}

struct Trigger {
    QString name;
    QString sql;
};

QString insertEntry(int kind, const QString& ref, const QString& receipt, const QString& date,
                    const QString& before, const QString& after) {
    return QStringLiteral("INSERT INTO Protokoll (Zeit, Art, Anlass, Bezug, Beleg, Datum, Vorher, "
                          "Nachher) VALUES (tb_jetzt(), %1, tb_anlass(), %2, %3, %4, %5, %6);")
        .arg(kind)
        .arg(ref, receipt, date, before, after);
}

std::vector<Trigger> triggers() {
    const QStringList line = names(kLineColumnNames.data(), kLineColumnNames.size());
    const QStringList settings = names(kSettingsColumnNames.data(), kSettingsColumnNames.size());
    QStringList settingsButNumber = settings;
    settingsButNumber.removeAll(QLatin1String(kNextReceipt));
    const QStringList day = names(kDayColumns.data(), kDayColumns.size());
    const QStringList lineAndId = QStringList{schema::kId} + line;
    const QStringList dayAndId = QStringList{schema::kId} + day;
    const QStringList settingsAndId = QStringList{schema::kId} + settings;
    auto after = [](const QString& table, const QString& event, const QString& when,
                    const QString& body) {
        return QStringLiteral("AFTER %1 ON %2%3 BEGIN %4 END")
            .arg(event, table, when.isEmpty() ? QString() : QStringLiteral(" WHEN ") + when, body);
    };
    const QString nul = QStringLiteral("NULL");
    std::vector<Trigger> t;
    t.push_back({QStringLiteral("Protokoll_Zeile_neu"),
                 after(QStringLiteral("Buchungen"), QStringLiteral("INSERT"), {},
                       insertEntry(int(Kind::LineAdded), QStringLiteral("NEW.ID"),
                                   QStringLiteral("NEW.a8"), QStringLiteral("NEW.a10"), nul,
                                   QStringLiteral("tb_zeile(%1)").arg(values("NEW.", line))))});
    t.push_back({QStringLiteral("Protokoll_Zeile_geaendert"),
                 after(QStringLiteral("Buchungen"),
                       QStringLiteral("UPDATE OF ") + lineAndId.join(QStringLiteral(", ")),
                       QStringLiteral("tb_verschieden(%1)").arg(pairs(lineAndId, false)),
                       insertEntry(int(Kind::LineChanged), QStringLiteral("NEW.ID"),
                                   QStringLiteral("NEW.a8"), QStringLiteral("NEW.a10"),
                                   QStringLiteral("tb_vorher(%1)").arg(pairs(lineAndId, true)),
                                   QStringLiteral("tb_nachher(%1)").arg(pairs(lineAndId, true))))});
    t.push_back(
        {QStringLiteral("Protokoll_Zeile_geloescht"),
         after(QStringLiteral("Buchungen"), QStringLiteral("DELETE"), {},
               insertEntry(int(Kind::LineDeleted), QStringLiteral("OLD.ID"),
                           QStringLiteral("OLD.a8"), QStringLiteral("OLD.a10"),
                           QStringLiteral("tb_zeile(%1)").arg(values("OLD.", line)), nul))});
    t.push_back({QStringLiteral("Protokoll_Tag_neu"),
                 after(QStringLiteral("Datum"), QStringLiteral("INSERT"), {},
                       insertEntry(int(Kind::DayAdded), QStringLiteral("NEW.ID"), nul,
                                   QStringLiteral("NEW.a1"), nul,
                                   QStringLiteral("tb_tag(NEW.a1, NEW.a2)")))});
    t.push_back({QStringLiteral("Protokoll_Tag_geaendert"),
                 after(QStringLiteral("Datum"),
                       QStringLiteral("UPDATE OF ") + dayAndId.join(QStringLiteral(", ")),
                       QStringLiteral("tb_verschieden(%1)").arg(pairs(dayAndId, false)),
                       insertEntry(int(Kind::DayChanged), QStringLiteral("NEW.ID"), nul,
                                   QStringLiteral("NEW.a1"),
                                   QStringLiteral("tb_vorher(%1)").arg(pairs(dayAndId, true)),
                                   QStringLiteral("tb_nachher(%1)").arg(pairs(dayAndId, true))))});
    t.push_back({QStringLiteral("Protokoll_Tag_geloescht"),
                 after(QStringLiteral("Datum"), QStringLiteral("DELETE"), {},
                       insertEntry(int(Kind::DayDeleted), QStringLiteral("OLD.ID"), nul,
                                   QStringLiteral("OLD.a1"),
                                   QStringLiteral("tb_tag(OLD.a1, OLD.a2)"), nul))});
    t.push_back(
        {QStringLiteral("Protokoll_Einstellungen_neu"),
         after(QStringLiteral("Einstellungen"), QStringLiteral("INSERT"), {},
               insertEntry(int(Kind::SettingsAdded), QStringLiteral("NEW.ID"), nul, nul, nul,
                           QStringLiteral("tb_einstellungen(%1)").arg(values("NEW.", settings))))});
    // The next receipt number moves with every booking and counter-entry, whose lines are
    // logged with their numbers: on its own account only is it a change of the settings.
    t.push_back(
        {QStringLiteral("Protokoll_Einstellungen_geaendert"),
         after(QStringLiteral("Einstellungen"),
               QStringLiteral("UPDATE OF ") + settingsAndId.join(QStringLiteral(", ")),
               QStringLiteral("tb_verschieden(%1) OR (tb_verschieden(OLD.Einst19, NEW.Einst19) "
                              "AND tb_anlass() NOT IN (%2, %3))")
                   .arg(pairs(QStringList{schema::kId} + settingsButNumber, false))
                   .arg(int(Reason::Booking))
                   .arg(int(Reason::Cancellation)),
               insertEntry(int(Kind::SettingsChanged), QStringLiteral("NEW.ID"), nul, nul,
                           QStringLiteral("tb_vorher(%1)").arg(pairs(settingsAndId, true)),
                           QStringLiteral("tb_nachher(%1)").arg(pairs(settingsAndId, true))))});
    t.push_back(
        {QStringLiteral("Protokoll_Einstellungen_geloescht"),
         after(QStringLiteral("Einstellungen"), QStringLiteral("DELETE"), {},
               insertEntry(int(Kind::SettingsDeleted), QStringLiteral("OLD.ID"), nul, nul,
                           QStringLiteral("tb_einstellungen(%1)").arg(values("OLD.", settings)),
                           nul))});
    // The chain: every entry, whoever appends it, gets its Pruefsumme at once.
    t.push_back({QStringLiteral("Protokoll_Kette"),
                 after(QStringLiteral("Protokoll"), QStringLiteral("INSERT"), {},
                       QStringLiteral("UPDATE Protokoll SET Pruefsumme = tb_pruefsumme((SELECT "
                                      "Pruefsumme FROM Protokoll WHERE ID < NEW.ID ORDER BY ID "
                                      "DESC LIMIT 1), NEW.ID, NEW.Zeit, NEW.Art, NEW.Anlass, "
                                      "NEW.Bezug, NEW.Beleg, NEW.Datum, NEW.Vorher, NEW.Nachher) "
                                      "WHERE ID = NEW.ID;"))});
    t.push_back({QStringLiteral("Protokoll_unveraenderlich"),
                 QStringLiteral("BEFORE UPDATE ON Protokoll WHEN OLD.Pruefsumme IS NOT NULL "
                                "BEGIN SELECT RAISE(ABORT, 'Ein Eintrag des "
                                "Änderungsprotokolls kann nicht geändert werden.'); END")});
    t.push_back({QStringLiteral("Protokoll_unloeschbar"),
                 QStringLiteral("BEFORE DELETE ON Protokoll BEGIN SELECT RAISE(ABORT, 'Ein "
                                "Eintrag des Änderungsprotokolls kann nicht gelöscht werden.'); "
                                "END")});
    return t;
}

QString createTrigger(const Trigger& t) {
    return QStringLiteral("CREATE TRIGGER %1 %2").arg(t.name, t.sql);
}
} // namespace

bool hasLog(Database& db) {
    return db.scalar(QStringLiteral(
               "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='Protokoll';")) ==
           QLatin1String("1");
}

Result createTable(Database& db) {
    return db.exec(QString::fromLatin1(kTable));
}

Result dropTriggers(Database& db) {
    for (const Trigger& t : triggers())
        if (Result r = db.exec(QStringLiteral("DROP TRIGGER IF EXISTS %1;").arg(t.name)); !r)
            return r;
    return {};
}

Result installTriggers(Database& db) {
    for (const Trigger& t : triggers()) {
        if (Result r = db.exec(QStringLiteral("DROP TRIGGER IF EXISTS %1;").arg(t.name)); !r)
            return r;
        if (Result r = db.exec(createTrigger(t) + QLatin1Char(';')); !r)
            return r;
    }
    return {};
}

Result append(Database& db, const NewEntry& e) {
    if (!hasLog(db))
        return {}; // a book from before the log gets it at its next start
    Statement st = db.prepare(
        QStringLiteral("INSERT INTO Protokoll (Zeit, Art, Anlass, Bezug, Beleg, Datum, Vorher, "
                       "Nachher) VALUES (tb_jetzt(), ?, ?, ?, ?, ?, ?, ?);"));
    st.bind(1, static_cast<qint64>(e.kind));
    st.bind(2, static_cast<qint64>(e.reason));
    if (e.ref > 0)
        st.bind(3, e.ref);
    else
        st.bindNull(3);
    auto textOrNull = [&](int i, const QString& s) {
        if (s.isEmpty())
            st.bindNull(i);
        else
            st.bind(i, s);
    };
    textOrNull(4, e.receipt);
    textOrNull(5, e.date);
    auto formOrNull = [&](int i, const std::string& s) {
        if (s.empty())
            st.bindNull(i);
        else
            st.bindUtf8(i, s);
    };
    formOrNull(6, e.before);
    formOrNull(7, e.after);
    if (st.run())
        return {};
    return st.failure();
}

Result ensureTriggers(Database& db) {
    QStringList missing;
    {
        Statement st = db.prepare(
            QStringLiteral("SELECT sql FROM sqlite_master WHERE type='trigger' AND name=?;"));
        for (const Trigger& t : triggers()) {
            st.reset();
            st.bind(1, t.name);
            if (!st.next() || st.text(0) != createTrigger(t))
                missing << t.name;
        }
    }
    if (missing.isEmpty())
        return {};
    if (Result r = installTriggers(db); !r)
        return r;
    // Until now writes could go unlogged: the check shows what they changed.
    NewEntry e;
    e.kind = Kind::LoggingRestored;
    std::string list;
    for (const QString& name : missing)
        appendItem(list, name.toStdString(), "fehlte oder war verändert");
    e.before = list;
    return append(db, e);
}

Result ensureLog(Database& db, Reason reason) {
    if (hasLog(db))
        return {};
    if (Result r = createTable(db); !r)
        return r;
    const auto state = bookState(db);
    if (!state)
        return db.lastFailure();
    if (Result r = installTriggers(db); !r)
        return r;
    NewEntry begun;
    begun.kind = Kind::Begun;
    begun.reason = reason;
    begun.after = state->form();
    return append(db, begun);
}

} // namespace tb::changelog
