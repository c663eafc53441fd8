#pragma once

#include "compaction.h"
#include "restore.h"
#include "scheduler.h"

#include <QDialog>
#include <QMainWindow>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tb {

// The recovery tool's window: the backup folder, the list of copies, the restore button and
// the menus for compaction, the data path and the two folders.
class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    Form1(Restore& restore, Dialogs& dialogs, Scheduler& scheduler, QWidget* parent = nullptr);

    QLabel* folderLabel() const { return folder_; }
    QListWidget* list() const { return list_; }
    QPushButton* restoreButton() const { return command1_; }

    void fill();
    void restoreChosen();
    void changeFolder();
    // Opens the compaction window; a compaction that ran ends the program.
    void openCompaction();

  private:
    Restore& restore_;
    Dialogs& dialogs_;
    Scheduler& scheduler_;
    QList<BackupEntry> entries_;
    QLabel* folder_;
    QListWidget* list_;
    QPushButton* command1_;
};

// The compaction window ("Merowa"): the file to compact and the button.
class compactrep : public QDialog {
    Q_OBJECT
  public:
    compactrep(Dialogs& dialogs, const QString& dataPath, QWidget* parent = nullptr);
    QLineEdit* txtDatabase() const { return txtDatabase_; }
    QPushButton* cmdCompact() const { return cmdCompact_; }
    bool ran() const { return ran_; }
    void compact();

  private:
    Compaction compaction_;
    QLineEdit* txtDatabase_;
    QPushButton* cmdCompact_;
    bool ran_ = false;
};

} // namespace tb
