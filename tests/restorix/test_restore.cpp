#include "cash_file.h"
#include "compaction.h"
#include "data_paths.h"
#include "form1.h"
#include "restore.h"
#include "scripted_dialogs.h"
#include "startup.h"
#include "temp_book.h"
#include "work_marker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tb;

namespace {
QByteArray bytesOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A protected cash book with `lines` bookings named after `tag`.
void makeBook(const QString& path, int lines, const QString& tag) {
    QFile::remove(path);
    ASSERT_TRUE(cashfile::createEmpty(path));
    {
        auto db = Database::open(path, {});
        Transaction t(*db);
        for (int i = 0; i < lines; ++i)
            db->exec(QStringLiteral("INSERT INTO Buchungen (n1, a4, a10) VALUES ('%1 %2', "
                                    "'1,00', '01.03.2024');")
                         .arg(tag)
                         .arg(i));
        t.commit();
    }
    ASSERT_TRUE(cashfile::putPasswordBack(path));
}

QString firstText(const QString& path) {
    auto db = Database::open(path, cashfile::builtInPassword());
    return db ? db->scalar("SELECT n1 FROM Buchungen ORDER BY ID LIMIT 1;") : QString();
}

void setModified(const QString& path, const QDateTime& t) {
    QFile f(path);
    f.open(QIODevice::ReadWrite);
    f.setFileTime(t, QFileDevice::FileModificationTime);
}

struct Recovery : ::testing::Test {
    test::TempHome home;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    QString docs = home.path() + "/Dokumente";
    QString program = home.path() + "/programm";
    QString data = docs + "/Tillbook - Daten/Tillbook.kas";
    QString folder = home.path() + "/Backup Tillbook/";
    void SetUp() override {
        QDir().mkpath(program);
        QDir().mkpath(folder);
        QDir().mkpath(docs + "/Tillbook - Daten");
        makeBook(data, 3, "heute");
    }
    Restore restore() { return Restore(store, dialogs, docs, program); }
};
} // namespace

TEST_F(Recovery, CopiesAreListedOldestDayFirstWithTheirLabel) {
    makeBook(folder + "Tillbook.kas", 1, "manuell");
    makeBook(folder + "Tillbook.ka2", 1, "montag");
    makeBook(folder + "Tillbook.ka5", 1, "donnerstag");
    QFile::copy(folder + "Tillbook.ka2", folder + "Tillbook.txt");
    setModified(folder + "Tillbook.kas", QDateTime(QDate(2024, 3, 7), QTime(18, 5, 9)));
    setModified(folder + "Tillbook.ka2", QDateTime(QDate(2024, 3, 4), QTime(19, 0, 0)));
    setModified(folder + "Tillbook.ka5", QDateTime(QDate(2024, 2, 29), QTime(8, 30, 0)));
    const QList<BackupEntry> list = restore().list();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].fileName, "Tillbook.ka5");
    EXPECT_EQ(list[1].fileName, "Tillbook.ka2");
    EXPECT_EQ(list[2].fileName, "Tillbook.kas");
    EXPECT_EQ(list[0].text, "20240229         Tillbook.ka5    Tillbook - Datensicherung vom  "
                            "29.02.2024 08:30:00");
    EXPECT_EQ(list[0].visible(),
              "Tillbook.ka5    Tillbook - Datensicherung vom  29.02.2024 08:30:00");

    // In the window the key is out of sight, the font fixed-pitch, the button off until chosen.
    ManualScheduler scheduler;
    Restore r = restore();
    Form1 w(r, dialogs, scheduler);
    EXPECT_EQ(w.windowTitle(), "Tillbook - Restorix");
    EXPECT_EQ(w.folderLabel()->text(), folder);
    ASSERT_EQ(w.list()->count(), 3);
    EXPECT_EQ(w.list()->item(2)->text(),
              "Tillbook.kas    Tillbook - Datensicherung vom  07.03.2024 18:05:09");
    EXPECT_TRUE(QFontInfo(w.list()->font()).fixedPitch());
    EXPECT_FALSE(w.restoreButton()->isEnabled());
    w.list()->setCurrentRow(1);
    EXPECT_TRUE(w.restoreButton()->isEnabled());
}

TEST_F(Recovery, RestoringACopyAsksWithItsDateKeepsTheOldFileAndCloses) {
    makeBook(folder + "Tillbook.ka5", 7, "sicherung");
    setModified(folder + "Tillbook.ka5", QDateTime(QDate(2024, 2, 29), QTime(8, 30, 0)));
    ManualScheduler scheduler;
    Restore r = restore();
    Form1 w(r, dialogs, scheduler);
    w.show();
    w.list()->setCurrentRow(0);
    dialogs.answers = {Answer::No};
    w.restoreChosen();
    EXPECT_EQ(dialogs.last().text, "Möchten Sie die Daten aus der Sicherheitkopie mit dem "
                                   "Datenstand vom 29.02.2024 08:30:00 jetzt wieder herstellen ");
    EXPECT_EQ(dialogs.last().title, "Wiederherstellen");
    EXPECT_EQ(firstText(data), "heute 0");
    dialogs.answers = {Answer::Yes};
    w.restoreChosen();
    EXPECT_EQ(firstText(data), "sicherung 0");
    EXPECT_EQ(bytesOf(data), bytesOf(folder + "Tillbook.ka5"));
    EXPECT_EQ(firstText(Restore::keptCopyOf(data)), "heute 0");
    EXPECT_TRUE(dialogs.last().text.startsWith(
        "Daten wurden aus der Sicherheitskopie wieder hergestellt. Sie können jetzt Tillbook "
        "starten. \n"));
    EXPECT_TRUE(dialogs.last().text.contains(Restore::keptCopyOf(data)));
    EXPECT_EQ(dialogs.last().title, "Daten hergestellt");
    EXPECT_TRUE(w.isVisible());
    scheduler.advance(500);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Recovery, NamesAndPathsOfARestore) {
    Restore r = restore();
    BackupEntry e = Restore::entryFor("Tillbook.kab", QDateTime::currentDateTime());
    EXPECT_EQ(r.sourceFor(e), folder + "Tillbook.kas");
    e.fileName = "Tillbook.ka3";
    EXPECT_EQ(r.sourceFor(e), folder + "Tillbook.ka3");
    EXPECT_EQ(r.destination(), data);
    // A data path of 12 characters lies in the program folder.
    store.save("Startup", "Datenpfad", "Tillbook.kas");
    r.readPaths();
    EXPECT_EQ(r.destination(), program + "/Tillbook.kas");
    makeBook(folder + "Tillbook.ka3", 2, "nach programm");
    dialogs.answers = {Answer::Yes};
    ASSERT_EQ(r.restore(&e), Restore::Outcome::Restored);
    EXPECT_EQ(firstText(program + "/Tillbook.kas"), "nach programm 0");

    // After the reset the default path is used again, and the key is gone.
    dialogs.answers = {Answer::Yes};
    ASSERT_TRUE(r.resetDataPath());
    EXPECT_EQ(dialogs.last().text, "Der Datenpfad wird hiermit zurückgesetzt. Die "
                                   "Kassenbuch-Daten werden danach aus ''" +
                                       docs + "/Tillbook - Daten/Tillbook.kas");
    EXPECT_EQ(store.get("Startup", "Datenpfad", "-"), "-");
    dialogs.answers = {Answer::Yes};
    ASSERT_EQ(r.restore(&e), Restore::Outcome::Restored);
    EXPECT_EQ(firstText(data), "nach programm 0");
}

TEST_F(Recovery, ChangedFolderIsListedUntilTheEnd) {
    const QString other = home.path() + "/usb/";
    QDir().mkpath(other);
    makeBook(other + "Tillbook.ka1", 1, "usb");
    Restore r = restore();
    r.changeFolder(); // cancelled: stays
    EXPECT_EQ(r.listedFolder(), folder);
    dialogs.files = {other + "Tillbook.ka1"};
    r.changeFolder();
    EXPECT_EQ(r.listedFolder(), other);
    ASSERT_EQ(r.list().size(), 1);
    EXPECT_EQ(store.get("Startup", "Sicherung", "-"), "-"); // nothing stored
}

TEST_F(Recovery, WhatIsNoWholeCashBookNeverGoesOverTheDataFile) {
    const QByteArray before = bytesOf(data);
    QFile foreign(folder + "Tillbook.ka3");
    foreign.open(QIODevice::WriteOnly);
    foreign.write(QByteArray(4096, 'q'));
    foreign.close();
    Restore r = restore();
    const QList<BackupEntry> list = r.list();
    ASSERT_EQ(list.size(), 1); // listed
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(r.restore(&list[0]), Restore::Outcome::Failed);
    EXPECT_TRUE(dialogs.last().text.startsWith(
        "Die Sicherheitskopie\n" + folder +
        "Tillbook.ka3\nist beschädigt oder kein Kassenbuch und wird nicht zurückgeschrieben. Das "
        "Kassenbuch bleibt unverändert.\n\n"));
    EXPECT_EQ(dialogs.last().title, "Fehler");
    EXPECT_EQ(bytesOf(data), before);
    EXPECT_FALSE(QFileInfo::exists(Restore::keptCopyOf(data)));
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(r.restore(nullptr), Restore::Outcome::NothingChosen);
    EXPECT_EQ(dialogs.last().text, "Bitte wählen Sie eine Datei");
}

TEST_F(Recovery, RestoreAndCompactionRefuseWhileTillbookRuns) {
    makeBook(folder + "Tillbook.ka4", 2, "alt");
    const QByteArray before = bytesOf(data);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        cashfile::FileLock held(data);
        held.tryLock();
        [[maybe_unused]] const ssize_t n = ::write(ready[1], "x", 1);
        sleep(30);
        _exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    Restore r = restore();
    const QList<BackupEntry> list = r.list();
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(r.restore(&list[0]), Restore::Outcome::Failed);
    EXPECT_TRUE(dialogs.last().text.contains("Fehlernummer 16 - "))
        << dialogs.last().text.toStdString();
    Compaction compaction(dialogs);
    EXPECT_EQ(compaction.run(data), Compaction::Outcome::Failed);
    EXPECT_EQ(bytesOf(data), before);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

TEST_F(Recovery, CompactionShrinksKeepsThePasswordAndStopsAtAStaleTemp) {
    makeBook(data, 4000, "Zeile");
    {
        auto db = Database::open(data, cashfile::builtInPassword());
        db->exec("DELETE FROM Buchungen WHERE ID > 10;");
    }
    const qint64 before = QFileInfo(data).size();
    Compaction compaction(dialogs);
    ASSERT_EQ(compaction.run(data), Compaction::Outcome::Done);
    const qint64 after = QFileInfo(data).size();
    EXPECT_LT(after, before / 4);
    EXPECT_EQ(dialogs.last().text,
              "Dateigröße: " + QString::number(after) +
                  " repariert und komprimiert. Bitte starten Sie Tillbook neu.");
    EXPECT_EQ(dialogs.last().title, "Merowa");
    EXPECT_EQ(cashfile::probe(data), cashfile::State::Protected);
    EXPECT_TRUE(cashfile::verifyBook(data, cashfile::builtInPassword()).ok());
    EXPECT_EQ(firstText(data), "Zeile 0");

    QFile stale(Compaction::tempOf(data));
    stale.open(QIODevice::WriteOnly);
    stale.write("halb");
    stale.close();
    const QByteArray bytes = bytesOf(data);
    EXPECT_EQ(compaction.run(data), Compaction::Outcome::Failed);
    EXPECT_TRUE(dialogs.last().text.contains(Compaction::tempOf(data)));
    EXPECT_EQ(bytesOf(data), bytes);
    EXPECT_EQ(bytesOf(Compaction::tempOf(data)), "halb");
}

TEST_F(Recovery, TheCompactionWindowCompactsWhatIsTyped) {
    const QString typed = home.path() + "/Anders.kas";
    makeBook(typed, 5, "anders");
    compactrep w(dialogs, data);
    EXPECT_EQ(w.windowTitle(), "Merowa");
    EXPECT_EQ(w.txtDatabase()->text(), data);
    w.txtDatabase()->setText(typed);
    const QByteArray dataBytes = bytesOf(data);
    w.cmdCompact()->click();
    EXPECT_TRUE(w.ran());
    EXPECT_TRUE(dialogs.last().text.startsWith("Dateigröße: "));
    EXPECT_EQ(bytesOf(data), dataBytes);
    EXPECT_EQ(firstText(typed), "anders 0");
}

TEST_F(Recovery, NothingIsChosenUntilTheOperatorPicksACopy) {
    makeBook(folder + "Tillbook.ka1", 1, "eins");
    makeBook(folder + "Tillbook.ka2", 1, "zwei");
    ManualScheduler scheduler;
    Restore r = restore();
    Form1 w(r, dialogs, scheduler);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.list()->setFocus(Qt::ActiveWindowFocusReason);
    // Focus alone makes no entry current, so Enter offers nothing.
    EXPECT_EQ(w.list()->currentRow(), -1);
    EXPECT_FALSE(w.restoreButton()->isEnabled());
    QTest::keyClick(w.list(), Qt::Key_Return);
    EXPECT_TRUE(dialogs.messages.empty());
    QTest::keyClick(w.list(), Qt::Key_Down);
    EXPECT_EQ(w.list()->currentRow(), 0);
    EXPECT_TRUE(w.restoreButton()->isEnabled());
}

TEST_F(Recovery, ADamagedCopyIsRefusedInAFewGermanLines) {
    // A copy with a zeroed page: the engine's check reports a line for every broken link.
    makeBook(folder + "Tillbook.ka6", 3000, "kaputt");
    {
        QFile f(folder + "Tillbook.ka6");
        f.open(QIODevice::ReadWrite);
        f.seek(f.size() / 2 / 1024 * 1024);
        f.write(QByteArray(1024, '\0'));
    }
    const QByteArray before = bytesOf(data);
    Restore r = restore();
    const QList<BackupEntry> list = r.list();
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(r.restore(&list[0]), Restore::Outcome::Failed);
    const QString text = dialogs.last().text;
    EXPECT_TRUE(text.startsWith("Die Sicherheitskopie\n" + folder +
                                "Tillbook.ka6\nist beschädigt oder kein Kassenbuch"));
    EXPECT_LE(text.count('\n'), 10) << text.toStdString();
    EXPECT_LE(text.size(), 1500);
    EXPECT_EQ(bytesOf(data), before);
    EXPECT_EQ(Restore::shortened("1\n2\n3\n4\n5\n6"), "1\n2\n3\n4\n… (2 weitere Zeilen)");
}

TEST_F(Recovery, ARestoreOntoANewComputerMakesTheDataFolder) {
    makeBook(folder + "Tillbook.ka5", 4, "neu");
    QDir(docs + "/Tillbook - Daten").removeRecursively();
    Restore r = restore();
    const QList<BackupEntry> list = r.list();
    struct Steps : Progress {
        QStringList texts;
        void begin(const QString& text, qint64) override { texts << text; }
    } steps;
    r.runner = [&](const QString& title, const LongWork<RestoreResult>& work) {
        EXPECT_EQ(title, "Wiederherstellen");
        return work(steps);
    };
    dialogs.answers = {Answer::Yes};
    ASSERT_EQ(r.restore(&list[0]), Restore::Outcome::Restored) << dialogs.last().text.toStdString();
    EXPECT_EQ(firstText(data), "neu 0");
    EXPECT_EQ(dialogs.last().text,
              "Daten wurden aus der Sicherheitskopie wieder hergestellt. Sie können jetzt "
              "Tillbook starten. \nDer Ordner des Kassenbuchs\n" +
                  docs + "/Tillbook - Daten/\nwar nicht vorhanden und wurde angelegt.");
    EXPECT_EQ(steps.texts, QStringList({"Die Sicherheitskopie wird geprüft …",
                                        "Die Sicherheitskopie wird zurückgeschrieben …",
                                        "Die zurückgeschriebene Datei wird geprüft …"}));

    // Where no folder may be made, that is what the message says.
    store.save("Startup", "Datenpfad", "/proc/tillbook/Tillbook.kas");
    r.readPaths();
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(r.restore(&list[0]), Restore::Outcome::Failed);
    EXPECT_TRUE(dialogs.last().text.startsWith("Der Ordner des Kassenbuchs\n/proc/tillbook/\nist "
                                               "nicht vorhanden und kann nicht angelegt werden: "))
        << dialogs.last().text.toStdString();
}

TEST_F(Recovery, TheNextStartSaysWhatBecameOfAnInterruptedRestore) {
    makeBook(folder + "Tillbook.ka3", 2, "kopie");
    // Restorix killed in the middle of a restore: before the checked copy took the data
    // file's name, or just after. A kill cleans nothing up.
    auto killedDuring = [&](bool renamed) {
        const pid_t pid = fork();
        if (pid == 0) {
            cashfile::FileLock lock(data);
            lock.tryLock();
            cashfile::WorkMarker marker(data, cashfile::WorkMarker::Work::Restore);
            if (renamed) {
                const QString tmp = data + ".tmp-copy";
                QFile::copy(folder + "Tillbook.ka3", tmp);
                marker.replacing(tmp);
                ::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(data).constData());
            }
            _exit(0);
        }
        waitpid(pid, nullptr, 0);
    };
    auto start = [&] {
        dialogs.messages.clear();
        auto session = Startup(store, dialogs, docs).open();
        ASSERT_TRUE(session);
        EXPECT_FALSE(session->lastRunEndedAbnormally); // Tillbook itself had ended properly
        Startup::close(*session);
        EXPECT_FALSE(QFileInfo::exists(cashfile::WorkMarker::pathFor(data)));
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.last().title, "Tillbook");
    };
    killedDuring(false);
    start();
    EXPECT_EQ(dialogs.last().text,
              "Die Wiederherstellung aus einer Sicherheitskopie wurde unterbrochen: Restorix wurde "
              "beendet, bevor die Kopie zurückgeschrieben war.\n\nDie Wiederherstellung hat nicht "
              "stattgefunden. Das Kassenbuch\n" +
                  data +
                  "\nist die Datei von vor der Wiederherstellung, unverändert. Um die "
                  "Sicherheitskopie zurückzuschreiben, wiederholen Sie die Wiederherstellung mit "
                  "Restorix.");
    EXPECT_EQ(firstText(data), "heute 0");
    killedDuring(true);
    start();
    EXPECT_TRUE(dialogs.last().text.startsWith(
        "Restorix wurde während der Wiederherstellung beendet, nachdem die Sicherheitskopie "
        "vollständig zurückgeschrieben war.\n\nDas Kassenbuch\n" +
        data + "\nist die wiederhergestellte Datei."));
    EXPECT_EQ(firstText(data), "kopie 0");
}
