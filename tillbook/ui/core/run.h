#pragma once

#include "clock.h"
#include "dialogs.h"
#include "scheduler.h"
#include "settings_store.h"

#include <QString>
#include <functional>
#include <optional>

namespace tb {

class Datensicherung;
class QtDialogs;
class Haupt;
struct Session;

// One run of Tillbook: the start-up, the main window, and how the run ends: through the
// weekday copy when the main window closes, or through the backup window, from which
// "Zurück zum Programm" brings a fresh main window back.
class TillbookRun {
  public:
    // The dialogs on screen open over the main window while it is shown.
    TillbookRun(QtDialogs& dialogs, SettingsStore& store, Clock& clock, Scheduler& scheduler,
                QString commonDocuments);
    // Dialogs that are no windows (a test's scripted answers).
    TillbookRun(Dialogs& dialogs, SettingsStore& store, Clock& clock, Scheduler& scheduler,
                QString commonDocuments);

    // Runs until the program ends; the exit code.
    int exec();
    // Set when logout or shutdown ends the session: nothing may ask any more.
    bool endedBySignal = false;

    // How the version file is fetched, and how a document or an address is opened on the
    // desktop (the download, the manual); tests replace them.
    std::function<std::optional<QByteArray>(const QString& url)> fetch;
    std::function<void(const QString& url)> openUrl;

    // Seen by tests: called with each main window once it is shown, and with the backup
    // window before it opens.
    std::function<void(Haupt&)> onMainWindow;
    std::function<void(Datensicherung&)> onBackupWindow;

  private:
    void endOfRun(Session& session);
    Dialogs& dialogs_;
    QtDialogs* screenDialogs_ = nullptr;
    SettingsStore& store_;
    Clock& clock_;
    Scheduler& scheduler_;
    QString commonDocuments_;
};

} // namespace tb
