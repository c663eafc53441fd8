#include "jet_functions.h"

#include <QCollator>
#include <QLocale>
#include <sqlite3.h>

namespace tb::jet {

QString mid(const QString& text, int start, int length) {
    if (start < 1 || start > text.size())
        return {};
    return length < 0 ? text.mid(start - 1) : text.mid(start - 1, length);
}

QString left(const QString& text, int length) {
    return length <= 0 ? QString() : text.left(length);
}

double val(const QString& text) {
    // Leading blanks are skipped, then an optional sign, digits and one decimal point.
    int i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    int start = i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    bool dot = false;
    int digits = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            ++digits;
        } else if (c == QLatin1Char('.') && !dot) {
            dot = true;
        } else {
            break;
        }
        ++i;
    }
    if (digits == 0)
        return 0.0;
    return text.mid(start, i - start).toDouble();
}

static QCollator& germanCollator() {
    static QCollator collator = [] {
        QCollator c{QLocale(QLocale::German, QLocale::Germany)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        return c;
    }();
    return collator;
}

int compareGerman(const QString& a, const QString& b) {
    const int r = germanCollator().compare(a, b);
    if (r != 0)
        return r;
    // Equal under the collation: fall back to a stable order so that sorting is total.
    return QString::compare(a, b, Qt::CaseSensitive);
}

static QString argText(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? QString::fromUtf8(p, sqlite3_value_bytes(v)) : QString();
}

static void resultText(sqlite3_context* ctx, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
}

// The functions run for every line of a listing, three times each: texts of plain ASCII (every
// date the program writes) are cut by bytes without building strings.
static bool isAscii(const unsigned char* p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i] >= 0x80)
            return false;
    return true;
}

static void midOf(sqlite3_context* ctx, sqlite3_value* text, int start, int length) {
    const auto* p = sqlite3_value_text(text);
    const int n = sqlite3_value_bytes(text);
    if (!p || !isAscii(p, n)) {
        resultText(ctx, mid(argText(text), start, length));
        return;
    }
    if (start < 1 || start > n || length == 0) {
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
        return;
    }
    const int avail = n - (start - 1);
    const int take = length < 0 || length > avail ? avail : length;
    sqlite3_result_text(ctx, reinterpret_cast<const char*>(p) + start - 1, take, SQLITE_TRANSIENT);
}

static void midFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    midOf(ctx, argv[0], sqlite3_value_int(argv[1]), argc > 2 ? sqlite3_value_int(argv[2]) : -1);
}

static void leftFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const int length = sqlite3_value_int(argv[1]);
    if (length <= 0) {
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
        return;
    }
    midOf(ctx, argv[0], 1, length);
}

static void valFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    // Whole numbers, the common case, without a detour over doubles.
    int i = 0;
    while (i < n && (p[i] == ' ' || p[i] == '\t'))
        ++i;
    const bool negative = i < n && p[i] == '-';
    if (i < n && (p[i] == '-' || p[i] == '+'))
        ++i;
    sqlite3_int64 whole = 0;
    int digits = 0;
    while (i < n && p[i] >= '0' && p[i] <= '9' && digits < 18) {
        whole = whole * 10 + (p[i] - '0');
        ++i;
        ++digits;
    }
    if (i == n || !(p[i] == '.' || (p[i] >= '0' && p[i] <= '9'))) {
        sqlite3_result_int64(ctx, negative ? -whole : whole);
        return;
    }
    const double v = val(argText(argv[0]));
    if (v == static_cast<double>(static_cast<sqlite3_int64>(v)))
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(v));
    else
        sqlite3_result_double(ctx, v);
}

static int collate(void*, int la, const void* a, int lb, const void* b) {
    return compareGerman(QString::fromUtf8(static_cast<const char*>(a), la),
                         QString::fromUtf8(static_cast<const char*>(b), lb));
}

void registerFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    for (const char* name : {"Mid", "Mid$"}) {
        sqlite3_create_function_v2(db, name, 2, flags, nullptr, midFn, nullptr, nullptr, nullptr);
        sqlite3_create_function_v2(db, name, 3, flags, nullptr, midFn, nullptr, nullptr, nullptr);
    }
    for (const char* name : {"Left", "Left$"})
        sqlite3_create_function_v2(db, name, 2, flags, nullptr, leftFn, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "Val", 1, flags, nullptr, valFn, nullptr, nullptr, nullptr);
    sqlite3_create_collation_v2(db, "GERMAN_NOCASE", SQLITE_UTF8, nullptr, collate, nullptr);
}

} // namespace tb::jet
