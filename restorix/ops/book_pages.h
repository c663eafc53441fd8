#pragma once

#include "page_cipher.h"
#include "result.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace tb {

class Progress;

// A cash book read page by page, without the database engine. Every page of a keyed file
// carries its own check (HMAC), so a page that was changed by a single bit is recognised and
// left out, and every other page is decoded on its own: a damaged page costs only what stood
// on it. The engine itself stops at the first page it cannot read.
//
// Keyed files are read in the 3.x format every keyed file of ours is written in (1024-byte
// pages, 48 reserved bytes per page for the IV and the HMAC-SHA1, AES-256-CBC, keys derived
// with PBKDF2-HMAC-SHA1 from the salt in the first 16 bytes of the file); files without
// password as the engine writes them.
class BookPages {
  public:
    ~BookPages();
    BookPages(const BookPages&) = delete;
    BookPages& operator=(const BookPages&) = delete;

    // Opens the file: with the password, or as a file without one. nullptr, with the reason
    // as a finding, when neither fits a single page: the file cannot be read at all.
    static std::unique_ptr<BookPages> open(const QString& path, const QByteArray& password,
                                           Result* why);

    bool keyed() const { return keyed_; }
    quint32 pageCount() const { return pageCount_; }
    int pageSize() const { return pageSize_; }
    // The bytes of a page the B-tree may use (the page less its reserved bytes).
    int usableSize() const { return usable_; }

    // The page as the engine sees it (page 1 begins with the file header). False when the page
    // is damaged (its check fails, it is all zeros) or lies beyond the end of the file.
    bool read(quint32 pgno, QByteArray& page) const;

  private:
    BookPages() = default;
    bool decrypt(quint32 pgno, const uchar* raw, QByteArray& page) const;
    bool hmacFits(quint32 pgno, const uchar* raw) const;

    QFile file_;
    const uchar* data_ = nullptr;
    qint64 size_ = 0;
    bool keyed_ = false;
    int pageSize_ = 0;
    int usable_ = 0;
    quint32 pageCount_ = 0;
    mutable pagecipher::PageCodec codec_;
};

// The tables of a cash book, as the salvage knows them (the later ones, from the change log
// on, are missing in older books).
enum class BookTable {
    Datum,
    Buchungen,
    Einstellungen,
    Buchungstext,
    Sequence,
    Protokoll,
    Beraterkonten,
    Kontierung,
    None
};
inline constexpr int kBookTables = 8;

// One stored value as the record holds it.
struct StoredValue {
    enum Kind { Null, Integer, Real, Text } kind = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray text; // UTF-8 (a blob is read as its bytes)
};

struct StoredRow {
    qint64 id = 0;                   // the rowid, which is the column ID
    std::vector<StoredValue> values; // every column of the record (ID itself stored as NULL)
    std::vector<quint32> pages;      // the leaf page first, then every overflow page
};

// IDs whose rows could not be read: from..to, both included.
// IDs whose rows could not be read: from..to, both included. "maybe": rows between leaves
// that were read below a damaged page, where a further damaged page may have held some.
struct IdRange {
    qint64 from = 0;
    qint64 to = 0;
    bool maybe = false;
    static constexpr qint64 kOpen = std::numeric_limits<qint64>::max();
};

// Finds the tables of a cash book in its pages and reads their rows. The tables are walked
// from their root pages as the engine walks them; a page a walk cannot read marks the IDs
// below it as lost. Leaf pages that no walk reached (their parent page is damaged) are read
// as well, and their rows are taken where they fill such a gap: the table is told by the
// shape of its rows, as every table of a cash book has its own number of columns.
class BookReader {
  public:
    explicit BookReader(const BookPages& pages) : pages_(pages) {}

    // Looks at every page once: the schema, the free pages, the trees of the four tables.
    void survey(Progress* progress = nullptr);

    // Every row that can be read, table by table in page order: first the rows the walks
    // reached, then those of leaves no walk reached. A row can come twice only from a
    // damaged file without password; the first one counts.
    void rows(const std::function<void(BookTable, const StoredRow&)>& take,
              Progress* progress = nullptr);

    // The IDs of a table no page could be read for (after rows()): their ranges, merged.
    std::vector<IdRange> lost(BookTable t) const;
    // True when the root of the table could not be found or read: every row of the table
    // had to be looked for among the leaves.
    bool rootLost(BookTable t) const { return rootLost_[index(t)]; }
    int damagedPages() const { return damaged_; }
    // The schema could be read and names none of the tables of a cash book.
    bool foreign() const { return foreign_; }
    // The schema could be read whole (a table it does not name is not there).
    bool schemaWhole() const { return schemaWhole_; }

    // Which table a row of a given shape belongs to; None for anything else.
    static BookTable tableOfShape(const StoredRow& row);

  private:
    enum class Kind : uchar { Damaged, TableLeaf, TableInterior, Other };
    struct Gap {
        IdRange range;
        std::vector<std::pair<qint64, qint64>> leaves; // the IDs of each leaf read inside it
    };
    static int index(BookTable t) { return static_cast<int>(t); }
    // Walks a tree from its root: every leaf reached, and every range of IDs below a page that
    // cannot be read. False when the root itself cannot be read.
    bool walk(quint32 root, const std::function<void(quint32)>& leaf,
              const std::function<void(IdRange)>& gap);
    // The rows of a leaf; the IDs of rows whose overflow pages cannot be read go to unreadable.
    void leafRows(quint32 pgno, const QByteArray& page,
                  const std::function<void(const StoredRow&)>& take,
                  std::vector<qint64>* unreadable);
    Gap* gapOf(BookTable t, qint64 id);
    void readSchema(quint32 (&roots)[kBookTables]);
    void readFreeList();

    const BookPages& pages_;
    std::vector<Kind> kinds_;
    std::vector<BookTable> owner_;
    std::vector<bool> free_;
    std::array<std::vector<Gap>, kBookTables> gaps_;
    std::array<std::vector<qint64>, kBookTables> unreadableRows_;
    std::array<bool, kBookTables> rootLost_{};
    int damaged_ = 0;
    int explained_ = 0; // damaged pages a walk or a row pointed to
    bool foreign_ = false;
    bool schemaWhole_ = false;
};

} // namespace tb
