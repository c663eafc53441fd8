// The repair of damaged cash books. A realistic protected book is damaged at random places
// (single bytes, zeroed pages, a cut-off tail, a garbage header); for each, Tillbook's start
// and Restorix's repair must end without crash or hang, the repair must bring back every row
// that stood wholly on pages the damage did not touch (or say that the file cannot be read at
// all, which only a damaged key salt may cause), and the repaired book must open in Tillbook.
//
// CI runs a short form; scripts/corruption-test runs the full one (TB_CORRUPTION_CASES,
// TB_CORRUPTION_LINES, TB_SEED).
#include "book_pages.h"
#include "cash_date.h"
#include "cash_file.h"
#include "compaction.h"
#include "running_balance.h"
#include "scripted_dialogs.h"
#include "startup.h"
#include "temp_book.h"
#include "work_marker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

using namespace tb;

namespace {
const QString kNull = QStringLiteral("\x01NULL");
const char* const kTables[] = {"Datum", "Buchungen", "Einstellungen", "Buchungstext"};

using Row = QStringList; // every column but ID; NULL as kNull
using Table = std::map<qint64, Row>;
using Book = std::array<Table, 4>;

int envInt(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A book as a shop keeps it: days of 20-30 lines, many booking texts, receipt numbers, some
// long remarks and a long memo (rows over several pages), deleted lines (gaps in the IDs).
void makeBook(const QString& path, int lines, unsigned seed, bool protect = true) {
    QFile::remove(path);
    ASSERT_TRUE(cashfile::createEmpty(path));
    auto db = Database::open(path, {});
    std::mt19937 random(seed);
    Transaction t(*db);
    db->exec("UPDATE Einstellungen SET Einst15 = '150,00', Einst19 = '1', Memo8 = '" +
             QString(1800, 'm') + "';");
    for (int i = 0; i < 60; ++i)
        db->exec(QStringLiteral("INSERT INTO Buchungstext (a1) VALUES ('Text %1');").arg(i));
    QDate day(2019, 1, 2);
    int receipt = 1;
    Statement line = db->prepare(
        "INSERT INTO Buchungen (a1, n1, n2, a3, a4, a5, a6, a7, a8, a10, a11, a12, a15) VALUES "
        "('', ?, ?, '', ?, ?, '19', '', ?, ?, ?, 'O', '0');");
    for (int n = 0; n < lines;) {
        const QString date = cashdate::toText(day);
        db->exec(QStringLiteral("INSERT INTO Datum (a1, a2, a3) VALUES ('%1', '%2', '');")
                     .arg(date, cashdate::key8(date)));
        const int count = std::uniform_int_distribution<int>(20, 30)(random);
        for (int k = 0; k < count && n < lines; ++k, ++n) {
            const bool in = random() % 3 != 0;
            const QString amount =
                Money::fromCents(std::uniform_int_distribution<int>(50, 90000)(random)).toText();
            const QString remark = random() % 60 == 0 ? QString(4500 + random() % 3000, 'r')
                                                      : QStringLiteral("Bemerkung %1").arg(n);
            line.reset();
            line.bindAll({QStringLiteral("Text %1").arg(random() % 60), remark,
                          in ? amount : QString(), in ? QString() : amount,
                          QString::number(receipt++), date, cashdate::key8(date)});
            line.run();
        }
        day = day.addDays(day.dayOfWeek() == 6 ? 2 : 1);
    }
    db->exec("DELETE FROM Buchungen WHERE ID % 97 = 5;");
    t.commit();
    RunningBalance::fullWalk(*db, Money::parseOrZero("150,00"));
    db.reset();
    if (protect) {
        ASSERT_TRUE(cashfile::putPasswordBack(path));
    }
}

Book readBook(const QString& path) {
    Book book;
    const QByteArray key = cashfile::probe(path) == cashfile::State::Plain
                               ? QByteArray()
                               : cashfile::builtInPassword();
    auto db = Database::open(path, key);
    if (!db)
        return book;
    for (int t = 0; t < 4; ++t) {
        Statement st = db->prepare(QStringLiteral("SELECT * FROM %1;").arg(kTables[t]));
        while (st.next()) {
            Row row;
            for (int c = 1; c < st.columnCount(); ++c)
                row << (st.isNull(c) ? kNull : st.text(c));
            book[size_t(t)][st.integer(0)] = row;
        }
    }
    return book;
}

// Where every row of a book lies: its leaf page and its overflow pages, read with the
// salvage's own reader (whose rows are first checked against the engine's).
struct Layout {
    std::array<std::map<qint64, std::vector<quint32>>, 4> pages;
    std::array<std::map<qint64, Row>, 4> rows;
};

Layout layoutOf(const QString& path) {
    Layout layout;
    auto pages = BookPages::open(path, cashfile::builtInPassword(), nullptr);
    if (!pages)
        return layout;
    BookReader reader(*pages);
    reader.survey();
    reader.rows([&](BookTable t, const StoredRow& row) {
        const int i = static_cast<int>(t);
        if (i >= 4)
            return;
        layout.pages[size_t(i)][row.id] = row.pages;
        Row values;
        for (size_t c = 1; c < row.values.size(); ++c)
            values << (row.values[c].kind == StoredValue::Null
                           ? kNull
                           : QString::fromUtf8(row.values[c].text));
        layout.rows[size_t(i)][row.id] = values;
    });
    return layout;
}

struct Damage {
    QString what;
    std::set<quint32> pages; // pages whose bytes changed or that are gone
    bool salt = false;       // the first 16 bytes, from which the keys derive
};

Damage damage(QByteArray& bytes, std::mt19937& random) {
    Damage d;
    const int pageCount = int(bytes.size() / 1024);
    auto touch = [&](qint64 from, qint64 to) { // bytes [from, to)
        for (qint64 p = from / 1024; p <= (to - 1) / 1024; ++p)
            d.pages.insert(quint32(p + 1));
        d.salt = d.salt || from < 16;
    };
    switch (random() % 4) {
    case 0: {
        const qint64 at = std::uniform_int_distribution<qint64>(0, bytes.size() - 1)(random);
        bytes[at] = char(bytes[at] ^ (1 << (random() % 8)));
        d.what = QStringLiteral("Bit in Byte %1").arg(at);
        touch(at, at + 1);
        break;
    }
    case 1: {
        const int p = std::uniform_int_distribution<int>(1, pageCount)(random);
        std::fill(bytes.begin() + (p - 1) * 1024, bytes.begin() + p * 1024, '\0');
        d.what = QStringLiteral("Seite %1 genullt").arg(p);
        touch(qint64(p - 1) * 1024, qint64(p) * 1024);
        break;
    }
    case 2: {
        const qint64 keep =
            std::uniform_int_distribution<qint64>(bytes.size() / 2, bytes.size() - 1)(random);
        d.what = QStringLiteral("abgeschnitten nach %1 Bytes").arg(keep);
        touch(keep, bytes.size());
        bytes.truncate(int(keep));
        break;
    }
    default: {
        const int length = std::uniform_int_distribution<int>(1, 300)(random);
        const int at = std::uniform_int_distribution<int>(0, 80)(random);
        for (int i = at; i < at + length; ++i)
            bytes[i] = char(random());
        d.what = QStringLiteral("Kopf: %1 Bytes ab %2 zerstört").arg(length).arg(at);
        touch(at, at + length);
        break;
    }
    }
    return d;
}

bool untouched(const std::vector<quint32>& pages, const Damage& d) {
    return std::none_of(pages.begin(), pages.end(), [&](quint32 p) { return d.pages.count(p); });
}

struct Salvaging : ::testing::Test {
    test::TempHome home;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    QString folder = home.path() + "/Daten";
    QString data = folder + "/Tillbook.kas";
    void SetUp() override { QDir().mkpath(folder); }

    // Tillbook's start on the file: must end (with a session or a message), never crash.
    std::optional<qint64> startTillbook(const QString& path) {
        store.save("Startup", "Datenpfad", path);
        auto session = Startup(store, dialogs, home.path()).open();
        if (!session)
            return std::nullopt;
        const qint64 lines = session->db->scalar("SELECT count(*) FROM Buchungen;").toLongLong();
        Startup::close(*session);
        return lines;
    }
};
} // namespace

TEST_F(Salvaging, TheReaderReadsAWholeBookAsTheEngineDoes) {
    for (bool keyed : {true, false}) {
        makeBook(data, 800, 7, keyed);
        const Book book = readBook(data);
        ASSERT_EQ(book[1].size(), 791u); // IDs 5, 102, … 781 deleted
        Result why;
        auto pages = BookPages::open(data, cashfile::builtInPassword(), &why);
        ASSERT_TRUE(pages) << germanText(why).toStdString();
        EXPECT_EQ(pages->keyed(), keyed);
        const Layout layout = layoutOf(data);
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(layout.rows[size_t(t)], book[size_t(t)]) << kTables[t];
        bool overflow = false;
        for (const auto& [id, p] : layout.pages[1])
            overflow = overflow || p.size() > 1;
        EXPECT_TRUE(overflow); // long remarks span several pages
    }
    // Neither with the password nor without: nothing to read.
    writeBytes(data, QByteArray(8192, 'x'));
    Result why;
    EXPECT_FALSE(BookPages::open(data, cashfile::builtInPassword(), &why));
    EXPECT_FALSE(germanText(why).isEmpty());
}

TEST_F(Salvaging, RandomDamageLosesOnlyTheRowsOfDamagedPages) {
    const int lines = envInt("TB_CORRUPTION_LINES", 1200);
    const int cases = envInt("TB_CORRUPTION_CASES", 16);
    const unsigned seed = unsigned(envInt("TB_SEED", int(std::random_device{}() & 0x7fffffff)));
    std::printf("seed %u, %d lines, %d cases\n", seed, lines, cases);
    std::mt19937 random(seed);
    const QString pristine = home.path() + "/heil.kas";
    makeBook(pristine, lines, seed);
    const QByteArray original = bytesOf(pristine);
    const Book book = readBook(pristine);
    const Layout layout = layoutOf(pristine);
    for (int t = 0; t < 4; ++t)
        ASSERT_EQ(layout.rows[size_t(t)], book[size_t(t)]);

    int repaired = 0, plain = 0, unreadable = 0;
    for (int c = 0; c < cases; ++c) {
        QByteArray bytes = original;
        const Damage d = damage(bytes, random);
        SCOPED_TRACE(
            QStringLiteral("Fall %1 (seed %2): %3").arg(c).arg(seed).arg(d.what).toStdString());
        for (const QString& f : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(folder + "/" + f);
        writeBytes(data, bytes);
        const QString started = folder + "/Tillbook-Start.kas";
        writeBytes(started, bytes);
        startTillbook(started); // ends, whatever the file holds
        const Compaction::Report r = Compaction::compact(data);
        if (!r.file.ok()) {
            // Only a file whose key salt is gone, or with no row left, cannot be read at all.
            ASSERT_TRUE(r.unreadable) << germanText(r.file).toStdString();
            bool anyWhole = false;
            for (int t = 0; t < 4; ++t)
                for (const auto& [id, p] : layout.pages[size_t(t)])
                    anyWhole = anyWhole || untouched(p, d);
            EXPECT_TRUE(d.salt || !anyWhole) << germanText(r.file).toStdString();
            EXPECT_EQ(bytesOf(data), bytes);
            ++unreadable;
            continue;
        }
        const Book after = readBook(data);
        ASSERT_EQ(cashfile::probe(data), cashfile::State::Protected);
        if (!r.salvage) {
            // The engine could read every row (the damage hit an index or a free page).
            ++plain;
            for (int t = 0; t < 4; ++t)
                EXPECT_EQ(after[size_t(t)].size(), book[size_t(t)].size());
            continue;
        }
        ++repaired;
        EXPECT_EQ(bytesOf(r.salvage->keptAs), bytes);
        for (int t = 0; t < 4; ++t) {
            for (const auto& [id, row] : book[size_t(t)]) {
                const auto found = after[size_t(t)].find(id);
                const bool whole = untouched(layout.pages[size_t(t)].at(id), d);
                if (found == after[size_t(t)].end()) {
                    EXPECT_FALSE(whole) << kTables[t] << " ID " << id << " fehlt";
                    if (t == 1) {
                        const auto& lost = r.salvage->linesLost;
                        EXPECT_TRUE(std::any_of(
                            lost.begin(), lost.end(),
                            [&](const auto& l) { return id >= l.ids.from && id <= l.ids.to; }))
                            << "ID " << id << " fehlt ohne Meldung";
                    }
                    continue;
                }
                // A day or a booking text the repair made anew may take the ID of one lost
                // with a damaged page.
                const bool madeAnew =
                    (t == 0 && r.salvage->daysMade > 0) || (t == 3 && r.salvage->textsAdded > 0);
                if (!whole && madeAnew)
                    continue;
                Row expected = row, got = found->second;
                if (t == 1) { // the balance is computed anew
                    expected.removeLast();
                    got.removeLast();
                }
                if (t != 2 || r.salvage->settingsKept) {
                    EXPECT_EQ(got, expected) << kTables[t] << " ID " << id;
                }
            }
            // Nothing is made up: besides the rows of the book, only what the report names.
            for (const auto& [id, row] : after[size_t(t)]) {
                if (book[size_t(t)].count(id))
                    continue;
                if (t == 0)
                    EXPECT_GT(r.salvage->daysMade, 0) << "Tag ID " << id;
                else if (t == 3)
                    EXPECT_GT(r.salvage->textsAdded, 0) << "Text ID " << id;
                else
                    EXPECT_TRUE(t == 2 && !r.salvage->settingsKept) << kTables[t] << " ID " << id;
            }
        }
        {
            auto db = Database::open(data, cashfile::builtInPassword());
            EXPECT_EQ(RunningBalance::fullWalk(
                          *db, Money::parseOrZero(db->scalar("SELECT Einst15 FROM Einstellungen;")))
                          .written,
                      0);
        }
        const auto opened = startTillbook(data);
        ASSERT_TRUE(opened) << dialogs.last().text.toStdString();
        EXPECT_EQ(*opened, qint64(after[1].size()));
    }
    std::printf("repariert %d, ohne Verlust komprimiert %d, unlesbar %d\n", repaired, plain,
                unreadable);
}

namespace {
// The root page of a table, and the pages of a kind (0x05 interior, 0x0d leaf of a table).
quint32 rootOf(const QString& path, const QString& table) {
    auto db = Database::open(path, cashfile::builtInPassword());
    return quint32(
        db->scalar("SELECT rootpage FROM sqlite_master WHERE name = ?;", {table}).toUInt());
}

std::vector<quint32> pagesOfType(const QString& path, uchar type) {
    auto pages = BookPages::open(path, cashfile::builtInPassword(), nullptr);
    std::vector<quint32> found;
    QByteArray page;
    for (quint32 p = 2; pages && p <= pages->pageCount(); ++p)
        if (pages->read(p, page) && uchar(page[0]) == type)
            found.push_back(p);
    return found;
}

// Page 1 keeps its first 16 bytes: the salt of the keys, without which nothing can be read.
void zeroPage(const QString& path, quint32 pgno) {
    QByteArray bytes = bytesOf(path);
    std::fill(bytes.begin() + (pgno - 1) * 1024 + (pgno == 1 ? 16 : 0), bytes.begin() + pgno * 1024,
              '\0');
    writeBytes(path, bytes);
}
} // namespace

TEST_F(Salvaging, ADamagedParentPageLosesNoRowOfTheUndamagedLeavesBelowIt) {
    const QString pristine = home.path() + "/heil.kas";
    makeBook(pristine, 1500, 3);
    const Book book = readBook(pristine);
    const quint32 root = rootOf(pristine, "Buchungen");
    std::vector<quint32> parents;
    for (quint32 p : pagesOfType(pristine, 0x05))
        if (p != root && p != rootOf(pristine, "Datum") && p != rootOf(pristine, "Buchungstext"))
            parents.push_back(p);
    ASSERT_FALSE(parents.empty());
    // A page between the root and the leaves, the root itself, and page 1 with the schema.
    for (quint32 damaged : {parents.front(), root, 1u}) {
        SCOPED_TRACE(damaged);
        QFile::remove(data);
        QFile::copy(pristine, data);
        for (const QString& f : QDir(folder).entryList({"*.beschaedigt*"}, QDir::Files))
            QFile::remove(folder + "/" + f);
        zeroPage(data, damaged);
        const Compaction::Report r = Compaction::compact(data);
        ASSERT_TRUE(r.file.ok()) << germanText(r.file).toStdString();
        ASSERT_TRUE(r.salvage);
        EXPECT_TRUE(r.salvage->linesLost.empty());
        EXPECT_EQ(readBook(data), book);
    }
}

TEST_F(Salvaging, LostSettingsDaysAndTextsAreMadeGoodFromTheLines) {
    const QString pristine = home.path() + "/heil.kas";
    makeBook(pristine, 300, 5);
    const Book book = readBook(pristine);
    for (const char* table : {"Einstellungen", "Datum", "Buchungstext"})
        zeroPage(pristine, rootOf(pristine, table));
    QFile::copy(pristine, data);
    const Compaction::Report r = Compaction::compact(data);
    ASSERT_TRUE(r.file.ok()) << germanText(r.file).toStdString();
    const Book after = readBook(data);
    // The lines are all there; their days and texts are made anew from them.
    EXPECT_EQ(after[1].size(), book[1].size());
    EXPECT_EQ(r.salvage->daysMade, qint64(book[0].size()));
    std::set<QString> days, texts;
    for (const auto& [id, row] : after[0])
        days.insert(row[0]);
    for (const auto& [id, row] : book[0])
        EXPECT_TRUE(days.count(row[0])) << row[0].toStdString();
    for (const auto& [id, row] : after[3])
        texts.insert(row[0]);
    for (const auto& [id, row] : after[1])
        EXPECT_TRUE(texts.count(row[1])) << row[1].toStdString();
    // The settings are those of a new book, and the receipt numbers go on.
    EXPECT_FALSE(r.salvage->settingsKept);
    auto db = Database::open(data, cashfile::builtInPassword());
    EXPECT_EQ(db->scalar("SELECT count(*) FROM Einstellungen;"), "1");
    EXPECT_EQ(db->scalar("SELECT Einst19 FROM Einstellungen;"), "301");
    EXPECT_EQ(db->scalar("SELECT Einst16 FROM Einstellungen;"), "19");
    // No ID is handed out twice: the next line comes after every one ever used.
    EXPECT_GE(db->scalar("SELECT seq FROM sqlite_sequence WHERE name = 'Buchungen';").toLongLong(),
              book[1].rbegin()->first);
    const QString text = r.salvage->text(data, 1);
    EXPECT_TRUE(text.contains("\nTage: 0 gerettet, " + QString::number(book[0].size()) +
                              " aus dem Datum ihrer Zeilen neu angelegt; Tage ohne "
                              "Buchungszeilen können fehlen.\n"));
    EXPECT_TRUE(text.contains("\nEinstellungen: verloren. Es gelten die Grundeinstellungen eines "
                              "neuen Kassenbuchs mit der nächsten Beleg-Nr. 301; bitte prüfen "
                              "Sie Vorgaben, Kassenbestand und Passwort.\n"));
}

TEST_F(Salvaging, TheReportNamesTheLostLinesAndTheKeptFile) {
    makeBook(data, 1500, 9);
    const Layout layout = layoutOf(data);
    const quint32 leaf = layout.pages[1].at(700).front();
    qint64 first = 0, last = 0;
    for (const auto& [id, p] : layout.pages[1])
        if (p.front() == leaf) {
            first = first ? first : id;
            last = id;
        }
    zeroPage(data, leaf);
    const QByteArray damaged = bytesOf(data);
    writeBytes(data + ".beschaedigt", "eine frühere");
    Compaction compaction(dialogs);
    ASSERT_EQ(compaction.run(data), Compaction::Outcome::Done);
    const QString text = dialogs.last().text;
    EXPECT_EQ(dialogs.last().title, "Merowa");
    EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
    EXPECT_TRUE(text.startsWith("Die Datenbank\n" + data +
                                "\nwar beschädigt: 1 ihrer Seiten "
                                "konnten nicht gelesen werden."))
        << text.toStdString();
    // The range reaches from the line before the page to the line after it.
    const QRegularExpression range("- die Zeilen mit ID (\\d+) bis (\\d+) \\(eingegeben zwischen "
                                   "den Zeilen vom \\d\\d\\.\\d\\d\\.\\d{4} und vom "
                                   "\\d\\d\\.\\d\\d\\.\\d{4}\\)\n");
    const auto m = range.match(text);
    ASSERT_TRUE(m.hasMatch()) << text.toStdString();
    EXPECT_LE(m.captured(1).toLongLong(), first);
    EXPECT_GE(m.captured(2).toLongLong(), last);
    EXPECT_LT(m.captured(2).toLongLong() - m.captured(1).toLongLong(), 40);
    // An earlier damaged file is not replaced: this one gets the next free name.
    EXPECT_TRUE(text.contains(
        "Die beschädigte Datei bleibt als\n" + data +
        ".beschaedigt-2\nerhalten.\n\nDateigröße: " + QString::number(QFileInfo(data).size()) +
        " repariert und komprimiert. Bitte starten Sie Tillbook neu."));
    EXPECT_EQ(bytesOf(data + ".beschaedigt"), "eine frühere");
    EXPECT_EQ(bytesOf(data + ".beschaedigt-2"), damaged);
    EXPECT_FALSE(QFileInfo::exists(cashfile::WorkMarker::pathFor(data)));
}

TEST_F(Salvaging, AFileWhoseKeySaltIsGoneIsLeftAsItIs) {
    makeBook(data, 200, 2);
    QByteArray bytes = bytesOf(data);
    bytes[3] = char(bytes[3] ^ 0x10);
    writeBytes(data, bytes);
    Compaction compaction(dialogs);
    EXPECT_EQ(compaction.run(data), Compaction::Outcome::Failed);
    EXPECT_TRUE(dialogs.last().text.startsWith("Die Datenbank\n" + data +
                                               "\nist so beschädigt, dass sie nicht gelesen "
                                               "werden kann: "));
    EXPECT_TRUE(dialogs.last().text.endsWith(
        "\n\nEs konnte nichts gerettet werden; die Datei bleibt unverändert. Bitte stellen Sie "
        "die letzte Datensicherung mit Restorix wieder her."));
    EXPECT_EQ(bytesOf(data), bytes);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"Tillbook.kas"});
}
