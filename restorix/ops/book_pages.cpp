#include "book_pages.h"

#include "progress.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace tb {

namespace {
// The 3.x format of every keyed file of ours.
constexpr int kKeyedPageSize = 1024;
constexpr int kSaltSize = 16;
constexpr int kReserve = 48;                  // IV and HMAC, rounded up to the AES block
const char kFileHeader[] = "SQLite format 3"; // with its terminating zero: 16 bytes

quint32 be32(const uchar* p) {
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}
int be16(const uchar* p) {
    return (p[0] << 8) | p[1];
}

// The engine's variable-length integer; false when it runs past the end.
bool varint(const uchar*& p, const uchar* end, qint64& value) {
    quint64 v = 0;
    for (int i = 0; i < 9; ++i) {
        if (p >= end)
            return false;
        const uchar b = *p++;
        if (i == 8) {
            v = (v << 8) | b;
            break;
        }
        v = (v << 7) | (b & 0x7f);
        if (!(b & 0x80))
            break;
    }
    value = static_cast<qint64>(v);
    return true;
}

bool allZero(const uchar* p, int n) {
    return std::all_of(p, p + n, [](uchar b) { return b == 0; });
}

// Decodes a record: the serial types of its header, then the values of its body.
bool decodeRecord(const QByteArray& payload, std::vector<StoredValue>& values) {
    const auto* begin = reinterpret_cast<const uchar*>(payload.constData());
    const uchar* end = begin + payload.size();
    const uchar* p = begin;
    qint64 headerSize = 0;
    if (!varint(p, end, headerSize) || headerSize < 1 || headerSize > payload.size())
        return false;
    const uchar* headerEnd = begin + headerSize;
    const uchar* body = headerEnd;
    while (p < headerEnd) {
        qint64 type = 0;
        if (!varint(p, headerEnd, type) || type < 0)
            return false;
        StoredValue v;
        qint64 length = 0;
        if (type == 0) {
            v.kind = StoredValue::Null;
        } else if (type <= 6 || type == 8 || type == 9) {
            static const int sizes[] = {0, 1, 2, 3, 4, 6, 8};
            length = type <= 6 ? sizes[type] : 0;
            if (body + length > end)
                return false;
            qint64 x = length > 0 && (body[0] & 0x80) ? -1 : 0; // sign-extended big-endian
            for (int i = 0; i < length; ++i)
                x = static_cast<qint64>((static_cast<quint64>(x) << 8) | body[i]);
            v.kind = StoredValue::Integer;
            v.integer = type == 8 ? 0 : type == 9 ? 1 : x;
        } else if (type == 7) {
            length = 8;
            if (body + length > end)
                return false;
            quint64 bits = 0;
            for (int i = 0; i < 8; ++i)
                bits = (bits << 8) | body[i];
            v.kind = StoredValue::Real;
            std::memcpy(&v.real, &bits, sizeof bits);
        } else if (type >= 12) {
            length = (type - 12) / 2;
            if (length > end - body)
                return false;
            v.kind = StoredValue::Text;
            v.text = QByteArray(reinterpret_cast<const char*>(body), static_cast<int>(length));
        } else {
            return false; // 10 and 11 are not used
        }
        body += length;
        values.push_back(std::move(v));
    }
    return true;
}
} // namespace

BookPages::~BookPages() = default;

std::unique_ptr<BookPages> BookPages::open(const QString& path, const QByteArray& password,
                                           Result* why) {
    auto fail = [&](const QString& text) -> std::unique_ptr<BookPages> {
        if (why)
            *why = finding(text);
        return nullptr;
    };
    std::unique_ptr<BookPages> b(new BookPages);
    b->file_.setFileName(path);
    if (!b->file_.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Die Datei kann nicht gelesen werden (%1).")
                        .arg(b->file_.errorString()));
    b->size_ = b->file_.size();
    if (b->size_ < 512)
        return fail(QStringLiteral("Die Datei ist zu kurz für ein Kassenbuch."));
    b->data_ = b->file_.map(0, b->size_);
    if (!b->data_)
        return fail(QStringLiteral("Die Datei kann nicht gelesen werden (%1).")
                        .arg(b->file_.errorString()));

    if (std::memcmp(b->data_, kFileHeader, kSaltSize) == 0) {
        // No password: the engine's own header says how the pages are laid out.
        const int raw = be16(b->data_ + 16);
        b->pageSize_ = raw == 1 ? 65536 : raw;
        if (b->pageSize_ < 512 || (b->pageSize_ & (b->pageSize_ - 1)) != 0)
            return fail(QStringLiteral("Der Kopf der Datei ist beschädigt."));
        b->usable_ = b->pageSize_ - b->data_[20];
        if (b->usable_ < 480)
            return fail(QStringLiteral("Der Kopf der Datei ist beschädigt."));
        b->pageCount_ = static_cast<quint32>((b->size_ + b->pageSize_ - 1) / b->pageSize_);
        return b;
    }

    // The salt of the keys is the first 16 bytes; the keys fit when the check of a page fits.
    // Page 1 may be the damaged one, so the next pages are asked as well.
    b->keyed_ = true;
    b->pageSize_ = kKeyedPageSize;
    b->usable_ = kKeyedPageSize - kReserve;
    b->pageCount_ = static_cast<quint32>((b->size_ + kKeyedPageSize - 1) / kKeyedPageSize);
    if (!b->codec_.init(password, b->data_, false))
        return fail(QStringLiteral("Der Schlüssel konnte nicht berechnet werden."));
    const quint32 probe = std::min<quint32>(b->pageCount_, 64);
    for (quint32 p = 1; p <= probe; ++p) {
        const qint64 at = qint64(p - 1) * kKeyedPageSize;
        if (at + kKeyedPageSize <= b->size_ && b->hmacFits(p, b->data_ + at))
            return b;
    }
    return fail(QStringLiteral("Die Datei lässt sich weder mit dem Passwort des Kassenbuchs "
                               "noch ohne Passwort lesen; ihr Kopf ist beschädigt oder sie ist "
                               "kein Kassenbuch."));
}

bool BookPages::hmacFits(quint32 pgno, const uchar* raw) const {
    uchar page[kKeyedPageSize];
    return codec_.decrypt(pgno, raw, page);
}

bool BookPages::decrypt(quint32 pgno, const uchar* raw, QByteArray& page) const {
    const int offset = pgno == 1 ? kSaltSize : 0;
    if (allZero(raw + offset, kKeyedPageSize - offset))
        return false;
    page = QByteArray(kKeyedPageSize, '\0');
    return codec_.decrypt(pgno, raw, reinterpret_cast<uchar*>(page.data()));
}

bool BookPages::read(quint32 pgno, QByteArray& page) const {
    if (pgno < 1 || pgno > pageCount_)
        return false;
    const qint64 at = qint64(pgno - 1) * pageSize_;
    if (at + pageSize_ > size_)
        return false; // cut off
    const uchar* raw = data_ + at;
    if (keyed_)
        return decrypt(pgno, raw, page);
    if (allZero(raw, pageSize_))
        return false;
    page = QByteArray(reinterpret_cast<const char*>(raw), pageSize_);
    return true;
}

// ---- the tables -------------------------------------------------------------------------

BookTable BookReader::tableOfShape(const StoredRow& row) {
    const auto& v = row.values;
    if (v.empty())
        return BookTable::None;
    if (v.size() == 2 && v[0].kind == StoredValue::Text && v[1].kind == StoredValue::Integer)
        return BookTable::Sequence;
    // The column ID is the rowid and is stored as NULL in every row of the four tables.
    if (v[0].kind != StoredValue::Null)
        return BookTable::None;
    switch (v.size()) {
    case 4:
        return BookTable::Datum;
    case 17:
        return BookTable::Buchungen;
    case 15:
        return BookTable::Einstellungen;
    case 2:
        return BookTable::Buchungstext;
    case 10:
        return BookTable::Protokoll;
    case 11:
        return BookTable::Beraterkonten;
    case 5:
        return BookTable::Kontierung;
    default:
        return BookTable::None;
    }
}

bool BookReader::walk(quint32 root, const std::function<void(quint32)>& leaf,
                      const std::function<void(IdRange)>& gap) {
    struct Node {
        quint32 pgno;
        qint64 lo; // the IDs below lie in (lo, hi]
        qint64 hi;
    };
    std::vector<Node> stack{{root, 0, IdRange::kOpen}};
    std::vector<bool> seen(pages_.pageCount() + 1, false);
    QByteArray page;
    const int usable = pages_.usableSize();
    bool rootRead = true;
    while (!stack.empty()) {
        const Node n = stack.back();
        stack.pop_back();
        const bool valid =
            n.pgno >= 1 && n.pgno <= pages_.pageCount() && !seen[n.pgno] &&
            (kinds_[n.pgno] == Kind::TableLeaf || kinds_[n.pgno] == Kind::TableInterior) &&
            pages_.read(n.pgno, page);
        if (!valid) {
            if (n.pgno > pages_.pageCount() || (n.pgno >= 1 && kinds_[n.pgno] == Kind::Damaged))
                ++explained_;
            if (n.pgno == root)
                rootRead = false;
            if (n.lo < n.hi)
                gap({n.lo + 1, n.hi});
            continue;
        }
        seen[n.pgno] = true;
        if (kinds_[n.pgno] == Kind::TableLeaf) {
            leaf(n.pgno);
            continue;
        }
        const auto* p = reinterpret_cast<const uchar*>(page.constData());
        const int hdr = n.pgno == 1 ? 100 : 0;
        const int cells = be16(p + hdr + 3);
        qint64 lo = n.lo;
        std::vector<Node> children;
        for (int i = 0; i < cells && hdr + 12 + 2 * i + 2 <= usable; ++i) {
            const int at = be16(p + hdr + 12 + 2 * i);
            if (at + 5 > usable)
                continue;
            const uchar* c = p + at + 4;
            qint64 key = 0;
            if (!varint(c, p + usable, key))
                continue;
            key = std::min(key, n.hi);
            children.push_back({be32(p + at), lo, key});
            lo = std::max(lo, key);
        }
        children.push_back({be32(p + hdr + 8), lo, n.hi});
        // Pushed backwards so the leaves are reached in ID order.
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
    return rootRead;
}

void BookReader::leafRows(quint32 pgno, const QByteArray& page,
                          const std::function<void(const StoredRow&)>& take,
                          std::vector<qint64>* unreadable) {
    const auto* p = reinterpret_cast<const uchar*>(page.constData());
    const int hdr = pgno == 1 ? 100 : 0;
    const int usable = pages_.usableSize();
    const uchar* end = p + usable;
    const int cells = be16(p + hdr + 3);
    // How much of a payload stands on the leaf itself (the engine's rule).
    const qint64 maxLocal = usable - 35;
    const qint64 minLocal = (qint64(usable - 12) * 32 / 255) - 23;
    QByteArray overflow;
    for (int i = 0; i < cells && hdr + 8 + 2 * i + 2 <= usable; ++i) {
        const int at = be16(p + hdr + 8 + 2 * i);
        if (at < hdr + 8 || at >= usable)
            continue;
        const uchar* c = p + at;
        qint64 size = 0;
        StoredRow row;
        if (!varint(c, end, size) || !varint(c, end, row.id) || size < 0)
            continue;
        qint64 local = size;
        if (size > maxLocal) {
            const qint64 k = minLocal + (size - minLocal) % (usable - 4);
            local = k <= maxLocal ? k : minLocal;
        }
        if (c + local > end || (local < size && c + local + 4 > end))
            continue;
        QByteArray payload(reinterpret_cast<const char*>(c), static_cast<int>(local));
        row.pages.push_back(pgno);
        bool whole = true;
        if (local < size) {
            quint32 next = be32(c + local);
            std::vector<bool> seen;
            while (payload.size() < size) {
                if (next < 1 || next > pages_.pageCount() || (!seen.empty() && seen[next]) ||
                    !pages_.read(next, overflow)) {
                    if (next > pages_.pageCount() || (next >= 1 && kinds_[next] == Kind::Damaged))
                        ++explained_;
                    whole = false;
                    break;
                }
                if (seen.empty())
                    seen.assign(pages_.pageCount() + 1, false);
                seen[next] = true;
                row.pages.push_back(next);
                const auto* o = reinterpret_cast<const uchar*>(overflow.constData());
                const qint64 take = std::min<qint64>(usable - 4, size - payload.size());
                payload.append(reinterpret_cast<const char*>(o + 4), static_cast<int>(take));
                next = be32(o);
            }
        }
        if (!whole || !decodeRecord(payload, row.values)) {
            if (unreadable)
                unreadable->push_back(row.id);
            continue;
        }
        take(row);
    }
}

void BookReader::readFreeList() {
    QByteArray page;
    if (!pages_.read(1, page))
        return;
    const auto* h = reinterpret_cast<const uchar*>(page.constData());
    quint32 trunk = be32(h + 32);
    const int perTrunk = pages_.usableSize() / 4 - 2;
    for (quint32 guard = 0; trunk != 0 && guard < pages_.pageCount(); ++guard) {
        if (trunk > pages_.pageCount() || free_[trunk])
            return;
        free_[trunk] = true;
        if (!pages_.read(trunk, page))
            return;
        const auto* t = reinterpret_cast<const uchar*>(page.constData());
        const int leaves = std::min<int>(static_cast<int>(be32(t + 4)), perTrunk);
        for (int i = 0; i < leaves; ++i) {
            const quint32 leaf = be32(t + 8 + 4 * i);
            if (leaf >= 1 && leaf <= pages_.pageCount())
                free_[leaf] = true;
        }
        trunk = be32(t);
    }
}

void BookReader::readSchema(quint32 (&roots)[kBookTables]) {
    static const char* const names[kBookTables] = {
        "Datum",           "Buchungen", "Einstellungen", "Buchungstext",
        "sqlite_sequence", "Protokoll", "Beraterkonten", "Kontierung"};
    QByteArray page;
    auto leaf = [&](quint32 pgno) {
        if (!pages_.read(pgno, page))
            return;
        leafRows(
            pgno, page,
            [&](const StoredRow& row) {
                // type, name, tbl_name, rootpage, sql
                const auto& v = row.values;
                if (v.size() < 4 || v[0].text != "table" || v[3].kind != StoredValue::Integer)
                    return;
                for (int t = 0; t < kBookTables; ++t)
                    if (v[1].text == names[t] && v[3].integer > 0)
                        roots[t] = static_cast<quint32>(v[3].integer);
            },
            nullptr);
    };
    bool whole = true;
    const bool read = walk(1, leaf, [&](IdRange) { whole = false; });
    foreign_ = read && whole && std::all_of(roots, roots + 4, [](quint32 r) { return r == 0; });
    schemaWhole_ = read && whole;
}

void BookReader::survey(Progress* progress) {
    const quint32 n = pages_.pageCount();
    kinds_.assign(n + 1, Kind::Other);
    owner_.assign(n + 1, BookTable::None);
    free_.assign(n + 1, false);
    for (auto& g : gaps_)
        g.clear();
    for (auto& u : unreadableRows_)
        u.clear();
    damaged_ = explained_ = 0;
    if (progress)
        progress->begin(QStringLiteral("Die Seiten der Datei werden geprüft …"), n);
    QByteArray page;
    for (quint32 p = 1; p <= n; ++p) {
        if (!pages_.read(p, page)) {
            kinds_[p] = Kind::Damaged;
            ++damaged_;
        } else {
            const uchar type = static_cast<uchar>(page[p == 1 ? 100 : 0]);
            kinds_[p] = type == 0x0d   ? Kind::TableLeaf
                        : type == 0x05 ? Kind::TableInterior
                                       : Kind::Other;
        }
        if (progress && (p % 4096 == 0 || p == n))
            progress->step(p);
    }
    // Pages the file should have but lost at its end (a cut-off file) count as damaged.
    if (kinds_.size() > 1 && kinds_[1] != Kind::Damaged && pages_.read(1, page)) {
        const quint32 stated = be32(reinterpret_cast<const uchar*>(page.constData()) + 28);
        if (stated > n && stated < n + (1u << 24))
            damaged_ += int(stated - n);
    }
    readFreeList();
    quint32 roots[kBookTables] = {};
    readSchema(roots);
    for (int t = 0; t < kBookTables; ++t) {
        const auto table = static_cast<BookTable>(t);
        // A book from before the change log (or the advisor's accounts) has none: nothing of
        // it is lost.
        if (table >= BookTable::Protokoll && roots[t] == 0 && schemaWhole_) {
            rootLost_[t] = false;
            continue;
        }
        rootLost_[t] = roots[t] == 0 || !walk(
                                            roots[t], [&](quint32 leaf) { owner_[leaf] = table; },
                                            [&](IdRange r) {
                                                gaps_[t].push_back({r, {}});
                                            });
        if (rootLost_[t])
            gaps_[t] = {{{1, IdRange::kOpen}, {}}};
    }
}

BookReader::Gap* BookReader::gapOf(BookTable t, qint64 id) {
    for (Gap& g : gaps_[index(t)])
        if (id >= g.range.from && id <= g.range.to)
            return &g;
    return nullptr;
}

void BookReader::rows(const std::function<void(BookTable, const StoredRow&)>& take,
                      Progress* progress) {
    const quint32 n = pages_.pageCount();
    if (progress)
        progress->begin(QStringLiteral("Die Zeilen werden gelesen …"), 2 * qint64(n));
    QByteArray page;
    // The leaves the walks reached.
    for (quint32 p = 1; p <= n; ++p) {
        const BookTable t = owner_[p];
        if (t != BookTable::None && pages_.read(p, page))
            leafRows(
                p, page, [&](const StoredRow& row) { take(t, row); }, &unreadableRows_[index(t)]);
        if (progress && (p % 4096 == 0 || p == n))
            progress->step(p);
    }
    // The leaves below a damaged page: their rows count where they fill a gap of their table.
    for (quint32 p = 1; p <= n; ++p) {
        if (kinds_[p] == Kind::TableLeaf && owner_[p] == BookTable::None && !free_[p] && p != 1 &&
            pages_.read(p, page)) {
            std::vector<qint64> unreadable;
            Gap* leafGap = nullptr;
            qint64 lo = IdRange::kOpen, hi = 0;
            leafRows(
                p, page,
                [&](const StoredRow& row) {
                    const BookTable t = tableOfShape(row);
                    if (t == BookTable::None)
                        return;
                    Gap* g = gapOf(t, row.id);
                    if (!g)
                        return;
                    leafGap = g;
                    lo = std::min(lo, row.id);
                    hi = std::max(hi, row.id);
                    take(t, row);
                },
                &unreadable);
            if (leafGap)
                leafGap->leaves.push_back({lo, hi});
            // A row whose overflow is lost: counted where its ID lies in a gap of some table.
            for (qint64 id : unreadable)
                for (int t = 0; t < kBookTables; ++t)
                    if (gapOf(static_cast<BookTable>(t), id))
                        unreadableRows_[t].push_back(id);
        }
        if (progress && (p % 4096 == 0 || p == n))
            progress->step(qint64(n) + p);
    }
}

std::vector<IdRange> BookReader::lost(BookTable t) const {
    std::vector<IdRange> out;
    const bool unexplained = damaged_ > explained_;
    for (const Gap& g : gaps_[index(t)]) {
        if (g.leaves.empty()) {
            out.push_back(g.range);
            continue;
        }
        // Leaves below a damaged page were read. What lies between them may have stood on a
        // further damaged page; without one, nothing of the range is lost.
        if (!unexplained)
            continue;
        auto leaves = g.leaves;
        std::sort(leaves.begin(), leaves.end());
        qint64 from = g.range.from;
        for (const auto& [lo, hi] : leaves) {
            if (lo > from)
                out.push_back({from, lo - 1, true});
            from = std::max(from, hi == IdRange::kOpen ? hi : hi + 1);
        }
        if (from <= g.range.to && from != IdRange::kOpen)
            out.push_back({from, g.range.to, true});
    }
    for (qint64 id : unreadableRows_[index(t)])
        out.push_back({id, id});
    std::sort(out.begin(), out.end(),
              [](const IdRange& a, const IdRange& b) { return a.from < b.from; });
    std::vector<IdRange> merged;
    for (const IdRange& r : out) {
        if (!merged.empty() && r.from <= merged.back().to + 1 &&
            merged.back().to != IdRange::kOpen) {
            merged.back().to = std::max(merged.back().to, r.to);
            merged.back().maybe = merged.back().maybe && r.maybe;
        } else if (merged.empty() || merged.back().to != IdRange::kOpen) {
            merged.push_back(r);
        }
    }
    return merged;
}

} // namespace tb
