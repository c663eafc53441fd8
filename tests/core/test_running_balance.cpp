// The balance that follows the book (walking only from the earliest written date) against the
// plain walk: the engine sorts every line by the order statement, and each counted line's
// expected balance is summed from the first line on.
#include "data_view.h"
#include "day_view.h"
#include "temp_book.h"

#include <QDate>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sqlite3.h>

using namespace tb;

namespace {
struct Expected {
    std::map<qint64, QString> stored; // a15 as it must stand, "" for uncounted lines
    Money balance;
};

Expected referenceWalk(Database& db, Money floatAmount) {
    Expected e;
    Statement st = db.prepare(RunningBalance::allLinesSource());
    const int id = 0;
    int a4 = -1, a5 = -1, a15 = -1;
    for (int i = 0; i < st.columnCount(); ++i) {
        if (st.columnName(i) == "a4")
            a4 = i;
        if (st.columnName(i) == "a5")
            a5 = i;
        if (st.columnName(i) == "a15")
            a15 = i;
    }
    Money b = floatAmount;
    while (st.next()) {
        b += countedAmount(st.text(a4)).value_or(Money());
        b -= countedAmount(st.text(a5)).value_or(Money());
        e.stored[st.integer(id)] = st.text(a15).isEmpty() ? QString() : b.toText();
    }
    e.balance = b;
    return e;
}

::testing::AssertionResult matchesReference(Database& db, Money floatAmount,
                                            const BalanceResult& r) {
    const Expected e = referenceWalk(db, floatAmount);
    if (r.balance != e.balance)
        return ::testing::AssertionFailure() << "balance " << r.balance.toText().toStdString()
                                             << " instead of " << e.balance.toText().toStdString();
    Statement st = db.prepare("SELECT ID, a15 FROM Buchungen;");
    while (st.next()) {
        const auto want = e.stored.find(st.integer(0));
        if (want == e.stored.end() || want->second != st.text(1))
            return ::testing::AssertionFailure()
                   << "line " << st.integer(0) << " holds " << st.text(1).toStdString()
                   << " instead of " << (want == e.stored.end() ? "-" : want->second.toStdString());
    }
    return ::testing::AssertionSuccess();
}

QString dateOf(int day) {
    return QDate(2024, 1, 1).addDays(day).toString("dd.MM.yyyy");
}
} // namespace

TEST(FollowedBalance, RandomEditsLeaveWhatTheWholeWalkLeaves) {
    test::TempBook book;
    Database& db = book.db();
    std::mt19937 random(20261207);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    auto amount = [&] { return Money::fromCents(pick(1, 500000)).toText(); };
    for (int i = 0; i < 300; ++i)
        book.addLine(dateOf(i / 10), i % 3 ? amount() : "", i % 3 ? "" : amount());

    RunningBalance followed(db);
    Money floatAmount = *Money::parse("150,00");
    ASSERT_TRUE(matchesReference(db, floatAmount, followed.recompute(floatAmount)));
    int newest = 29;
    int partial = 0;
    // The dates an edit may use: ordinary days, the newest, a new one, and odd texts that
    // still have to take their place in the order.
    auto someDate = [&]() -> QString {
        switch (pick(0, 9)) {
        case 0:
            return dateOf(pick(0, newest)); // back-dated
        case 1:
            return dateOf(++newest); // a new day
        case 2: {
            const QString odd[] = {"", "1.1.2024", "31.12.2099", "01.01.1999", "xx.yy.zzzz"};
            return odd[pick(0, 4)];
        }
        default:
            return dateOf(newest);
        }
    };
    auto anyLine = [&]() -> qint64 {
        const int lines = db.scalar("SELECT count(*) FROM Buchungen;").toInt();
        if (lines == 0)
            return 0;
        return db
            .scalar("SELECT ID FROM Buchungen ORDER BY ID LIMIT 1 OFFSET ?;",
                    {QString::number(pick(0, lines - 1))})
            .toLongLong();
    };
    for (int round = 0; round < 400; ++round) {
        const int what = pick(0, 99);
        std::string did;
        if (what < 35) {
            did = "new line";
            book.addLine(someDate(), pick(0, 2) ? amount() : "", pick(0, 3) ? "" : amount(),
                         "Bareinnahme", pick(0, 9) ? "0" : "");
        } else if (what < 50) {
            did = "changed amount";
            Statement st = db.prepare("UPDATE Buchungen SET a4 = ?, a5 = ? WHERE ID = ?;");
            st.bindAll({pick(0, 1) ? amount() : "", pick(0, 1) ? amount() : ""});
            st.bind(3, anyLine());
            st.run();
        } else if (what < 58) {
            did = "moved to another date";
            Statement st = db.prepare("UPDATE Buchungen SET a10 = ? WHERE ID = ?;");
            st.bind(1, someDate());
            st.bind(2, anyLine());
            st.run();
        } else if (what < 62) {
            did = "date made NULL";
            Statement st = db.prepare("UPDATE Buchungen SET a10 = NULL WHERE ID = ?;");
            st.bind(1, anyLine());
            st.run();
        } else if (what < 72) {
            did = "deleted";
            Statement st = db.prepare("DELETE FROM Buchungen WHERE ID = ?;");
            st.bind(1, anyLine());
            st.run();
        } else if (what < 76) {
            did = "cancelled";
            // The mark on the old line and a counter-entry dated today without a balance.
            const qint64 id = anyLine();
            Transaction t(db);
            db.exec(QString("UPDATE Buchungen SET a1 = 'S' WHERE ID = %1;").arg(id));
            Statement st = db.prepare("INSERT INTO Buchungen (a1, a4, a5, a10) SELECT "
                                      "'Storno', a5, a4, ? FROM Buchungen WHERE ID = ?;");
            st.bind(1, dateOf(newest));
            st.bind(2, id);
            st.run();
            t.commit();
        } else if (what < 80) {
            did = "done mark and other tables";
            db.exec(QString("UPDATE Buchungen SET a12 = '' WHERE ID = %1;").arg(anyLine()));
            db.exec(QString("INSERT INTO Datum (a1, a2, a3) VALUES ('%1', '', '');")
                        .arg(dateOf(newest + round + 1000)));
        } else if (what < 84) {
            did = "stored balance spoiled";
            db.exec(QString("UPDATE Buchungen SET a15 = '1,23' WHERE ID = %1;").arg(anyLine()));
        } else if (what < 87) {
            did = "float changed";
            floatAmount = Money::fromCents(pick(0, 100000));
        } else if (what < 90) {
            did = "another program wrote";
            auto other = Database::open(book.path(), {});
            other->exec(QString("UPDATE Buchungen SET a4 = '7,00' WHERE ID = %1;").arg(anyLine()));
        } else if (what < 92) {
            did = "many lines at once";
            db.exec("UPDATE Buchungen SET a5 = '' WHERE ID % 7 = 3;");
        } else if (what < 93 && round > 350) {
            did = "emptied";
            db.exec("DELETE FROM Buchungen;"); // no row is announced for this one
        } else if (what < 94) {
            did = "date stored as bytes, then a line of that date";
            const qint64 id = anyLine();
            db.exec(QString("UPDATE Buchungen SET a10 = CAST(a10 AS BLOB) WHERE ID = %1;").arg(id));
            ASSERT_TRUE(matchesReference(db, floatAmount, followed.recompute(floatAmount)));
            book.addLine(
                db.scalar(
                    QString("SELECT CAST(a10 AS TEXT) FROM Buchungen WHERE ID = %1;").arg(id)),
                amount(), "");
            ASSERT_TRUE(matchesReference(db, floatAmount, followed.recompute(floatAmount)))
                << "round " << round << ": " << did;
            db.exec(QString("UPDATE Buchungen SET a10 = CAST(a10 AS TEXT) WHERE ID = %1;").arg(id));
        } else {
            did = "nothing";
        }
        const BalanceResult r = followed.recompute(floatAmount);
        ASSERT_TRUE(r.ok());
        ASSERT_TRUE(matchesReference(db, floatAmount, r)) << "round " << round << ": " << did;
        if (r.read < db.scalar("SELECT count(*) FROM Buchungen;").toInt())
            ++partial;
        // The carried-in balance of any date, as the whole book gives it.
        const QString day = someDate();
        const std::optional<Money> carried = followed.carriedInto(day);
        ASSERT_TRUE(carried) << "round " << round;
        ASSERT_EQ(*carried, balanceCarriedInto(db, day, floatAmount))
            << "round " << round << ": " << day.toStdString();
    }
    // Most recomputes read only part of the book.
    EXPECT_GT(partial, 200);
}

TEST(FollowedBalance, ANewLineOnTheNewestDayReadsThatDayOnly) {
    test::TempBook book;
    for (int i = 0; i < 500; ++i)
        book.addLine(dateOf(i / 25), "10,00", "");
    RunningBalance followed(book.db());
    EXPECT_EQ(followed.recompute({}).read, 500);
    EXPECT_EQ(followed.recompute({}).read, 0); // nothing written since
    const qint64 id = book.addLine(dateOf(19), "", "2,50");
    const BalanceResult r = followed.recompute({});
    EXPECT_EQ(r.read, 26);
    EXPECT_EQ(r.written, 1);
    EXPECT_EQ(book.lineValue(id, "a15"), "4997,50");
    // A float of its own makes every balance move, by what the last walk left: none is read.
    const BalanceResult shifted = followed.recompute(Money::fromCents(100));
    EXPECT_EQ(shifted.written, 501);
    EXPECT_EQ(shifted.read, 0);
    // Until something is written again, no date is uncertain.
    EXPECT_EQ(followed.carriedInto(dateOf(1)), Money::fromCents(25100));
    book.addLine(dateOf(3), "1,00", "");
    EXPECT_EQ(followed.carriedInto(dateOf(1)), std::nullopt);
}

TEST(FollowedBalance, AFailedWriteLeavesTheBalancesAndIsRepairedNextTime) {
    test::TempBook book;
    const qint64 a = book.addLine("01.03.2024", "10,00", "");
    RunningBalance followed(book.db());
    followed.recompute({});
    const qint64 b = book.addLine("02.03.2024", "5,00", "");
    book.db().exec("CREATE TRIGGER refuse BEFORE UPDATE OF a15 ON Buchungen "
                   "BEGIN SELECT RAISE(ABORT, 'nein'); END;");
    const BalanceResult refused = followed.recompute({});
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(germanText(refused.failure).endsWith("(nein)"))
        << germanText(refused.failure).toStdString();
    EXPECT_EQ(book.lineValue(b, "a15"), "0");
    book.db().exec("DROP TRIGGER refuse;");
    const BalanceResult r = followed.recompute({});
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(book.lineValue(a, "a15"), "10,00");
    EXPECT_EQ(book.lineValue(b, "a15"), "15,00");
}

TEST(LineOrder, ListingsSortTheirRowsAsTheStatementWould) {
    test::TempBook book;
    for (const char* date :
         {"02.01.2025", "31.12.2024", "", "1.1.2025", "01.01.2025", "02.01.2025", "15.06.2024"})
        book.addLine(date, "1,00", "");
    // (A line without any date never passes the range test of a listing.)
    DataView sorted(&book.db(), "Buchungen");
    sorted.setSource("Select * from Buchungen;", {}, DataView::Order::ByLineOrder);
    sorted.refresh();
    Statement st = book.db().prepare(RunningBalance::allLinesSource());
    for (int row = 0; st.next(); ++row)
        EXPECT_EQ(sorted.idAt(row), st.integer(0)) << "row " << row;
}

TEST(RunningBalance, ManyChangedBalancesAreWrittenInOneStatement) {
    test::TempBook book;
    std::vector<qint64> ids;
    {
        Transaction t(book.db());
        for (int i = 0; i < 6000; ++i)
            ids.push_back(book.addLine(dateOf(i / 40), "1,00", i % 5 ? "" : "0,40", "Text",
                                       i % 4 == 3 ? "" : "0"));
        book.db().exec("UPDATE Buchungen SET a15 = NULL WHERE ID % 50 = 7;");
        t.commit();
    }
    ASSERT_TRUE(matchesReference(book.db(), {}, RunningBalance::fullWalk(book.db(), {})));
    // A line late in the book: some 1 500 balances, a minority of the lines.
    book.db().exec(QString("UPDATE Buchungen SET a4 = '3,00' WHERE ID = %1;").arg(ids[4000]));
    BalanceResult r = RunningBalance::fullWalk(book.db(), {});
    EXPECT_GT(r.written, 1200);
    ASSERT_TRUE(matchesReference(book.db(), {}, r));
    // The first line: every balance, most of them as long as before. Some stored balances are
    // numbers or bytes of the same length as the new text: they must come back as text.
    book.db().exec(QString("UPDATE Buchungen SET a4 = '2,00' WHERE ID = %1;").arg(ids[0]));
    book.db().exec(
        QString("UPDATE Buchungen SET a15 = CAST(a15 AS BLOB) WHERE ID = %1;").arg(ids[2001]));
    book.db().exec(QString("UPDATE Buchungen SET a15 = 1234 WHERE ID = %1;").arg(ids[5001]));
    RunningBalance followed(book.db());
    r = followed.recompute({});
    EXPECT_GT(r.written, 4300);
    ASSERT_TRUE(matchesReference(book.db(), {}, r));
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen WHERE a15 IS NULL;"), "120");
    EXPECT_EQ(book.db().scalar("SELECT count(*) FROM Buchungen WHERE typeof(a15) NOT IN "
                               "('text', 'null');"),
              "0");
    // What was written in place is known to the followed balance: a late line is walked alone.
    book.db().exec(QString("UPDATE Buchungen SET a5 = '0,10' WHERE ID = %1;").arg(ids[5990]));
    r = followed.recompute({});
    EXPECT_LT(r.read, 100);
    ASSERT_TRUE(matchesReference(book.db(), {}, r));
}

TEST(FollowedBalance, ANewFloatMovesEveryBalanceWhateverItWasStoredAs) {
    test::TempBook book;
    Database& db = book.db();
    std::vector<qint64> ids;
    {
        Transaction t(db);
        for (int i = 0; i < 3000; ++i)
            ids.push_back(book.addLine(dateOf(i / 30), i % 4 ? "3,30" : "", i % 4 ? "" : "2,20",
                                       "Text", i % 9 == 4 ? "" : "0"));
        t.commit();
    }
    db.exec("UPDATE Buchungen SET a15 = NULL WHERE ID % 50 = 7;");
    RunningBalance followed(db);
    const Money first = Money::fromCents(99000);
    ASSERT_TRUE(matchesReference(db, first, followed.recompute(first)));
    // A balance that keeps its bytes but is stored as bytes, a line saved and walked since,
    // and one balance written past the engine's notice (same length, wrong figure).
    db.exec(QString("UPDATE Buchungen SET a15 = CAST(a15 AS BLOB) WHERE ID = %1;").arg(ids[41]));
    ASSERT_TRUE(followed.recompute(first).ok());
    book.addLine(dateOf(60), "5,00", "");
    ASSERT_TRUE(matchesReference(db, first, followed.recompute(first)));
    sqlite3_blob* blob = nullptr;
    ASSERT_EQ(sqlite3_blob_open(db.handle(), "main", "Buchungen", "a15", ids[2000], 1, &blob),
              SQLITE_OK);
    const QByteArray wrong(sqlite3_blob_bytes(blob), '7');
    sqlite3_blob_write(blob, wrong.constData(), static_cast<int>(wrong.size()), 0);
    sqlite3_blob_close(blob);
    // Up and down across a power of ten: some balances change their length on the way.
    for (const Money f : {Money::fromCents(-500000), Money::fromCents(1), first}) {
        const BalanceResult r = followed.recompute(f);
        EXPECT_EQ(r.read, 0);
        ASSERT_TRUE(matchesReference(db, f, r)) << f.toText().toStdString();
    }
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Buchungen WHERE typeof(a15) NOT IN "
                        "('text', 'null');"),
              "0");
    // The next save is walked from its day on, from the shifted balances.
    book.addLine(dateOf(99), "", "1,00");
    const BalanceResult r = followed.recompute(first);
    EXPECT_LT(r.read, 100);
    ASSERT_TRUE(matchesReference(db, first, r));
}
