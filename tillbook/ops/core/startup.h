#pragma once

#include "cash_file.h"
#include "data_path_check.h"
#include "database.h"
#include "dialogs.h"
#include "settings_store.h"

#include <functional>
#include <memory>

namespace tb {

// What a run of Tillbook holds: the open data file and the lock on it.
struct Session {
    QString dataPath; // the real file: links resolved
    QString backupPath;
    std::unique_ptr<cashfile::FileLock> lock;
    std::unique_ptr<Database> db;
    // The lock of a run that did not end was found: no weekday copy was written then.
    bool lastRunEndedAbnormally = false;
};

// Opening the cash book at start and protecting it again at the end of the run.
class Startup {
  public:
    Startup(SettingsStore& store, Dialogs& dialogs, QString commonDocuments)
        : store_(store), dialogs_(dialogs), commonDocuments_(std::move(commonDocuments)) {}

    // The start-up steps up to an open data file. nullptr when the run must end; the operator
    // has then been told why (unless he declined to create a new cash book).
    std::unique_ptr<Session> open();

    // The end of the run: the file is closed, its password put back and the lock released.
    static Result close(Session& session);

    // Removes the temporary files a copy cut short left beside the backup copies.
    static void removeCopyTemporaries(const QString& backupPath);

    // Called once when the last run did not end normally, before the file is opened for this
    // run: tells the operator and offers a backup copy.
    std::function<void(Session&)> offerBackup;

  private:
    std::unique_ptr<Session> fail(const QString& text);
    std::unique_ptr<Session> refuseFor(const pathcheck::Finding& f, const QString& stated);
    bool takeOverRewrite(const QString& path, const QString& rewrite);
    SettingsStore& store_;
    Dialogs& dialogs_;
    QString commonDocuments_;
};

} // namespace tb
