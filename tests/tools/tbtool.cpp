// A child process for the tests that need one: a run as another user (permissions), or an
// operation that is killed at a random moment. Every message it would show is printed as one
// line "MSG<TAB>title<TAB>text" (line breaks as \n); questions are answered from TB_ANSWERS
// ("yes,no,..."), No when it runs out.
#include "advisor_batch.h"
#include "auditor_export.h"
#include "backup.h"
#include "cash_file.h"
#include "change_log.h"
#include "compaction.h"
#include "dialogs.h"
#include "renumbering.h"
#include "restore.h"
#include "running_balance.h"
#include "settings_store.h"
#include "startup.h"

#include <QCoreApplication>
#include <QDate>
#include <cstdio>

namespace {
class PrintingDialogs : public tb::HeadlessDialogs {
  public:
    PrintingDialogs() {
        for (const QString& a : qEnvironmentVariable("TB_ANSWERS").split(',', Qt::SkipEmptyParts))
            answers_ << (a == QLatin1String("yes"));
    }
    tb::Answer message(const QString& text, const QString& title, tb::Icon,
                       tb::Buttons buttons) override {
        QString t = text;
        t.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        std::printf("MSG\t%s\t%s\n", qPrintable(title), qPrintable(t));
        std::fflush(stdout);
        if (buttons == tb::Buttons::Ok)
            return tb::Answer::Ok;
        const bool yes = !answers_.isEmpty() && answers_.takeFirst();
        return yes ? tb::Answer::Yes : tb::Answer::No;
    }

    // The file dialogs answer with this path.
    QString file;
    QString saveFile(const QString&, const QString&, const QString&) override { return file; }

  private:
    QList<bool> answers_;
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Tillbook"));
    app.setApplicationName(QStringLiteral("Tillbook"));
    const QStringList args = app.arguments();
    const QString command = args.value(1);
    PrintingDialogs dialogs;

    if (command == QLatin1String("startup")) {
        // The start-up up to an open data file; then the end of the run.
        tb::SettingsStore store;
        tb::Startup startup(store, dialogs, args.value(2));
        startup.offerBackup = [](tb::Session&) { std::printf("CRASHED\n"); };
        auto session = startup.open();
        if (!session)
            return 1;
        std::printf("OPEN\t%s\n", qPrintable(session->dataPath));
        std::fflush(stdout);
        if (const tb::Result closed = tb::Startup::close(*session); !closed) {
            std::printf("CLOSE-FAILED\t%s\n", qPrintable(tb::germanText(closed)));
            return 3;
        }
        return 0;
    }
    if (command == QLatin1String("backup")) {
        // The weekday copy of DATA under the backup path BACKUP, as at the end of a run.
        tb::SettingsStore store;
        store.save(tb::SettingsStore::startup(), QStringLiteral("Sicherung"), args.value(3));
        tb::SystemClock clock;
        tb::Backup backup(store, dialogs, clock, args.value(2), args.value(2));
        return backup.automaticBackup() == tb::Backup::Outcome::Done ? 0 : 1;
    }
    if (command == QLatin1String("advisor-export")) {
        // The tax advisor's batch of every line of BOOK into TARGET.
        auto db = tb::Database::open(args.value(2), {});
        if (!db)
            return 2;
        dialogs.file = args.value(3);
        tb::SystemClock clock;
        tb::AdvisorBatch batch(*db, dialogs, clock);
        return batch.run(QStringLiteral("01.01.2012"), QStringLiteral("31.12.2099"), {}) ==
                       tb::AdvisorBatch::Outcome::Written
                   ? 0
                   : 1;
    }
    if (command == QLatin1String("auditor-export")) {
        // The auditor's export of 2024 from BOOK into the folder PARENT.
        auto db = tb::Database::open(args.value(2), {});
        if (!db)
            return 2;
        tb::SystemClock clock;
        tb::AuditorExport out(*db, dialogs, clock);
        return out.writeInto(args.value(3), QStringLiteral("01.01.2024"),
                             QStringLiteral("31.12.2024")) == tb::AuditorExport::Outcome::Written
                   ? 0
                   : 1;
    }
    // The loops run one whole-file operation over and over until the test kills them.
    const QString file = args.value(2);
    if (command == QLatin1String("password-off-loop") ||
        command == QLatin1String("password-on-loop")) {
        const bool on = command == QLatin1String("password-on-loop");
        for (;;) {
            // Each pass ends in the state the operation makes; the other way back between.
            if (on) {
                tb::cashfile::removePassword(file);
                tb::cashfile::putPasswordBack(file);
            } else {
                tb::cashfile::putPasswordBack(file);
                tb::cashfile::removePassword(file);
            }
        }
    }
    if (command == QLatin1String("backup-loop")) {
        tb::SettingsStore store;
        tb::SystemClock clock;
        tb::Backup backup(store, dialogs, clock, file, file);
        for (;;) {
            tb::cashfile::removePassword(file);
            backup.copyTo(args.value(3), true);
        }
    }
    if (command == QLatin1String("restore-loop")) {
        for (;;) {
            tb::Restore::restoreFile(args.value(3), file);
            tb::Restore::restoreFile(args.value(4), file);
        }
    }
    if (command == QLatin1String("compact-loop")) {
        for (;;)
            tb::Compaction::compact(file);
    }
    if (command == QLatin1String("renumber-loop")) {
        tb::cashfile::removePassword(file); // as during a run
        auto db = tb::Database::open(file, {});
        if (!db)
            return 1;
        tb::SettingsRecord settings(db.get());
        tb::Renumbering renumbering(*db, dialogs, settings);
        for (;;) {
            renumbering.renumber(QStringLiteral("01.01.2012"), QStringLiteral("31.12.2099"), 1);
            renumbering.renumber(QStringLiteral("01.01.2012"), QStringLiteral("31.12.2099"),
                                 100000);
        }
    }
    if (command == QLatin1String("float-loop")) {
        // The float goes back and forth: every stored balance is rewritten each time.
        tb::cashfile::removePassword(file);
        auto db = tb::Database::open(file, {});
        if (!db)
            return 1;
        tb::RunningBalance followed(*db);
        for (bool other = false;; other = !other)
            followed.recompute(tb::Money::fromCents(other ? 100000 : 0));
    }
    if (command == QLatin1String("upgrade-loop")) {
        // The book loses its log (as if an older program had kept it) and gets it again.
        tb::cashfile::removePassword(file);
        auto db = tb::Database::open(file, {});
        if (!db)
            return 1;
        for (;;) {
            {
                tb::Transaction t(*db);
                tb::changelog::dropTriggers(*db);
                db->exec(QStringLiteral("DROP TABLE Protokoll; DELETE FROM sqlite_sequence WHERE "
                                        "name = 'Protokoll';"));
                t.commit();
            }
            tb::cashfile::upgrade(*db);
        }
    }
    std::fprintf(stderr, "usage: tbtool startup DOCUMENTS | backup DATA BACKUP | "
                         "advisor-export BOOK TARGET | <operation>-loop FILE ...\n");
    return 2;
}
