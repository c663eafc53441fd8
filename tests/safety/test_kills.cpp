// Every whole-file operation is killed with SIGKILL at random moments in a child process;
// after each kill the cash book must open, hold exactly the rows before or after with its
// change log whole, and the next start must leave no file of ours behind.
#include "cash_file.h"
#include "change_log.h"
#include "data_paths.h"
#include "money.h"
#include "scripted_dialogs.h"
#include "startup.h"
#include "temp_book.h"
#include "trail_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tb;

namespace {
constexpr int kLines = 20000;
constexpr int kKills = 30;

void fill(const QString& path, int lines, const QString& tag) {
    QFile::remove(path);
    ASSERT_TRUE(cashfile::createEmpty(path));
    auto db = Database::open(path, {});
    Transaction t(*db);
    Statement st = db->prepare("INSERT INTO Buchungen (n1, a4, a8, a10, a11, a12, a15) VALUES "
                               "(?, '1,00', ?, '01.03.2024', '20240301', 'O', '0');");
    for (int i = 0; i < lines; ++i) {
        st.bindAll({tag, QString::number(i + 1)});
        st.run();
        st.reset();
    }
    t.commit();
}

std::unique_ptr<Database> openEither(const QString& path) {
    const cashfile::State s = cashfile::probe(path);
    if (s != cashfile::State::Plain && s != cashfile::State::Protected)
        return nullptr;
    return Database::open(path,
                          s == cashfile::State::Plain ? QByteArray() : cashfile::builtInPassword());
}

struct Operation {
    const char* name;
    int maxDelayMs;
};

struct Kills : ::testing::TestWithParam<Operation> {
    test::TempHome home;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    QString folder = home.path() + "/Daten";
    QString data = folder + "/Tillbook.kas";
    QString backups = home.path() + "/Sicherung";
    QString copyA = backups + "/Tillbook.ka1";
    QString copyB = backups + "/Tillbook.ka2";

    void SetUp() override {
        QDir().mkpath(folder);
        QDir().mkpath(backups);
        fill(data, kLines, "A");
        if (QLatin1String(GetParam().name) == QLatin1String("upgrade")) {
            // A book from before the log.
            auto db = Database::open(data, {});
            ASSERT_TRUE(changelog::dropTriggers(*db));
            ASSERT_TRUE(db->exec("DROP TABLE Protokoll;"));
        }
        ASSERT_TRUE(cashfile::putPasswordBack(data));
        store.save("Startup", "Datenpfad", data);
        store.save("Startup", "Sicherung", backups + "/Tillbook.kas");
        if (QLatin1String(GetParam().name) == QLatin1String("restore")) {
            QFile::copy(data, copyA);
            fill(copyB, kLines + 1, "B");
            ASSERT_TRUE(cashfile::putPasswordBack(copyB));
        }
    }

    QStringList arguments() const {
        const QString op = QLatin1String(GetParam().name);
        QStringList args{op + "-loop", data};
        if (op == "backup")
            args << backups + "/Tillbook.ka4";
        if (op == "restore")
            args << copyA << copyB;
        return args;
    }

    pid_t spawn() {
        const QStringList args = arguments();
        std::vector<QByteArray> bytes{QByteArray(TB_TOOL)};
        for (const QString& a : args)
            bytes.push_back(QFile::encodeName(a));
        const pid_t pid = fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (QByteArray& b : bytes)
                argv.push_back(b.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }

    // What must hold after a kill: the book opens and has the rows of before or of after.
    ::testing::AssertionResult intact() {
        auto db = openEither(data);
        if (!db)
            return ::testing::AssertionFailure() << "the data file does not open";
        if (db->scalar("PRAGMA integrity_check;") != "ok")
            return ::testing::AssertionFailure() << "the integrity check fails";
        const QString rows = db->scalar("SELECT count(*) || '|' || min(n1) FROM Buchungen;");
        const QString op = QLatin1String(GetParam().name);
        if (op == "restore") {
            if (rows != QString("%1|A").arg(kLines) && rows != QString("%1|B").arg(kLines + 1))
                return ::testing::AssertionFailure() << "rows " << rows.toStdString();
        } else if (rows != QString("%1|A").arg(kLines)) {
            return ::testing::AssertionFailure() << "rows " << rows.toStdString();
        }
        if (op == "float") {
            // Every stored balance belongs to one float: none yet, 0,00 or 1000,00.
            Statement st = db->prepare("SELECT a15 FROM Buchungen ORDER BY ID;");
            std::optional<Money> floatAmount;
            bool untouched = true;
            for (qint64 line = 1; st.next(); ++line) {
                const QString stored = st.text(0);
                untouched = untouched && stored == "0";
                const Money f = Money::parseOrZero(stored) - Money::fromCents(100 * line);
                floatAmount = floatAmount.value_or(f);
                if (!untouched && f != *floatAmount)
                    return ::testing::AssertionFailure()
                           << "line " << line << " holds " << stored.toStdString();
            }
            if (!untouched && *floatAmount != Money() && *floatAmount != Money::fromCents(100000))
                return ::testing::AssertionFailure()
                       << "float " << floatAmount->toText().toStdString();
            // A rewritten balance is no change of a line.
            if (db->scalar("SELECT count(*) FROM Protokoll WHERE Art = ?;",
                           {QString::number(int(changelog::Kind::LineChanged))}) != "0")
                return ::testing::AssertionFailure() << "balances were logged";
        }
        if (op == "renumber") {
            const QString numbers = db->scalar(
                "SELECT min(a8 + 0) || '|' || max(a8 + 0) || '|' || count(DISTINCT a8) FROM "
                "Buchungen;");
            if (numbers != QString("1|%1|%1").arg(kLines) &&
                numbers != QString("100000|%1|%2").arg(100000 + kLines - 1).arg(kLines))
                return ::testing::AssertionFailure() << "receipt numbers " << numbers.toStdString();
        }
        // The change log is whole; the upgrade has either not begun it or begun it in full.
        if (changelog::hasLog(*db)) {
            const LogCheck log = LogCheck::run(*db);
            if (!log.whole())
                return ::testing::AssertionFailure() << "the log: " << log.text().toStdString();
            const QString begun = db->scalar("SELECT count(*) || '|' || min(Art) || '|' || "
                                             "min(Nachher) FROM Protokoll;");
            if (op == "upgrade" && !begun.startsWith(QString("1|14|Zeilen=%1;").arg(kLines)))
                return ::testing::AssertionFailure() << "the log begun: " << begun.toStdString();
        } else if (op != "upgrade") {
            return ::testing::AssertionFailure() << "the log is gone";
        }
        if (op == "backup" && QFileInfo::exists(backups + "/Tillbook.ka4")) {
            const Result copy =
                cashfile::verifyBook(backups + "/Tillbook.ka4", cashfile::builtInPassword());
            if (!copy.ok())
                return ::testing::AssertionFailure()
                       << "the copy: " << germanText(copy).toStdString();
        }
        return ::testing::AssertionSuccess();
    }

    // The next start and its end leave nothing of ours beside the book or the copies.
    ::testing::AssertionResult nothingLeftAfterTheNextStart() {
        auto session = Startup(store, dialogs, home.path()).open();
        if (!session)
            return ::testing::AssertionFailure()
                   << "the next start fails: " << dialogs.last().text.toStdString();
        Startup::close(*session);
        QStringList stray;
        for (const QString& f : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            if (f != "Tillbook.kas" && f != "Tillbook.kas.vor-Wiederherstellung")
                stray << f;
        for (const QString& f : QDir(backups).entryList(QDir::Files | QDir::Hidden))
            if (f.contains(".tmp-"))
                stray << f;
        if (!stray.isEmpty())
            return ::testing::AssertionFailure()
                   << "left behind: " << stray.join(", ").toStdString();
        return ::testing::AssertionSuccess();
    }
};
} // namespace

TEST_P(Kills, EveryKillLeavesAWholeBookAndNothingElse) {
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::printf("%s: seed %u\n", GetParam().name, seed);
    int kills = 0;
    int whole = 0;
    for (int round = 0; round < kKills; ++round) {
        const pid_t pid = spawn();
        ASSERT_GT(pid, 0);
        usleep(1000 * std::uniform_int_distribution<int>(5, GetParam().maxDelayMs)(random));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status))
            << "the operation ended by itself (exit " << WEXITSTATUS(status) << ")";
        ++kills;
        const auto ok = intact();
        EXPECT_TRUE(ok) << GetParam().name << " round " << round << " seed " << seed;
        whole += ok ? 1 : 0;
        ASSERT_TRUE(nothingLeftAfterTheNextStart()) << "round " << round << " seed " << seed;
    }
    std::printf("%s: kills %d, intact %d\n", GetParam().name, kills, whole);
    EXPECT_EQ(whole, kills);
}

INSTANTIATE_TEST_SUITE_P(WholeFileOperations, Kills,
                         ::testing::Values(Operation{"password-off", 400},
                                           Operation{"password-on", 400}, Operation{"backup", 500},
                                           Operation{"restore", 500}, Operation{"compact", 500},
                                           Operation{"renumber", 300}, Operation{"upgrade", 400},
                                           Operation{"float", 300}),
                         [](const auto& info) {
                             QString n = QLatin1String(info.param.name);
                             return n.remove('-').toStdString();
                         });
