#include "cash_file.h"
#include "child.h"
#include "data_paths.h"
#include "scripted_dialogs.h"
#include "startup.h"
#include "temp_book.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

using namespace tb;

namespace {
struct Odd : ::testing::Test {
    test::TempHome home;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    QString docs = home.path() + "/Dokumente";
    bool crashNoticed = false;

    std::unique_ptr<Session> open() {
        Startup s(store, dialogs, docs);
        s.offerBackup = [this](Session&) { crashNoticed = true; };
        return s.open();
    }
    QString book(const QString& name = "Tillbook.kas") {
        const QString path = home.path() + "/" + name;
        EXPECT_TRUE(cashfile::createEmpty(path));
        EXPECT_TRUE(cashfile::putPasswordBack(path));
        store.save("Startup", "Datenpfad", path);
        return path;
    }
    static void makeOld(const QString& path) {
        struct utimbuf t {
            time(nullptr) - 60, time(nullptr) - 60
        };
        utime(QFile::encodeName(path).constData(), &t);
    }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
};
} // namespace

TEST_F(Odd, LocksThatNameNoLiveProgramAreTakenOver) {
    const QString path = book();
    const QString lock = cashfile::FileLock::lockPathFor(path);
    // A power cut right after the lock was made, a lock of random bytes, an empty folder of
    // that name, and a lock of a process that is gone.
    const std::vector<std::function<void()>> leftovers{
        [&] { write(lock, {}); },
        [&] { write(lock, QByteArray("\x93\x01zz\xff\x00\x12", 7)); },
        [&] { QDir().mkdir(lock); },
        [&] { write(lock, "999999\ntillbook\n" + QSysInfo::machineHostName().toUtf8() + "\n"); },
    };
    for (size_t i = 0; i < leftovers.size(); ++i) {
        leftovers[i]();
        makeOld(lock);
        crashNoticed = false;
        auto s = open();
        ASSERT_NE(s, nullptr) << i << " " << dialogs.last().text.toStdString();
        EXPECT_TRUE(s->lastRunEndedAbnormally) << i;
        EXPECT_TRUE(crashNoticed) << i;
        EXPECT_TRUE(read(lock).startsWith(QByteArray::number(getpid()) + "\n")) << i;
        Startup::close(*s);
        EXPECT_FALSE(QFileInfo::exists(lock)) << i;
    }
    // A normal end leaves nothing to notice next time.
    crashNoticed = false;
    auto s = open();
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->lastRunEndedAbnormally);
    EXPECT_FALSE(crashNoticed);
    Startup::close(*s);
}

TEST_F(Odd, ALockThatCannotBeRemovedSaysSoAndHowToRemoveIt) {
    const QString path = book();
    const QString lock = cashfile::FileLock::lockPathFor(path);
    QDir().mkpath(lock + "/inhalt");
    EXPECT_EQ(open(), nullptr);
    const QString text = dialogs.last().text;
    EXPECT_TRUE(text.contains(lock)) << text.toStdString();
    EXPECT_TRUE(text.contains("kann aber nicht entfernt werden"));
    EXPECT_TRUE(text.contains("rm"));
    EXPECT_FALSE(text.contains("bereits geöffnet"));
    EXPECT_EQ(cashfile::probe(path), cashfile::State::Protected);
}

TEST_F(Odd, ALiveLockStillRefusesASecondRun) {
    const QString path = book();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        cashfile::FileLock held(path);
        held.tryLock();
        [[maybe_unused]] const ssize_t n = ::write(ready[1], "x", 1);
        sleep(30);
        _exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(dialogs.last().text.startsWith(
        QStringLiteral("Das Kassenbuch ist bereits geöffnet (PID %1").arg(pid)));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

TEST_F(Odd, ALinkedDataFileStaysALinkAndItsTargetIsWorkedOn) {
    QDir().mkpath(home.path() + "/anderePlatte");
    const QString target = home.path() + "/anderePlatte/Kasse.kas";
    ASSERT_TRUE(cashfile::createEmpty(target));
    ASSERT_TRUE(cashfile::putPasswordBack(target));
    const QString link = home.path() + "/Tillbook.kas";
    ASSERT_TRUE(QFile::link(target, link));
    store.save("Startup", "Datenpfad", link);
    auto s = open();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->dataPath, target);
    EXPECT_TRUE(QFileInfo::exists(cashfile::FileLock::lockPathFor(target)));
    s->db->exec("INSERT INTO Buchungen (n1, a10) VALUES ('drüben', '01.03.2024');");
    ASSERT_TRUE(Startup::close(*s));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(cashfile::probe(target), cashfile::State::Protected);
    auto db = Database::open(target, cashfile::builtInPassword());
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->scalar("SELECT n1 FROM Buchungen;"), "drüben");
}

TEST_F(Odd, OddDataPathsNameTheRealCauseAndCreateNothing) {
    const QString folder = home.path() + "/Ordner.kas";
    QDir().mkpath(folder);
    store.save("Startup", "Datenpfad", folder);
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(dialogs.last().text.contains("ist ein Ordner"))
        << dialogs.last().text.toStdString();
    EXPECT_FALSE(dialogs.last().text.contains("nicht gefunden"));

    // /dev/zero names /dev/zkas: no cash book is ever made under /dev.
    store.save("Startup", "Datenpfad", "/dev/zero");
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(open(), nullptr);
    EXPECT_FALSE(QFileInfo::exists("/dev/zkas"));
    EXPECT_TRUE(dialogs.last().text.contains("Systemordner")) << dialogs.last().text.toStdString();

    const QString dangling = home.path() + "/weg.kas";
    ASSERT_TRUE(QFile::link(home.path() + "/usb/Tillbook.kas", dangling));
    store.save("Startup", "Datenpfad", dangling);
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(dialogs.last().text.contains("Verknüpfung"));
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/usb"));

    // A path on a drive that is not connected: nothing is made where its folder would be.
    store.save("Startup", "Datenpfad", home.path() + "/usb/Kasse/Tillbook.kas");
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(open(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/usb"));
}

TEST_F(Odd, ADataPathThatIsNoValidFileNameIsNeitherCreatedNorRewritten) {
    const QString conf = home.path() + "/.config/Tillbook/Tillbook.conf";
    QDir().mkpath(QFileInfo(conf).path());
    const QByteArray raw = "[Startup]\nDatenpfad=" + home.path().toUtf8() + "/Kas\xe9.kas\n";
    write(conf, raw);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path() + "/.config");
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(dialogs.last().text.contains("kein gültiger Dateiname"))
        << dialogs.last().text.toStdString();
    EXPECT_EQ(read(conf), raw);
    EXPECT_EQ(QDir(home.path()).entryList({"Kas*"}).size(), 0);
}

TEST_F(Odd, WhatAnInterruptedRewriteLeftIsRemovedOnlyWhenTheFileOpens) {
    const QString path = book();
    for (const QString& f : cashfile::temporaryFilesOf(path))
        write(f, "halb");
    write(path + ".tmp-rekey.alt", "fremd"); // not ours: stays
    auto s = open();
    ASSERT_NE(s, nullptr);
    for (const QString& f : cashfile::temporaryFilesOf(path))
        EXPECT_FALSE(QFileInfo::exists(f)) << f.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path + ".tmp-rekey.alt"));
    Startup::close(*s);
}

TEST_F(Odd, ABrokenFileBesideACompleteRewriteIsNeverTheOnlyCopyLost) {
    const QString path = book();
    {
        auto db = Database::open(path, cashfile::builtInPassword());
        db->exec("INSERT INTO Buchungen (n1, a10) VALUES ('gerettet', '01.03.2024');");
    }
    const QByteArray whole = read(path);
    write(path, QByteArray(8192, '\x5a'));
    // A page-by-page rewrite cut short leaves no journal, only a file short of its end: it is
    // never offered as the book.
    write(path + ".tmp-rekey", whole.left(whole.size() - 1024));
    EXPECT_EQ(cashfile::completeRewriteOf(path), QString());
    EXPECT_EQ(open(), nullptr);
    EXPECT_FALSE(dialogs.last().text.contains("unterbrochenen"))
        << dialogs.last().text.toStdString();

    write(path + ".tmp-rekey", whole);
    dialogs.answers = {Answer::No};
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(QFileInfo::exists(path + ".tmp-rekey")); // declined: kept
    EXPECT_EQ(read(path), QByteArray(8192, '\x5a'));

    dialogs.answers = {Answer::Yes};
    auto s = open();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->db->scalar("SELECT n1 FROM Buchungen;"), "gerettet");
    EXPECT_EQ(read(path + ".beschaedigt"), QByteArray(8192, '\x5a'));
    Startup::close(*s);
}

TEST_F(Odd, AFullDiskAtTheEndSaysWhyAndTheNextStartStillOpens) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString disk = home.path() + "/klein";
    QDir().mkpath(disk);
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    // A new book is rewritten by the engine; one that had its password is rewritten page by
    // page.
    for (const bool keyedBefore : {false, true}) {
        SCOPED_TRACE(keyedBefore ? "keyed before" : "new book");
        const QString path = disk + "/Tillbook.kas";
        ASSERT_TRUE(cashfile::createEmpty(path));
        {
            auto db = Database::open(path, {});
            Transaction t(*db);
            for (int i = 0; i < 3000; ++i)
                db->exec(QStringLiteral("INSERT INTO Buchungen (n1, n2, a10) VALUES ('Text %1', "
                                        "'%2', '01.03.2024');")
                             .arg(i)
                             .arg(QString(120, 'x')));
            t.commit();
        }
        if (keyedBefore) {
            ASSERT_TRUE(cashfile::putPasswordBack(path));
        }
        store.save("Startup", "Datenpfad", path);
        auto s = open();
        ASSERT_NE(s, nullptr);
        // The rest of the disk fills up while Tillbook runs.
        QFile filler(disk + "/voll");
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(64 * 1024, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        const QString why = germanText(Startup::close(*s));
        EXPECT_FALSE(why.isEmpty());
        EXPECT_TRUE(why.startsWith("Der Datenträger ist voll.")) << why.toStdString();
        for (const QString& f : cashfile::temporaryFilesOf(path))
            EXPECT_FALSE(QFileInfo::exists(f)) << f.toStdString();
        QFile::remove(disk + "/voll");
        auto again = open();
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->db->scalar("SELECT count(*) FROM Buchungen;"), "3000");
        EXPECT_TRUE(Startup::close(*again));
        QFile::remove(path);
    }
    umount(QFile::encodeName(disk).constData());
}

// The permission cases run as an unprivileged user: root may read and write anything.
struct AsUser : ::testing::Test {
    test::UserFolder folder;
    QString docs = folder.path() + "/Dokumente";
    QString bookAt(const QString& path) {
        EXPECT_TRUE(cashfile::createEmpty(path));
        EXPECT_TRUE(cashfile::putPasswordBack(path));
        folder.own(path);
        QSettings conf(folder.path() + "/.config/Tillbook/Tillbook.conf", QSettings::IniFormat);
        conf.setValue("Startup/Datenpfad", path);
        conf.sync();
        for (const QString& p :
             {folder.path() + "/.config", folder.path() + "/.config/Tillbook", conf.fileName()})
            folder.own(p);
        return path;
    }
    test::ToolRun start(const QStringList& answers = {}) {
        return test::runTool(TB_TOOL, {"startup", docs}, folder.path(), answers);
    }
    void SetUp() override {
        if (!test::canTestPermissions())
            GTEST_SKIP() << "no way to run as an unprivileged user here";
    }
};

TEST_F(AsUser, AReadOnlyCashBookIsRefusedBeforeItIsTouched) {
    const QString path = bookAt(folder.path() + "/Tillbook.kas");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray before = f.readAll();
    f.close();
    test::ToolRun r = start();
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_FALSE(r.messages.isEmpty());
    EXPECT_TRUE(r.messages.last().contains("schreibgeschützt")) << r.messages.last().toStdString();
    EXPECT_TRUE(r.messages.last().contains("Schreibberechtigung für die Datei"));
    EXPECT_TRUE(r.messages.last().contains(path));
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), before);
    EXPECT_FALSE(QFileInfo::exists(cashfile::FileLock::lockPathFor(path)));
}

TEST_F(AsUser, AFolderThatMayNotBeWrittenAndAnUnreadableFileAreNamed) {
    QDir().mkpath(folder.path() + "/ro");
    folder.own(folder.path() + "/ro");
    const QString path = bookAt(folder.path() + "/ro/Tillbook.kas");
    QFile::setPermissions(folder.path() + "/ro", QFile::ReadOwner | QFile::ExeOwner);
    test::ToolRun r = start();
    ASSERT_FALSE(r.messages.isEmpty());
    EXPECT_TRUE(r.messages.last().contains("Schreibberechtigung für den Ordner"))
        << r.messages.last().toStdString();
    EXPECT_EQ(cashfile::probe(path), cashfile::State::Protected);
    QFile::setPermissions(folder.path() + "/ro",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QFile::setPermissions(path, QFile::WriteOwner);
    r = start();
    ASSERT_FALSE(r.messages.isEmpty());
    EXPECT_TRUE(r.messages.last().contains("Leseberechtigung")) << r.messages.last().toStdString();
    EXPECT_FALSE(r.messages.last().contains("kein Kassenbuch"));
}

TEST_F(AsUser, AStaleLockOfAnotherUserThatCannotBeRemoved) {
    // A shared folder where everybody may write but only the owner delete (sticky).
    const QString shared = folder.path() + "/gemeinsam";
    QDir().mkpath(shared);
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    const QString path = bookAt(shared + "/Tillbook.kas");
    const QString lock = cashfile::FileLock::lockPathFor(path);
    QFile l(lock);
    l.open(QIODevice::WriteOnly);
    l.write("999999\ntillbook\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    l.close();
    if (geteuid() != 0)
        GTEST_SKIP() << "needs a lock of another user";
    test::ToolRun r = start();
    ASSERT_FALSE(r.messages.isEmpty());
    const QString text = r.messages.last();
    EXPECT_TRUE(text.contains(lock)) << text.toStdString();
    EXPECT_TRUE(text.contains("kann aber nicht entfernt werden"));
    EXPECT_FALSE(text.contains("bereits geöffnet"));
    EXPECT_TRUE(QFileInfo::exists(lock));
}
