#include "backup.h"
#include "cash_file.h"
#include "child.h"
#include "data_paths.h"
#include "datensicherung.h"
#include "desktop_double.h"
#include "haupt.h"
#include "run.h"
#include "scripted_dialogs.h"
#include "temp_book.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>

using namespace tb;

namespace {
QByteArray bytesOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

struct Copies : ::testing::Test {
    test::TempHome home;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 6), QTime(18, 0))}; // a Wednesday
    QString data;
    QString folder;
    void SetUp() override {
        data = home.path() + "/Daten/Tillbook.kas";
        ASSERT_TRUE(cashfile::createEmpty(data));
        {
            auto db = Database::open(data, {});
            db->exec("INSERT INTO Buchungen (n1, a4, a10) VALUES ('Bareinnahme', '12,50', "
                     "'06.03.2024');");
        }
        folder = home.path() + "/Sicherung/";
        QDir().mkpath(folder);
        store.save("Startup", "Sicherung", folder + "Tillbook.kas");
    }
    Backup backup() { return Backup(store, dialogs, clock, data, data); }
    bool isWholeCopy(const QString& path) {
        return cashfile::verifyBook(path, cashfile::builtInPassword()).ok();
    }
};
} // namespace

TEST(BackupNames, WeekdayCopiesAndTheShownFolder) {
    const QString path = "/home/anna/Backup Tillbook/Tillbook.kas";
    EXPECT_EQ(backup::weekdayCopy(path, QDate(2024, 3, 3)),
              "/home/anna/Backup Tillbook/Tillbook.ka1"); // Sunday
    EXPECT_EQ(backup::weekdayCopy(path, QDate(2024, 3, 6)),
              "/home/anna/Backup Tillbook/Tillbook.ka4"); // Wednesday
    EXPECT_EQ(backup::weekdayCopy(path, QDate(2024, 3, 9)),
              "/home/anna/Backup Tillbook/Tillbook.ka7"); // Saturday
    EXPECT_EQ(backup::weekdayCopy("/media/usb/Kasse.kas", QDate(2024, 3, 5)),
              "/media/usb/Kasse.ka3");
    EXPECT_EQ(backup::shownFolder(path), "/home/anna/Backup Tillbook/");
    // Twelve characters go whatever the file is called.
    EXPECT_EQ(backup::shownFolder("/media/usb/Kasse.kas"), "/media/u");
    EXPECT_TRUE(backup::samePath("C:\\Daten\\Tillbook.kas", "c:\\daten\\TILLBOOK.KAS"));
    EXPECT_TRUE(backup::samePath("/home/anna/Tillbook.kas", "/home/anna/tillbook.KAS"));
    EXPECT_FALSE(backup::samePath("/home/anna/Tillbook.kas", "/home/anna/Sicherung.kas"));
}

TEST_F(Copies, TheSameFileUnderAnotherSpellingIsTheDataFile) {
    const QString link = home.path() + "/Verweis.kas";
    ASSERT_TRUE(QFile::link(data, link));
    EXPECT_TRUE(backup::samePath(data, link));
    EXPECT_TRUE(backup::samePath(data, home.path() + "/Daten//Tillbook.kas"));
    store.save("Startup", "Sicherung", home.path() + "/Daten/./Tillbook.kas");
    Backup b = backup();
    dialogs.answers = {Answer::Yes};
    EXPECT_EQ(b.manualBackup(), Backup::Outcome::Refused);
    EXPECT_EQ(dialogs.last().text, " Sicherungspfad identisch mit Programmpfad !  Bitte wählen Sie "
                                   "einen anderen Pfad als Sicherungspfad.");
    EXPECT_EQ(dialogs.last().title, "Fehler !");
}

TEST_F(Copies, TwelveCharactersAreNoPathThirteenAre) {
    store.save("Startup", "Sicherung", "Tillbook.kas");
    Backup b = backup();
    EXPECT_EQ(b.manualBackup(), Backup::Outcome::Refused);
    EXPECT_EQ(dialogs.messages[0].text,
              "Bitte geben Sie ein Laufwerksbuchstaben oder einen Netzwerkpfad vor");
    EXPECT_EQ(dialogs.messages[0].title, "Fehler");
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u); // then the chooser
    EXPECT_EQ(dialogs.fileDialogs[0].preset, "Tillbook.kas");

    dialogs.messages.clear();
    store.save("Startup", "Sicherung", "/Tillbook.kas");
    Backup c = backup();
    EXPECT_EQ(c.manualBackup(), Backup::Outcome::Declined); // past the rule: the question
    EXPECT_EQ(dialogs.last().text, "Daten jetzt im Pfad  /Tillbook.kas  sichern ?");
}

TEST_F(Copies, ThePathChooserStoresOnlyAConfirmedNewFolder) {
    Backup b = backup();
    const QString stored = folder + "Tillbook.kas";
    b.choosePath(); // cancelled
    // The chooser opens in the folder the copies go to now.
    EXPECT_EQ(dialogs.fileDialogs.back().preset, stored);
    EXPECT_EQ(dialogs.fileDialogs.back().title, "Sicherungspfad wählen");
    EXPECT_EQ(dialogs.last().text, "Kein Pfad gewählt, Sicherungspfad wurde nicht geändert!");
    EXPECT_EQ(dialogs.last().icon, Icon::Critical);
    EXPECT_EQ(b.field(), stored);
    const size_t before = dialogs.messages.size();
    dialogs.files = {folder + "anders.kas"}; // the same folder again: nothing happens
    b.choosePath();
    EXPECT_EQ(dialogs.messages.size(), before);
    dialogs.files = {"/media/usb/Kasse/x.kas"};
    dialogs.answers = {Answer::No};
    b.choosePath();
    EXPECT_EQ(dialogs.last().text, "Sicherungspfad wurde geändert - Pfad speichern ?");
    EXPECT_EQ(dialogs.last().title, "Achtung !");
    EXPECT_EQ(b.field(), stored);
    dialogs.files = {"/media/usb/Kasse/x.kas"};
    dialogs.answers = {Answer::Yes};
    b.choosePath();
    EXPECT_EQ(b.field(), "/media/usb/Kasse/Tillbook.kas");
    EXPECT_EQ(store.get("Startup", "Sicherung", {}), "/media/usb/Kasse/Tillbook.kas");
    b.choosePath();
    EXPECT_EQ(dialogs.fileDialogs.back().preset, "/media/usb/Kasse/Tillbook.kas");
}

TEST_F(Copies, ManualCopyProtectsAnOpenFileAndKeepsAProtectedOne) {
    ASSERT_EQ(cashfile::probe(data), cashfile::State::Plain);
    Backup b = backup();
    dialogs.answers = {Answer::Yes};
    ASSERT_EQ(b.manualBackup(), Backup::Outcome::Done);
    EXPECT_EQ(dialogs.last().text, "Datensicherung nach " + folder + "Tillbook.kas erfolgt !");
    EXPECT_EQ(dialogs.last().title, "Tillbook - Daten gesichert");
    EXPECT_EQ(cashfile::probe(data), cashfile::State::Protected);
    EXPECT_EQ(bytesOf(folder + "Tillbook.kas"), bytesOf(data)); // a byte copy
    EXPECT_TRUE(isWholeCopy(folder + "Tillbook.kas"));
    const QByteArray protectedBytes = bytesOf(data);
    dialogs.answers = {Answer::Yes};
    ASSERT_EQ(backup().manualBackup(), Backup::Outcome::Done);
    EXPECT_EQ(bytesOf(data), protectedBytes); // it had the password: untouched
    EXPECT_FALSE(QFileInfo::exists(folder + "Tillbook.kas.tmp-copy"));
}

TEST_F(Copies, AutomaticCopyOfTheWeekdayWithItsMessage) {
    Backup b = backup();
    ASSERT_EQ(b.endOfRun(), Backup::Outcome::Done);
    EXPECT_EQ(dialogs.last().text,
              "automatische Datensicherung nach " + folder + "Tillbook.ka4 erfolgt !");
    EXPECT_EQ(dialogs.last().title, "Logis 5.0 - Daten gesichert");
    EXPECT_TRUE(isWholeCopy(folder + "Tillbook.ka4"));
    EXPECT_FALSE(QFileInfo::exists(folder + "Tillbook.kas")); // the manual copy is not touched
    clock.set(QDateTime(QDate(2024, 3, 10), QTime(9, 0)));
    backup().endOfRun();
    EXPECT_TRUE(isWholeCopy(folder + "Tillbook.ka1"));
}

TEST_F(Copies, AnUnavailableFolderIsNeverCreatedAndTheDataFileStaysAsItWas) {
    const QByteArray before = bytesOf(data);
    store.save("Startup", "Sicherung", home.path() + "/usb/Backup/Tillbook.kas");
    Backup b = backup();
    EXPECT_EQ(b.automaticBackup(), Backup::Outcome::Failed);
    EXPECT_EQ(dialogs.last().text, "Die automatische Datensicherung konnte nicht durchgeführt "
                                   "werden. \n\nDer Sicherungspfad ''" +
                                       home.path() + "/usb/Backup/'' ist nicht verfügbar.");
    EXPECT_TRUE(dialogs.last().title.startsWith("Fehler-Nr. 2 "))
        << dialogs.last().title.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/usb"));
    EXPECT_EQ(bytesOf(data), before);
    // At the end of the run the password still goes back on.
    backup().endOfRun();
    EXPECT_EQ(cashfile::probe(data), cashfile::State::Protected);
}

TEST_F(Copies, ACopyThatFailsItsCheckIsRemovedAndTheOldOneStays) {
    Backup b = backup();
    ASSERT_EQ(b.automaticBackup(), Backup::Outcome::Done);
    const QString copy = folder + "Tillbook.ka4";
    const QByteArray good = bytesOf(copy);
    // Another program holds the data file: the copy cannot take the lock.
    cashfile::FileLock other(data);
    ASSERT_TRUE(other.tryLock());
    EXPECT_EQ(backup().automaticBackup(), Backup::Outcome::Failed);
    EXPECT_TRUE(dialogs.last().text.startsWith("Datei kann nicht gesichert werden !\nbitte die "
                                               "Ursache beheben.\n\nFehler 16 "));
    other.unlock();
    EXPECT_EQ(bytesOf(copy), good);
    // A copy whose check fails is removed, the old copy stays.
    const Result r = FileCopy(
        data, copy, [](const QString& tmp) { return cashfile::verifyBook(tmp, "falsch"); });
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(bytesOf(copy), good);
    EXPECT_FALSE(QFileInfo::exists(copyTempOf(copy)));
    // A copy short of its last page opens but is no whole cash book.
    EXPECT_TRUE(cashfile::checkOpens(copy, cashfile::builtInPassword()).ok());
    const QString cut = folder + "Kurz.kas";
    QFile f(cut);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(good.left(good.size() - 1024));
    f.close();
    const Result shortCopy = cashfile::checkOpens(cut, cashfile::builtInPassword());
    EXPECT_FALSE(shortCopy.ok());
    EXPECT_TRUE(germanText(shortCopy).startsWith("Die Kopie ist nicht in Ordnung: "));
}

TEST_F(Copies, AFullDiskAsksOkRepeatsAndTheLastGoodCopyStaysIntact) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString disk = home.path() + "/stick";
    QDir().mkpath(disk);
    if (mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=300k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    store.save("Startup", "Sicherung", disk + "/Tillbook.kas");
    ASSERT_EQ(backup().automaticBackup(), Backup::Outcome::Done);
    const QString copy = disk + "/Tillbook.ka4";
    const QByteArray lastWeek = bytesOf(copy);
    {
        auto db = Database::open(data, cashfile::builtInPassword());
        Transaction t(*db);
        for (int i = 0; i < 2000; ++i)
            db->exec(QStringLiteral("INSERT INTO Buchungen (n1, n2, a10) VALUES ('T%1', '%2', "
                                    "'06.03.2024');")
                         .arg(i)
                         .arg(QString(100, 'x')));
        t.commit();
    }
    ASSERT_GT(QFileInfo(data).size(), 300 * 1024);
    // The copy itself fills the stick: OK repeats, Abbrechen gives up.
    dialogs.answers = {Answer::Ok, Answer::Cancel};
    Backup b = backup();
    EXPECT_EQ(b.copyTo(copy, false), Backup::Outcome::Failed);
    int asked = 0;
    for (const auto& m : dialogs.messages)
        if (m.text == "Datenträger voll - bitte wechseln und dann auf ''OK'' oder abbrechen") {
            ++asked;
            EXPECT_EQ(m.title, "Achtung !");
            EXPECT_EQ(m.buttons, Buttons::OkCancel);
        }
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(bytesOf(copy), lastWeek);
    EXPECT_FALSE(QFileInfo::exists(copyTempOf(copy)));
    umount(QFile::encodeName(disk).constData());
}

TEST_F(Copies, AKilledCopyNeverLeavesABrokenFileUnderACopysName) {
    {
        auto db = Database::open(data, {});
        Transaction t(*db);
        for (int i = 0; i < 20000; ++i)
            db->exec(QStringLiteral("INSERT INTO Buchungen (n1, a4, a10) VALUES ('T%1', '1,00', "
                                    "'06.03.2024');")
                         .arg(i));
        t.commit();
    }
    ASSERT_EQ(backup().automaticBackup(), Backup::Outcome::Done);
    const QString copy = folder + "Tillbook.ka4";
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int round = 0; round < 30; ++round) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (;;)
                FileCopy(data, copy, [](const QString& tmp) {
                    return cashfile::checkOpens(tmp, cashfile::builtInPassword());
                });
        }
        usleep(std::uniform_int_distribution<int>(2000, 60000)(random));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        ASSERT_TRUE(isWholeCopy(copy)) << "round " << round;
        QFile::remove(copyTempOf(copy));
    }
}

TEST(BackupAsUser, AReadOnlyBackupFolderIsAccessDenied) {
    if (!test::canTestPermissions())
        GTEST_SKIP() << "no way to run as an unprivileged user here";
    test::UserFolder user;
    const QString data = user.path() + "/Tillbook.kas";
    ASSERT_TRUE(cashfile::createEmpty(data));
    user.own(data);
    const QString folder = user.path() + "/Sicherung";
    QDir().mkpath(folder);
    user.own(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const test::ToolRun r =
        test::runTool(TB_TOOL, {"backup", data, folder + "/Tillbook.kas"}, user.path());
    ASSERT_FALSE(r.messages.isEmpty());
    EXPECT_EQ(r.messages.last(), "Achtung !\tBitte brechen Sie ab, und starten Sie dieses Programm "
                                 "erneut, dann Datensicherung anklicken !");
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

TEST_F(Copies, RestoreHandOffAsksThePasswordUnlessTheProtectionIsOff) {
    Backup b = backup();
    int started = 0;
    b.startRestorix = [&] {
        ++started;
        return true;
    };
    EXPECT_TRUE(b.restoreHandOff("Hutwart"));
    EXPECT_EQ(dialogs.passwordPrompts, 0);
    EXPECT_FALSE(b.restoreHandOff("geheim")); // prompt cancelled: nothing
    EXPECT_EQ(dialogs.passwordPrompts, 1);
    dialogs.typedPasswords = {"geheim"};
    EXPECT_TRUE(b.restoreHandOff("geheim"));
    EXPECT_EQ(started, 2);
}

TEST_F(Copies, BackupWindowStatusLineAndItsFourSecondReset) {
    ManualScheduler scheduler;
    Backup b = backup();
    Datensicherung w(b, scheduler, "Hutwart");
    w.show();
    EXPECT_EQ(w.windowTitle(), "Datensicherung");
    EXPECT_EQ(w.dataPathLabel()->text(), data);
    EXPECT_EQ(w.backupPathField()->text(), folder + "Tillbook.kas");
    EXPECT_EQ(w.statusLine()->text(), "System bereit ...");
    EXPECT_FALSE(w.backupPathField()->hasFocus());
    cashfile::FileLock other(data);
    ASSERT_TRUE(other.tryLock());
    dialogs.answers = {Answer::Yes};
    w.backUp(); // fails: the status tells what was tried, then resets after 4 s
    EXPECT_EQ(w.statusLine()->text(),
              "Datensicherung: kopiere Tillbook.kas nach  " + folder + "Tillbook.kas");
    scheduler.advance(3999);
    EXPECT_NE(w.statusLine()->text(), "System bereit ...");
    scheduler.advance(1);
    EXPECT_EQ(w.statusLine()->text(), "System bereit ...");
    EXPECT_EQ(w.result(), Datensicherung::Result::End);
}

namespace {
// A whole run: start-up, main window, the way out.
struct Run : ::testing::Test {
    test::TempHome home;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    FixedClock clock{QDateTime(QDate(2024, 3, 6), QTime(18, 0))};
    ManualScheduler scheduler;
    test::RecordingDesktop offline;
    QString docs = home.path() + "/Dokumente";
    QString data = paths::tillbookDefaultDataPath(docs);
    QString weekday = paths::defaultBackupFolder() + "Tillbook.ka4";
    void SetUp() override {
        ASSERT_TRUE(cashfile::createEmpty(data));
        ASSERT_TRUE(cashfile::putPasswordBack(data));
    }
};
} // namespace

TEST_F(Run, LeavingThroughTheBackupWindowMakesNoCopyComingBackMakesOne) {
    TillbookRun run(dialogs, store, clock, scheduler, offline, docs);
    int mainWindows = 0;
    QObject::connect(&run, &TillbookRun::mainWindowShown, [&](Haupt& w) {
        ++mainWindows;
        QTimer::singleShot(0, &w, [&w, mainWindows] {
            if (mainWindows == 1)
                w.openBackupWindow();
            else
                w.close();
        });
    });
    int backupWindows = 0;
    QObject::connect(&run, &TillbookRun::backupWindowOpening, [&](Datensicherung& d) {
        ++backupWindows;
        EXPECT_EQ(cashfile::probe(data), cashfile::State::Protected); // released, protected
        EXPECT_FALSE(QFileInfo::exists(cashfile::FileLock::lockPathFor(data)));
        QTimer::singleShot(0, &d, [&d] { d.back(); });
    });
    EXPECT_EQ(run.exec(), 0);
    EXPECT_EQ(mainWindows, 2);
    EXPECT_EQ(backupWindows, 1);
    EXPECT_TRUE(cashfile::verifyBook(weekday, cashfile::builtInPassword()).ok());
    EXPECT_EQ(dialogs.last().text, "automatische Datensicherung nach " + weekday + " erfolgt !");
    EXPECT_EQ(cashfile::probe(data), cashfile::State::Protected);

    QFile::remove(weekday);
    TillbookRun again(dialogs, store, clock, scheduler, offline, docs);
    QObject::connect(&again, &TillbookRun::mainWindowShown,
                     [](Haupt& w) { QTimer::singleShot(0, &w, [&w] { w.openBackupWindow(); }); });
    QObject::connect(&again, &TillbookRun::backupWindowOpening, [](Datensicherung& d) {
        QTimer::singleShot(0, &d, [&d] { d.quitButton()->click(); });
    });
    EXPECT_EQ(again.exec(), 0);
    EXPECT_FALSE(QFileInfo::exists(weekday)); // "&Programm beenden": no copy
    EXPECT_EQ(cashfile::probe(data), cashfile::State::Protected);
    EXPECT_FALSE(QFileInfo::exists(cashfile::FileLock::lockPathFor(data)));
}

TEST_F(Run, AnEndBySignalMakesTheCopyWithoutADialog) {
    TillbookRun run(dialogs, store, clock, scheduler, offline, docs);
    QObject::connect(&run, &TillbookRun::mainWindowShown, [&](Haupt& w) {
        QTimer::singleShot(0, &w, [&w, &run] {
            run.endedBySignal = true;
            w.close();
        });
    });
    const size_t before = dialogs.messages.size();
    EXPECT_EQ(run.exec(), 0);
    EXPECT_EQ(dialogs.messages.size(), before);
    EXPECT_TRUE(cashfile::verifyBook(weekday, cashfile::builtInPassword()).ok());
}

TEST_F(Run, AfterACrashTheOperatorIsToldOnceAndOfferedACopy) {
    QFile lock(cashfile::FileLock::lockPathFor(data));
    lock.open(QIODevice::WriteOnly);
    lock.write("999999\ntillbook\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    dialogs.answers = {Answer::Yes};
    TillbookRun run(dialogs, store, clock, scheduler, offline, docs);
    QObject::connect(&run, &TillbookRun::mainWindowShown, [&](Haupt& w) {
        // The copy was written before the run began.
        EXPECT_TRUE(cashfile::verifyBook(weekday, cashfile::builtInPassword()).ok());
        QFile::remove(weekday);
        QTimer::singleShot(0, &w, [&w] { w.close(); });
    });
    EXPECT_EQ(run.exec(), 0);
    ASSERT_GE(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(
        "Tillbook wurde beim letzten Mal nicht ordnungsgemäß beendet."));
    int told = 0;
    for (const auto& m : dialogs.messages)
        told += m.text.contains("nicht ordnungsgemäß") ? 1 : 0;
    EXPECT_EQ(told, 1);
}
