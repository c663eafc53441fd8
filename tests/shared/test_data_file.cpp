#include "cash_file.h"
#include "data_view.h"
#include "temp_book.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tb;

TEST(DataFile, PasswordOffForTheRunAndBackAtTheEnd) {
    test::TempBook book;
    book.close();
    ASSERT_TRUE(cashfile::putPasswordBack(book.path()));
    EXPECT_EQ(cashfile::probe(book.path()), cashfile::State::Protected);
    EXPECT_EQ(Database::open(book.path(), {}), nullptr); // no way in without the key

    ASSERT_TRUE(cashfile::removePassword(book.path()));
    EXPECT_EQ(cashfile::probe(book.path()), cashfile::State::Plain);
    auto db = Database::open(book.path(), {});
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->scalar("SELECT Einst16 FROM Einstellungen;"), "19");
    db.reset();

    // A plain file (a run that ended without the exit step) stays usable and is protected later.
    EXPECT_TRUE(cashfile::removePassword(book.path()));
    ASSERT_TRUE(cashfile::putPasswordBack(book.path()));
    EXPECT_NE(Database::open(book.path(), cashfile::builtInPassword()), nullptr);
    EXPECT_FALSE(QFile::exists(book.path() + ".tmp-rekey"));
}

TEST(DataFile, RewriteKeepsDataAndKeyCounters) {
    test::TempBook book;
    const qint64 a = book.addLine("01.03.2024", "1,00", "");
    const qint64 b = book.addLine("01.03.2024", "2,00", "");
    book.db().exec("DELETE FROM Buchungen WHERE ID = " + QString::number(b) + ";");
    book.close();
    ASSERT_TRUE(cashfile::putPasswordBack(book.path()));
    ASSERT_TRUE(cashfile::removePassword(book.path()));
    book.reopen();
    EXPECT_EQ(book.lineValue(a, "a4"), "1,00");
    const qint64 c = book.addLine("01.03.2024", "3,00", "");
    EXPECT_GT(c, b); // a deleted line's number is never handed out again
}

namespace {
QByteArray bytesOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// The page size and the reserved bytes per page a plain file's header names.
std::pair<int, int> pageForm(const QString& path) {
    const QByteArray head = bytesOf(path).left(21);
    return {(static_cast<quint8>(head[16]) << 8) | static_cast<quint8>(head[17]),
            static_cast<quint8>(head[20])};
}

QString contentOf(Database& db) {
    return db.scalar("SELECT count(*) || '|' || group_concat(n1 || a4 || a15, ';') FROM "
                     "(SELECT * FROM Buchungen ORDER BY ID);");
}
} // namespace

TEST(DataFile, ThePasswordGoesOnAndOffPageByPageAndTheEngineReadsEveryPage) {
    test::TempBook book;
    Transaction fill(book.db());
    for (int i = 0; i < 3000; ++i)
        book.addLine("01.03.2024", QString::number(i) + ",50", "",
                     "Bäckerei Müller " + QString::number(i % 40), QString::number(i));
    fill.commit();
    const QString before = contentOf(book.db());
    book.close();
    // A new book has the engine's plain page form; the engine rewrites it the first time.
    ASSERT_TRUE(cashfile::putPasswordBack(book.path()));
    const QByteArray firstKeyed = bytesOf(book.path());

    // From then on the run's file has the keyed format's page form, so the password comes off
    // and goes back on page by page.
    ASSERT_TRUE(cashfile::removePassword(book.path()));
    EXPECT_EQ(pageForm(book.path()), std::make_pair(1024, 48));
    book.reopen();
    EXPECT_EQ(book.db().scalar("PRAGMA integrity_check;"), "ok");
    EXPECT_EQ(contentOf(book.db()), before);
    Transaction more(book.db());
    for (int i = 0; i < 500; ++i)
        book.addLine("02.03.2024", "1,00", "", "Neu", QString::number(i));
    more.commit();
    const QString after = contentOf(book.db());
    book.close();

    ASSERT_TRUE(cashfile::putPasswordBack(book.path()));
    const QByteArray keyed = bytesOf(book.path());
    EXPECT_NE(keyed.left(16), firstKeyed.left(16)) << "every keyed file gets a new salt";
    EXPECT_NE(keyed.left(16), QByteArray("SQLite format 3", 16));
    {
        // The engine checks every page's HMAC and the whole structure under the built-in key.
        auto db = Database::open(book.path(), cashfile::builtInPassword());
        ASSERT_NE(db, nullptr);
        EXPECT_EQ(db->scalar("PRAGMA integrity_check;"), "ok");
        EXPECT_EQ(contentOf(*db), after);
    }
    EXPECT_EQ(Database::open(book.path(), "falsch"), nullptr);
    ASSERT_TRUE(cashfile::removePassword(book.path()));
    book.reopen();
    EXPECT_EQ(contentOf(book.db()), after);
    EXPECT_FALSE(QFile::exists(book.path() + ".tmp-rekey"));
}

TEST(DataFile, ADamagedPageIsNeverTakenOffAsPlainData) {
    test::TempBook book;
    Transaction fill(book.db());
    for (int i = 0; i < 2000; ++i)
        book.addLine("01.03.2024", "1,00", "", "Text " + QString::number(i));
    fill.commit();
    book.close();
    ASSERT_TRUE(cashfile::putPasswordBack(book.path()));
    QByteArray damaged = bytesOf(book.path());
    damaged[damaged.size() / 2 + 100] = static_cast<char>(damaged[damaged.size() / 2 + 100] ^ 1);
    {
        QFile f(book.path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    const QString why = germanText(cashfile::removePassword(book.path()));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(bytesOf(book.path()), damaged);
    EXPECT_FALSE(QFile::exists(book.path() + ".tmp-rekey"));
}

// Writes reach the disk in gathered blocks; a transaction larger than the engine's cache spills
// into the file and its journal and is still taken back whole.
TEST(DataFile, ATransactionLargerThanTheCacheIsRolledBackWhole) {
    test::TempBook book;
    {
        Transaction fill(book.db());
        for (int i = 0; i < 4000; ++i)
            book.addLine("01.03.2024", "1,00", "", "Text " + QString::number(i));
        fill.commit();
    }
    const QString before = contentOf(book.db());
    book.db().exec("PRAGMA cache_size = 20;");
    {
        Transaction t(book.db());
        ASSERT_TRUE(
            book.db().exec("UPDATE Buchungen SET a15 = '1.234,56', n2 = hex(randomblob(40));"));
        ASSERT_NE(contentOf(book.db()), before);
    } // rolled back
    EXPECT_EQ(contentOf(book.db()), before);
    EXPECT_EQ(book.db().scalar("PRAGMA integrity_check;"), "ok");
    book.reopen();
    EXPECT_EQ(contentOf(book.db()), before);
}

TEST(DataFile, AWriteThatFillsTheDiskFailsAsFullAndChangesNothing) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    QTemporaryDir dir;
    if (mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const QString path = dir.path() + "/Tillbook.kas";
    ASSERT_TRUE(cashfile::createEmpty(path));
    QString before;
    {
        auto db = Database::open(path, {});
        Transaction fill(*db);
        for (int i = 0; i < 1500; ++i)
            db->exec(QStringLiteral("INSERT INTO Buchungen (n1, n2, a10) VALUES ('T%1', '%2', "
                                    "'01.03.2024');")
                         .arg(i)
                         .arg(QString(200, 'x')));
        fill.commit();
        before = contentOf(*db);
        // Every row grows: the file and its journal outgrow the disk.
        const QString why = germanText(db->exec("UPDATE Buchungen SET n2 = n2 || n2 || n2;"));
        EXPECT_TRUE(why.startsWith("Der Datenträger ist voll.")) << why.toStdString();
        // The kind is the engine's code, whatever the text says.
        const Result failure = db->exec("UPDATE Buchungen SET n2 = n2 || n2 || n2;");
        EXPECT_FALSE(failure.ok());
        EXPECT_EQ(failure.kind, ErrorKind::DiskFull);
        EXPECT_EQ(failure.code, ENOSPC);
        EXPECT_EQ(failure.engineCode & 0xff, 13); // SQLITE_FULL
        EXPECT_EQ(contentOf(*db), before);
    }
    // The password cannot go on beside the file: a full disk, the file as it was.
    const Result protectedFile = cashfile::protect(path);
    EXPECT_EQ(protectedFile.kind, ErrorKind::DiskFull) << germanText(protectedFile).toStdString();
    EXPECT_EQ(cashfile::probe(path), cashfile::State::Plain);
    EXPECT_FALSE(QFileInfo::exists(path + ".tmp-rekey"));
    auto db = Database::open(path, {});
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(contentOf(*db), before);
    EXPECT_EQ(db->scalar("PRAGMA integrity_check;"), "ok");
    db.reset();
    umount(QFile::encodeName(dir.path()).constData());
}

TEST(DataFile, ForeignAndBrokenFilesAreRecognisedAndLeftAlone) {
    QTemporaryDir dir;
    const QString text = dir.path() + "/text.kas";
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is no database at all, just some text in a file\n");
    f.close();
    const QByteArray before = [&] {
        QFile r(text);
        r.open(QIODevice::ReadOnly);
        return r.readAll();
    }();
    EXPECT_EQ(cashfile::probe(text), cashfile::State::NotACashBook);
    EXPECT_FALSE(cashfile::removePassword(text));
    EXPECT_FALSE(cashfile::putPasswordBack(text));
    QFile r(text);
    r.open(QIODevice::ReadOnly);
    EXPECT_EQ(r.readAll(), before);

    const QString other = dir.path() + "/other.kas";
    {
        auto db = Database::open(other, {}, nullptr, Database::Mode::Create);
        db->exec("CREATE TABLE Kunden (Name TEXT);");
    }
    EXPECT_EQ(cashfile::probe(other), cashfile::State::NotACashBook);
    EXPECT_EQ(cashfile::probe(dir.path() + "/missing.kas"), cashfile::State::Missing);
}

TEST(DataFile, KilledDuringPasswordChangeLeavesAWholeFile) {
    test::TempBook book;
    for (int i = 0; i < 300; ++i)
        book.addLine("01.03.2024", QString::number(i) + ",00", "", "Text " + QString::number(i));
    book.close();
    for (int round = 0; round < 12; ++round) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Flip the password back and forth until killed.
            for (;;) {
                cashfile::putPasswordBack(book.path());
                cashfile::removePassword(book.path());
            }
        }
        usleep(static_cast<useconds_t>(3000 + round * 2500));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const cashfile::State s = cashfile::probe(book.path());
        ASSERT_TRUE(s == cashfile::State::Plain || s == cashfile::State::Protected)
            << "round " << round;
        auto db = Database::open(
            book.path(), s == cashfile::State::Plain ? QByteArray() : cashfile::builtInPassword());
        ASSERT_NE(db, nullptr);
        EXPECT_EQ(db->scalar("SELECT count(*) FROM Buchungen;"), "300");
    }
}

TEST(DataFile, SqlTextsOfTheCashBookRunAsWritten) {
    test::TempBook book;
    book.addDay("31.12.2023");
    book.addDay("01.01.2024");
    const qint64 late = book.addLine("01.01.2024", "1,00", "");
    const qint64 early = book.addLine("31.12.2023", "2,00", "");
    auto first = [&](const QString& sql) {
        Statement st = book.db().prepare(sql);
        EXPECT_TRUE(st.isValid()) << sql.toStdString() << st.error().toStdString();
        return st.next() ? st.text(0) : QString("<none>");
    };
    EXPECT_EQ(first("Select * from Datum Order by a2 DESC;").toLongLong(), 2);
    EXPECT_EQ(
        first("Select * from Buchungen WHERE a10 = (\"01.01.2024\")Order by ID;").toLongLong(),
        late);
    EXPECT_EQ(first("Select * from Buchungen order by mid(a10, 7,4), mid(a10, 4,2), "
                    "mid(a10, 1,2), ID;")
                  .toLongLong(),
              early);
    EXPECT_NE(first("Select * from Buchungstext Order by a1;"), "<none>");
    EXPECT_EQ(first("Select * from Buchungen WHERE (Val(Mid$(a10, 7, 4)) * 10000) + "
                    "(Val(Mid$(a10, 4, 2)) * 100) + (Val(Left$(a10, 2))) >= 20240101;")
                  .toLongLong(),
              late);
    EXPECT_NE(first("Select * from Buchungen WHERE a12 = (\"O\")Order by n1;"), "<none>");
}

TEST(DataFile, EveryRowWatcherIsToldUntilItGoes) {
    test::TempBook book;
    Database* db = &book.db();
    std::vector<qint64> first, second;
    auto watchFirst = db->watchRows([&](std::string_view table, qint64 rowid) {
        if (table == "Buchungen")
            first.push_back(rowid);
    });
    {
        auto watchSecond = db->watchRows([&](std::string_view table, qint64 rowid) {
            if (table == "Buchungen")
                second.push_back(rowid);
        });
        ASSERT_TRUE(db->exec("INSERT INTO Buchungen (n1, a10) VALUES ('A', '01.03.2024');"));
    }
    ASSERT_TRUE(db->exec("INSERT INTO Buchungen (n1, a10) VALUES ('B', '01.03.2024');"));
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(second, std::vector<qint64>{first[0]});
    watchFirst = {};
    ASSERT_TRUE(db->exec("INSERT INTO Buchungen (n1, a10) VALUES ('C', '01.03.2024');"));
    EXPECT_EQ(first.size(), 2u);
}

TEST(DataView, MovesFindsAddsUpdatesDeletes) {
    test::TempBook book;
    for (const char* d : {"01.03.2024", "02.03.2024", "03.03.2024"})
        book.addDay(d);
    DataView v(&book.db(), "Datum", "Select * from Datum Order by a2 DESC;");
    ASSERT_TRUE(v.refresh());
    EXPECT_EQ(v.recordCount(), 3);
    EXPECT_EQ(v.value("a1"), "03.03.2024");
    v.moveLast();
    EXPECT_EQ(v.value("a1"), "01.03.2024");
    v.moveNext();
    EXPECT_TRUE(v.atEnd());
    EXPECT_TRUE(v.findFirstEquals("a1", "02.03.2024"));
    EXPECT_FALSE(v.findFirstEquals("a1", "09.09.2024"));
    EXPECT_EQ(v.value("a1"), "02.03.2024"); // a failed find does not move
    v.setValue("a3", "5,00");
    ASSERT_TRUE(v.update());
    v.addNew();
    v.setValue("a1", "04.03.2024");
    ASSERT_TRUE(v.update());
    EXPECT_EQ(v.value("a1"), "04.03.2024");
    ASSERT_TRUE(v.remove());
    v.refresh();
    EXPECT_EQ(v.recordCount(), 3);
    EXPECT_TRUE(v.findFirstEquals("a3", "5,00"));
    // Bound values are taken literally.
    v.addNew();
    v.setValue("a1", "x'); DROP TABLE Datum; --");
    ASSERT_TRUE(v.update());
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Datum;"), "4");
}

TEST(FileLock, SecondHolderRefusedStaleLockTakenOver) {
    test::TempBook book;
    cashfile::FileLock first(book.path());
    ASSERT_TRUE(first.tryLock());
    cashfile::FileLock second(book.path());
    EXPECT_FALSE(second.tryLock());
    EXPECT_TRUE(second.holder().contains(QString::number(getpid())));
    first.unlock();

    // A process that dies holding the lock leaves it behind; the next run takes it over.
    const pid_t pid = fork();
    if (pid == 0) {
        cashfile::FileLock crashed(book.path());
        crashed.tryLock();
        _exit(0);
    }
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(QFile::exists(cashfile::FileLock::lockPathFor(book.path())));
    cashfile::FileLock third(book.path());
    EXPECT_TRUE(third.tryLock());
}
