#pragma once

#include "clock.h"
#include "dialogs.h"
#include "scheduler.h"
#include "settings_store.h"

#include <QObject>
#include <QString>

namespace tb {

class Datensicherung;
class Desktop;
class QtDialogs;
class Haupt;
struct Session;

// One run of Tillbook: the start-up, the main window, and how the run ends: through the
// weekday copy when the main window closes, or through the backup window, from which
// "Zurück zum Programm" brings a fresh main window back.
class TillbookRun : public QObject {
    Q_OBJECT
  public:
    // The dialogs on screen open over the main window while it is shown.
    TillbookRun(QtDialogs& dialogs, SettingsStore& store, Clock& clock, Scheduler& scheduler,
                Desktop& desktop, QString commonDocuments);
    // Dialogs that are no windows (a test's scripted answers).
    TillbookRun(Dialogs& dialogs, SettingsStore& store, Clock& clock, Scheduler& scheduler,
                Desktop& desktop, QString commonDocuments);

    // Runs until the program ends; the exit code.
    int exec();
    // Set when logout or shutdown ends the session: nothing may ask any more.
    bool endedBySignal = false;

  signals:
    // Each main window once it is shown, and the backup window before it opens.
    void mainWindowShown(tb::Haupt& window);
    void backupWindowOpening(tb::Datensicherung& window);

  private:
    void endOfRun(Session& session);
    Dialogs& dialogs_;
    QtDialogs* screenDialogs_ = nullptr;
    SettingsStore& store_;
    Clock& clock_;
    Scheduler& scheduler_;
    Desktop& desktop_;
    QString commonDocuments_;
};

} // namespace tb
