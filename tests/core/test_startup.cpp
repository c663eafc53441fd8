#include "cash_file.h"
#include "data_paths.h"
#include "scripted_dialogs.h"
#include "startup.h"
#include "temp_book.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace tb;

namespace {
struct Start : ::testing::Test {
    test::TempHome home;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    QString docs = home.path() + "/Dokumente";
    QString defaultPath() { return paths::tillbookDefaultDataPath(docs); }
    std::unique_ptr<Session> open() { return Startup(store, dialogs, docs).open(); }
};
} // namespace

TEST_F(Start, MissingFileOfferedNoCreatesNothing) {
    store.save("Startup", "Datenpfad", home.path() + "/Fort/Kasse.mdb");
    EXPECT_EQ(open(), nullptr);
    // The effective path is stored back even though nothing could be opened.
    EXPECT_EQ(store.get("Startup", "Datenpfad", {}), home.path() + "/Fort/Kasse.kas");
    store.remove("Startup", "Datenpfad");
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(dialogs.last().text.contains(defaultPath()));
    EXPECT_EQ(dialogs.last().buttons, Buttons::YesNo);
    EXPECT_FALSE(QFile::exists(defaultPath()));
    EXPECT_TRUE(QDir(paths::defaultBackupFolder()).exists());
}

TEST_F(Start, FirstStartCreatesAnEmptyBookAndWritesThePath) {
    dialogs.answers.push_back(Answer::Yes);
    auto s = open();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(store.get("Startup", "Datenpfad", {}), defaultPath());
    EXPECT_EQ(s->db->scalar("SELECT Einst16 || '/' || Einst17 || '/' || Einst18 || '/' || Einst19 "
                            "FROM Einstellungen;"),
              "19/7/EUR/1");
    EXPECT_EQ(s->db->scalar("SELECT count(*) FROM Buchungstext;"), "1");
    ASSERT_TRUE(Startup::close(*s));
    EXPECT_EQ(cashfile::probe(defaultPath()), cashfile::State::Protected);
    EXPECT_FALSE(QFile::exists(cashfile::FileLock::lockPathFor(defaultPath())));
}

TEST_F(Start, MdbPathRedirectedAndStoredBack) {
    const QString kas = home.path() + "/Kasse.kas";
    ASSERT_TRUE(cashfile::createEmpty(kas));
    ASSERT_TRUE(cashfile::putPasswordBack(kas));
    store.save("Startup", "Datenpfad", home.path() + "/Kasse.mdb");
    auto s = open();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->dataPath, kas);
    EXPECT_EQ(store.get("Startup", "Datenpfad", {}), kas);
    EXPECT_EQ(cashfile::probe(kas), cashfile::State::Plain); // open for the run
    Startup::close(*s);
}

TEST_F(Start, SecondInstanceRefusedAndFileUntouched) {
    dialogs.answers.push_back(Answer::Yes);
    auto first = open();
    ASSERT_NE(first, nullptr);
    auto second = open();
    EXPECT_EQ(second, nullptr);
    EXPECT_TRUE(dialogs.last().text.startsWith("Das Kassenbuch ist bereits geöffnet"));
    EXPECT_TRUE(dialogs.last().text.contains(defaultPath()));
    EXPECT_EQ(first->db->scalar("SELECT count(*) FROM Einstellungen;"), "1");
    Startup::close(*first);
}

TEST_F(Start, ForeignFileAndReadOnlyFolderGetAMessage) {
    const QString foreign = home.path() + "/fremd.kas";
    QFile f(foreign);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    store.save("Startup", "Datenpfad", foreign);
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(dialogs.last().text.contains("ist kein Kassenbuch"));
    EXPECT_EQ(QFileInfo(foreign).size(), 4096);

    if (geteuid() != 0) { // root may write anywhere
        const QString ro = home.path() + "/ro";
        QDir().mkpath(ro);
        ASSERT_TRUE(cashfile::createEmpty(ro + "/Tillbook.kas"));
        QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner);
        store.save("Startup", "Datenpfad", ro + "/Tillbook.kas");
        EXPECT_EQ(open(), nullptr);
        EXPECT_TRUE(dialogs.last().text.contains("nicht geschrieben werden"));
        QFile::setPermissions(ro, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST_F(Start, GarbagePathsGiveTheDefault) {
    store.save("Startup", "Datenpfad", "");
    EXPECT_EQ(open(), nullptr); // not there: the question, for the default path
    EXPECT_TRUE(dialogs.last().text.contains(defaultPath()));
    store.save("Startup", "Datenpfad", "/proc/nonexistent/\x01weird.kas");
    dialogs.answers.push_back(Answer::Yes);
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(dialogs.last().text.startsWith("Das Kassenbuch konnte nicht angelegt werden"));
}

TEST_F(Start, AnOlderBookIsBroughtUpToDateAtItsFirstStart) {
    const QString path = home.path() + "/Alt.kas";
    ASSERT_TRUE(cashfile::createEmpty(path));
    {
        auto db = Database::open(path, {});
        db->exec("DROP INDEX Buchungen_offen;");
        // What an earlier build added: an index the engine rewrites with every balance.
        db->exec("CREATE INDEX Buchungen_folge ON Buchungen (mid(a10, 7,4), ID);");
        db->exec("INSERT INTO Buchungen (n1, a10, a12) VALUES ('Alt', '01.03.2024', 'O');");
    }
    ASSERT_TRUE(cashfile::putPasswordBack(path));
    store.save("Startup", "Datenpfad", path);
    auto s = open();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->db->scalar("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                            "('Buchungen_offen', 'Buchungen_folge');"),
              "1");
    EXPECT_EQ(s->db->scalar("SELECT count(*) FROM sqlite_master WHERE name = 'Buchungen_offen';"),
              "1");
    EXPECT_EQ(s->db->scalar("SELECT n1 FROM Buchungen;"), "Alt");
    Startup::close(*s);
}
