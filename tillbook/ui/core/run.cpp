#include "run.h"

#include "backup.h"
#include "data_paths.h"
#include "datensicherung.h"
#include "desktop.h"
#include "haupt.h"
#include "qt_dialogs.h"
#include "startup.h"
#include "trace.h"
#include "version_check.h"

#include <QApplication>

namespace tb {

TillbookRun::TillbookRun(Dialogs& dialogs, SettingsStore& store, Clock& clock, Scheduler& scheduler,
                         Desktop& desktop, QString commonDocuments)
    : dialogs_(dialogs), store_(store), clock_(clock), scheduler_(scheduler), desktop_(desktop),
      commonDocuments_(std::move(commonDocuments)) {}

TillbookRun::TillbookRun(QtDialogs& dialogs, SettingsStore& store, Clock& clock,
                         Scheduler& scheduler, Desktop& desktop, QString commonDocuments)
    : TillbookRun(static_cast<Dialogs&>(dialogs), store, clock, scheduler, desktop,
                  std::move(commonDocuments)) {
    screenDialogs_ = &dialogs;
}

void TillbookRun::endOfRun(Session& session) {
    // The end of the run: the weekday copy, the password back on, the lock released.
    Backup backup(store_, dialogs_, clock_,
                  store_.get(SettingsStore::startup(), paths::kDataPathKey, {}), session.dataPath);
    backup.heldLock = session.lock.get();
    backup.endOfRun(endedBySignal);
    session.lock->unlock();
    trace("ended");
}

int TillbookRun::exec() {
    auto storedDataPath = [this] {
        return store_.get(SettingsStore::startup(), paths::kDataPathKey, {});
    };
    Startup startup(store_, dialogs_, commonDocuments_);
    startup.offerBackup = [&](Session& s) {
        Backup backup(store_, dialogs_, clock_, storedDataPath(), s.dataPath);
        backup.heldLock = s.lock.get();
        backup.offerAfterCrash();
    };

    VersionCheck update(
        dialogs_, [this](const QString& url) { return desktop_.fetch(url); },
        [this](const QString& url) { desktop_.openUrl(url); });
    bool checked = false;
    for (;;) {
        std::unique_ptr<Session> session = startup.open();
        if (!session)
            return 1;
        // Once a run, while the main window loads: a newer version? Yes ends the run at once,
        // the file protected again and released.
        if (!checked) {
            checked = true;
            if (update.atStart()) {
                Startup::close(*session);
                return 0;
            }
            // Logout or shutdown while the check fetched or asked: the run ends as it would
            // from the main window, without it ever showing.
            if (endedBySignal) {
                session->db.reset();
                endOfRun(*session);
                return 0;
            }
        }
        bool toBackupWindow = false;
        bool forUpdate = false;
        QString password;
        {
            Haupt window({session->db.get(), &dialogs_, &clock_, &scheduler_, &store_,
                          session->dataPath, &update, &desktop_});
            if (screenDialogs_)
                screenDialogs_->setParent(&window);
            window.show();
            window.activate();
            trace("shown");
            emit mainWindowShown(window);
            QApplication::exec();
            if (screenDialogs_)
                screenDialogs_->setParent(nullptr);
            toBackupWindow = window.backupWindowOpen;
            forUpdate = window.endedForUpdate;
            password = window.guard().currentPassword();
        }
        session->db.reset();
        if (forUpdate) {
            Startup::close(*session);
            return 0;
        }
        if (!toBackupWindow || endedBySignal) {
            endOfRun(*session);
            return 0;
        }
        Backup backup(store_, dialogs_, clock_, storedDataPath(), session->dataPath);
        // The backup window takes over; the file is released with its password on.
        if (const Result closed = Startup::close(*session); !closed)
            dialogs_.message(QStringLiteral("Das Passwort des Kassenbuchs\n%1\nkonnte nicht "
                                            "wieder gesetzt werden:\n%2")
                                 .arg(session->dataPath, germanText(closed)),
                             QStringLiteral("Tillbook"), Icon::Critical, Buttons::Ok);
        session.reset();
        Datensicherung window(backup, scheduler_, password);
        window.adjustSize();
        centreOnScreen(window);
        emit backupWindowOpening(window);
        window.exec();
        if (window.result() != Datensicherung::Result::BackToProgram || endedBySignal)
            return 0;
    }
}

} // namespace tb
