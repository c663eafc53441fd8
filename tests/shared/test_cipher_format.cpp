#define SQLITE_HAS_CODEC 1
#include "cash_file.h"
#include "change_log.h"
#include "database.h"
#include "jet_functions.h"
#include "page_cipher.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

using namespace tb;

TEST(CipherFormat, TheLibraryInUseIsKnown) {
    EXPECT_GE(cipherMajorVersion(), 3);
    EXPECT_FALSE(cipherVersion().isEmpty());
}

TEST(CipherFormat, AKeyThatDoesNotFitPrintsNothing) {
    // The probe at every end of a run tries the built-in password on a file without one;
    // SQLCipher 4 would log a failed check to stderr each time.
    QTemporaryDir dir;
    const QString path = dir.filePath("Tillbook.kas");
    ASSERT_TRUE(cashfile::createEmpty(path));
    QFile captured(dir.filePath("stderr"));
    ASSERT_TRUE(captured.open(QIODevice::ReadWrite));
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(captured.handle(), 2);
    const auto state = cashfile::probe(path);
    const bool opened = Database::open(path, "falsch") != nullptr;
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    EXPECT_EQ(state, cashfile::State::Plain);
    EXPECT_FALSE(opened);
    captured.seek(0);
    EXPECT_EQ(captured.readAll(), QByteArray());
}

// SQLCipher 4 is built on SQLite 3.26 or later; 3.4 on SQLite 3.15.
#if SQLITE_VERSION_NUMBER >= 3026000
namespace {
// Opens a file with the 4.x or the 3.x settings spelt out, and counts the bookings.
int countWith(const QString& path, bool v3Settings) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_key(db, "vodle", 5);
    sqlite3_exec(
        db, v3Settings ? "PRAGMA cipher_compatibility = 3;" : "PRAGMA cipher_compatibility = 4;",
        nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM Buchungen;", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}
} // namespace

TEST(CipherFormat, SqlCipher4ReadsAndWritesThe3xFormat) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/Tillbook.kas";
    ASSERT_TRUE(QFile::copy(TB_FIXTURES "/book_v3.kas", path));
    EXPECT_EQ(countWith(path, false), -1) << "the fixture must not open with the 4.x format";
    // Written by our code on SQLCipher 3.4: it opens, comes off and goes back on.
    ASSERT_EQ(cashfile::probe(path), cashfile::State::Protected);
    ASSERT_TRUE(cashfile::removePassword(path));
    {
        auto db = Database::open(path, {});
        ASSERT_TRUE(db);
        EXPECT_EQ(db->scalar("SELECT group_concat(n1, '|') FROM Buchungen;"), "Bareinnahme|Porto");
        db->exec("INSERT INTO Buchungen (n1, a10) VALUES ('neu', '07.12.2026');");
    }
    ASSERT_TRUE(cashfile::putPasswordBack(path));
    // What we wrote opens with the 3.x settings, as a Tillbook on SQLCipher 3.4 opens it.
    EXPECT_EQ(countWith(path, true), 3);
    EXPECT_EQ(countWith(path, false), -1);

    // A new cash book made here is in the same format.
    const QString fresh = dir.path() + "/Neu.kas";
    ASSERT_TRUE(cashfile::createEmpty(fresh));
    ASSERT_TRUE(cashfile::putPasswordBack(fresh));
    EXPECT_EQ(countWith(fresh, true), 0);
}

namespace {
// Opens a keyed file as SQLCipher 4 does with the 3.x settings, or a plain one, with the
// program's collations and functions (the schema's indexes and the log's triggers use them).
sqlite3* openWith(const QString& path, const QByteArray& key) {
    sqlite3* db = nullptr;
    // CREATE for the copy it attaches (attached files take the connection's flags).
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (!key.isEmpty()) {
        sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
        sqlite3_exec(db, "PRAGMA cipher_compatibility = 3;", nullptr, nullptr, nullptr);
    }
    jet::registerFunctions(db);
    changelog::registerFunctions(db);
    return db;
}

QString textOf(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    QString out;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    else
        out = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    return out;
}

pagecipher::Pass passOver(const QString& from, const QString& to, bool encrypt) {
    QFile src(from);
    if (!src.open(QIODevice::ReadOnly))
        return {pagecipher::Pass::Failed, fromErrno(EIO)};
    const QByteArray key = cashfile::builtInPassword();
    return encrypt ? pagecipher::encryptFile(src.handle(), to, key)
                   : pagecipher::decryptFile(src.handle(), to, key);
}

constexpr const char* kSummary =
    "SELECT count(*) || '|' || sum(length(n1)) || '|' || max(ID) FROM Buchungen;";
} // namespace

// The password put on and taken off page by page, against SQLCipher 4's own pages: what the
// pass writes opens and checks out there, and what SQLCipher 4 keyed comes off page by page.
TEST(CipherFormat, ThePagePassAndSqlCipher4ReadEachOthersFiles) {
    QTemporaryDir dir;
    const QString plain = dir.path() + "/Tillbook.kas";
    ASSERT_TRUE(cashfile::createEmpty(plain));
    QString summary;
    {
        auto db = Database::open(plain, {});
        Transaction t(*db);
        // Enough lines for interior pages, and texts longer than a page (overflow pages).
        for (int i = 0; i < 3000; ++i)
            db->exec(QString("INSERT INTO Buchungen (n1, a4, a10, a15) VALUES ('%1', '1,00', "
                             "'01.03.2024', '0');")
                         .arg(QString(i % 100 == 0 ? 3000 : 20, QChar('a' + i % 26))));
        t.commit();
        summary = db->scalar(kSummary);
    }
    // The page form of a book during a run: keyed by SQLCipher 4, the password taken off.
    ASSERT_TRUE(cashfile::putPasswordBack(plain));
    ASSERT_TRUE(cashfile::removePassword(plain));
    const QString keyed = dir.path() + "/keyed.kas";
    ASSERT_EQ(passOver(plain, keyed, true).kind, pagecipher::Pass::Done);
    sqlite3* db = openWith(keyed, cashfile::builtInPassword());
    EXPECT_EQ(textOf(db, "PRAGMA integrity_check;"), "ok");
    EXPECT_EQ(textOf(db, kSummary), summary);
    // SQLCipher 4 writes into it, and keys a copy of its own.
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE Probe (x); INSERT INTO Probe VALUES ('vier');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const QString own = dir.path() + "/own.kas";
    const QByteArray attach = "ATTACH DATABASE '" + QFile::encodeName(own) + "' AS copy KEY '" +
                              cashfile::builtInPassword() + "';";
    ASSERT_EQ(
        sqlite3_exec(db, "PRAGMA cipher_default_compatibility = 3;", nullptr, nullptr, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, attach.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "SELECT sqlcipher_export('copy'); DETACH DATABASE copy;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    for (const QString& file : {keyed, own}) {
        const QString back = file + ".plain";
        ASSERT_EQ(passOver(file, back, false).kind, pagecipher::Pass::Done) << file.toStdString();
        sqlite3* p = openWith(back, {});
        EXPECT_EQ(textOf(p, "PRAGMA integrity_check;"), "ok") << file.toStdString();
        EXPECT_EQ(textOf(p, kSummary), summary) << file.toStdString();
        EXPECT_EQ(textOf(p, "SELECT x FROM Probe;"), "vier") << file.toStdString();
        sqlite3_close(p);
    }
}
#else
TEST(CipherFormat, ThePagePassAndSqlCipher4ReadEachOthersFiles) {
    GTEST_SKIP() << "built with SQLCipher " << cipherVersion().toStdString()
                 << "; this check needs SQLCipher 4 (scripts/check-sqlcipher4)";
}
TEST(CipherFormat, SqlCipher4ReadsAndWritesThe3xFormat) {
    GTEST_SKIP() << "built with SQLCipher " << cipherVersion().toStdString()
                 << ", whose defaults are the 3.x format; this check needs SQLCipher 4";
}
#endif
