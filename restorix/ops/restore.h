#pragma once

#include "dialogs.h"
#include "file_copy.h"
#include "progress.h"
#include "settings_store.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tb {

// One backup copy in the list: the whole text (sort key, nine blanks, the name, the label, the
// date and time), and the part the operator sees.
struct BackupEntry {
    QString text;
    QString fileName;
    QString stamp;                     // "dd.mm.yyyy hh:mm:ss"
    static constexpr int kHidden = 17; // the sort key and the nine blanks
    QString visible() const { return text.mid(kHidden); }
};

// What a restore came to.
struct RestoreResult {
    enum class Cause {
        None,
        Busy,          // Tillbook (or another restore) works on the data file
        CopyUnusable,  // the copy is damaged or no cash book: it never goes over the data file
        FolderMissing, // the data folder is missing and cannot be made
        Other,
    } cause = Cause::None;
    Result file;
    QString madeFolder;   // the data folder that was missing and was made
    bool keptOld = false; // the data file it replaced is kept (keptCopyOf)
    bool ok() const { return file.ok(); }
};

// The recovery tool's rules: where the data file and the backup folder are, the list of
// copies, the restore of one of them over the data file, and the reset of the data path.
class Restore {
  public:
    Restore(SettingsStore& store, Dialogs& dialogs, QString commonDocuments, QString programFolder);

    // Read at start (and after the reset): the data path and the backup path of the settings.
    void readPaths();
    const QString& dataPath() const { return dataPath_; }
    const QString& backupPath() const { return backupPath_; }
    // The backup path less as many characters as "Tillbook.kas" has; what "Pfad wechseln"
    // chose instead, for the rest of the run.
    const QString& listedFolder() const { return folder_; }

    // Removes the lock file beside the backup path when no live program holds it.
    void removeStaleBackupLock();
    // The copies in the listed folder: "Tillbook.*" whose extension begins with "k", ordered
    // by their whole text (oldest day first, then by name).
    QList<BackupEntry> list() const;
    static QList<BackupEntry> listFolder(const QString& folder);
    static BackupEntry entryFor(const QString& fileName, const QDateTime& modified);

    // "Pfad wechseln": an open dialog on the stored backup path; the folder of what it returns
    // is listed from now on (a cancelled dialog keeps the folder). Nothing is stored.
    void changeFolder();

    // The file a restore reads for an entry: the name's last three characters become "ka" and
    // its last character, a final "B" or "b" becoming "s".
    QString sourceFor(const BackupEntry& e) const;
    // The data file a restore writes: a data path of fewer than 13 characters lies in the
    // program folder; the last three characters become "kas"; links are followed.
    QString destination() const;
    // Where the data file a restore replaces is kept (overwritten by the next restore).
    static QString keptCopyOf(const QString& dataFile);

    enum class Outcome { NothingChosen, Declined, Restored, Failed };
    // "Daten aus einer Sicherheitskopie zurückschreiben" for the chosen entry (null: none).
    Outcome restore(const BackupEntry* chosen);

    // "Datenpfad auf Grundeinstellung zurücksetzen". True when it was reset.
    bool resetDataPath();
    QString defaultDataPath() const;

    // The restore itself, without questions: the data folder made when it is missing, the
    // lock, the check of the copy, the old file kept, the verified copy renamed over the data
    // file.
    static RestoreResult restoreFile(const QString& source, const QString& target,
                                     Progress& progress);
    static RestoreResult restoreFile(const QString& source, const QString& target) {
        NoProgress none;
        return restoreFile(source, target, none);
    }

    // Notes the restore in the change log of file (the copy about to replace the data file):
    // the copy it came from, of when, and where the replaced data file is kept.
    static Result logRestore(const QString& file, const QByteArray& key, const QString& source,
                             const QString& kept);

    // Keeps a copy of file as kept (replacing what stands there): a second name of the same
    // file where the file system allows it, a copy otherwise. Never half-written.
    static Result keepCopy(const QString& file, const QString& kept);

    // An engine's report for a message box: its first lines, and how many more there were.
    static QString shortened(const QString& text);

    // How the work runs: at once, or as the window shows it (busy cursor, progress).
    WorkRunner<RestoreResult> runner = runAtOnce<RestoreResult>;

  private:
    void failed(const RestoreResult& r, const QString& source);

    SettingsStore& store_;
    Dialogs& dialogs_;
    QString commonDocuments_;
    QString programFolder_;
    QString dataPath_;
    QString backupPath_;
    QString folder_;
};

} // namespace tb
