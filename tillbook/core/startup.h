#pragma once

#include "cash_file.h"
#include "database.h"
#include "dialogs.h"
#include "settings_store.h"

#include <memory>

namespace tb {

// What a run of Tillbook holds: the open data file and the lock on it.
struct Session {
    QString dataPath;
    QString backupPath;
    std::unique_ptr<cashfile::FileLock> lock;
    std::unique_ptr<Database> db;
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
    static bool close(Session& session, QString* error = nullptr);

  private:
    std::unique_ptr<Session> fail(const QString& text);
    SettingsStore& store_;
    Dialogs& dialogs_;
    QString commonDocuments_;
};

} // namespace tb
