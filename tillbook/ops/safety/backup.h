#pragma once

#include "cash_file.h"
#include "clock.h"
#include "dialogs.h"
#include "file_copy.h"
#include "settings_store.h"

#include <QDate>
#include <QObject>
#include <functional>

namespace tb {

// The names of the backup copies and the rules around the backup path.
namespace backup {
// The weekday copy of a day (paths::weekdayCopyOf with the day's digit).
QString weekdayCopy(const QString& backupPath, const QDate& day);
int weekdayDigit(const QDate& day);
// The backup folder as the messages show it: the backup path less 12 characters.
QString shownFolder(const QString& backupPath);
// The backup path would be the data file itself: equal in lower case, or another spelling of
// the same file (a link, a doubled separator).
bool samePath(const QString& dataPath, const QString& backupPath);
} // namespace backup

// The backup of the data file: the backup path and its chooser, the manual copy, the weekday
// copy at the end of a run, the copy procedure with its password step and error table, and the
// hand-off to Restorix. Every copy is written to a temporary file in the backup folder, flushed,
// verified (read back, its bytes are those of the data file; it opens with the built-in
// password as a cash book with every page its header counts) and only then renamed over the old
// copy: a failed backup never destroys the last good copy.
class Backup : public QObject {
    Q_OBJECT
  public:
    // dataPath as the settings hold it (shown, compared); dataFile the real file copied.
    Backup(SettingsStore& store, Dialogs& dialogs, const Clock& clock, QString dataPath,
           QString dataFile);

    const QString& dataPath() const { return dataPath_; }
    // The stored backup path ("Sicherung") and the field that shows it.
    QString storedPath() const;
    const QString& field() const { return field_; }

    // "Sicherungspfad wählen": the save dialog, the folder it returns + "Tillbook.kas", the
    // question, and the path stored under "Sicherung".
    void choosePath();

    enum class Outcome { Done, Refused, Declined, Failed };
    // "Daten  &sichern", up to its last message (the caller then ends the program, except on
    // Refused and Declined, which stay in the window).
    Outcome manualBackup();
    // The weekday copy when the main window closes. quiet: the session is ending (a signal);
    // nothing asks, errors go to the system log.
    Outcome automaticBackup(bool quiet = false);
    // The end of every run: the weekday copy, and whatever came of it, the password back on
    // the data file; a failure to put it back is told (or logged when quiet).
    Outcome endOfRun(bool quiet = false);

    // At the start after a run that did not end normally: says so once and offers to write
    // the weekday copy now.
    void offerAfterCrash();

    // "Daten  &zurückschreiben": the password prompt unless the protection is off, then
    // Restorix is started. True when it was started (the caller then ends).
    bool restoreHandOff(const QString& currentPassword);

    // The run's lock, while the main window still holds it; otherwise every copy takes the
    // lock for itself (a running Tillbook or Restorix makes the copy fail).
    cashfile::FileLock* heldLock = nullptr;
    // Starts Restorix from the program's folder, without waiting; tests replace it.
    std::function<bool()> startRestorix;

    // The copy procedure: the password step, then the verified copy to dest, each failure
    // through the error table (OK on a full disk repeats the step).
    Outcome copyTo(const QString& dest, bool quiet);

  signals:
    // The status line ("Bezeichnung4"), and an error that was told and handled (the window
    // resets the line 4 seconds later).
    void statusChanged(const QString& text);
    void errorHandled();

  private:
    // The error table; true when the failed step is to be repeated.
    bool handle(const Result& r, bool quiet);
    void status(const QString& text);
    bool checkPath(bool quiet);

    SettingsStore& store_;
    Dialogs& dialogs_;
    const Clock& clock_;
    QString dataPath_;
    QString dataFile_;
    QString field_;
    bool protected_ = false;
    bool protectFailureShown_ = false;
};

} // namespace tb
