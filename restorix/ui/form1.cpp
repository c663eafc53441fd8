#include "form1.h"

#include "enter_presses.h"
#include "progress_window.h"
#include "qt_dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

namespace {
const QString kRestoreCaption = QStringLiteral("Daten aus einer Sicherheitskopie zurückschreiben");

// The list of copies. Focus alone chooses nothing (a list view makes its first entry current
// when focus arrives): the operator picks the copy, by mouse or with the arrow keys.
class CopyList : public QListWidget {
  protected:
    void focusInEvent(QFocusEvent* e) override {
        QAbstractScrollArea::focusInEvent(e);
        viewport()->update();
    }
};
} // namespace

Form1::Form1(Restore& restore, Dialogs& dialogs, Scheduler& scheduler, QWidget* parent)
    : QMainWindow(parent), restore_(restore), dialogs_(dialogs), scheduler_(scheduler) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tillbook - Restorix"));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    connect(file->addAction(QStringLiteral("Datenbank &komprimieren und reparieren")),
            &QAction::triggered, this, &Form1::openCompaction);
    connect(file->addAction(QStringLiteral("Datenpfad auf &Grundeinstellung zurücksetzen")),
            &QAction::triggered, this, [this] { restore_.resetDataPath(); });
    connect(file->addAction(QStringLiteral("&Datenverzeichnis öffnen")), &QAction::triggered, this,
            [this] {
                dialogs_.openFile(QStringLiteral("Datenverzeichnis"), restore_.dataPath(),
                                  QStringLiteral("Alle Dateien (*)"));
            });
    connect(file->addAction(QStringLiteral("&Programmverzeichnis öffnen")), &QAction::triggered,
            this, [this] {
                dialogs_.openFile(QStringLiteral("Programmverzeichnis"),
                                  QCoreApplication::applicationDirPath() + QLatin1Char('/'),
                                  QStringLiteral("Alle Dateien (*)"));
            });
    QAction* change = menuBar()->addAction(QStringLiteral("&Pfad wechseln"));
    connect(change, &QAction::triggered, this, &Form1::changeFolder);

    auto* central = new QWidget;
    central->setObjectName(QStringLiteral("surface"));
    central->setStyleSheet(QStringLiteral("#surface { background: rgb(215,235,255); }"));
    auto* layout = new QVBoxLayout(central);
    auto* head = new QHBoxLayout;
    head->addWidget(new QLabel(QStringLiteral("Datensicherungspfad:")));
    folder_ = new QLabel;
    folder_->setObjectName(QStringLiteral("Label2"));
    folder_->setTextFormat(Qt::PlainText);
    folder_->setAccessibleName(QStringLiteral("Datensicherungspfad:"));
    head->addWidget(folder_, 1);
    layout->addLayout(head);

    list_ = new CopyList;
    list_->setObjectName(QStringLiteral("List1"));
    list_->setAccessibleName(QStringLiteral("Sicherheitskopien"));
    // Courier New as the list has always shown; fontconfig gives a metric twin where it lacks.
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    fixed.setPointSizeF(9.75);
    list_->setFont(fixed);
    list_->setMinimumSize(620, 200);
    layout->addWidget(list_, 1);
    auto* hint = new QLabel(QStringLiteral("Bitte wählen Sie die gewünschte Datei aus und klicken "
                                           "Sie auf den Button \"") +
                            kRestoreCaption + QLatin1Char('"'));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    command1_ = new QPushButton(kRestoreCaption);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setAccessibleName(kRestoreCaption);
    command1_->setEnabled(false);
    enterPresses(command1_);
    layout->addWidget(command1_);
    setCentralWidget(central);

    connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        // Once chosen, the button stays enabled.
        if (item && !item->data(Qt::UserRole).toString().isEmpty())
            command1_->setEnabled(true);
    });
    connect(list_, &QListWidget::itemActivated, this, [this] { restoreChosen(); });
    connect(command1_, &QPushButton::clicked, this, &Form1::restoreChosen);

    restore_.runner = [this](const QString& title, const LongWork<RestoreResult>& work) {
        return runWithProgress(this, title, work);
    };
    // Start-up: the folder shown, a stale lock beside the backup path removed, the list.
    folder_->setText(restore_.listedFolder());
    restore_.removeStaleBackupLock();
    fill();
}

void Form1::fill() {
    list_->clear();
    folder_->setText(restore_.listedFolder());
    folder_->setAccessibleDescription(restore_.listedFolder());
    entries_ = restore_.list();
    // The sort key stays out of sight; the order is that of the whole text.
    for (const BackupEntry& e : entries_) {
        auto* item = new QListWidgetItem(e.visible(), list_);
        item->setData(Qt::UserRole, e.text);
    }
}

void Form1::restoreChosen() {
    const int row = list_->currentRow();
    const BackupEntry* chosen = row >= 0 && row < entries_.size() ? &entries_[row] : nullptr;
    switch (restore_.restore(chosen)) {
    case Restore::Outcome::Restored:
        scheduler_.arm(QStringLiteral("Timer1"), 500, [this] { close(); });
        break;
    case Restore::Outcome::Failed:
        close();
        break;
    default:
        break;
    }
}

void Form1::changeFolder() {
    restore_.changeFolder();
    fill();
}

void Form1::openCompaction() {
    compactrep dlg(dialogs_, restore_.dataPath(), this);
    dlg.adjustSize();
    centreOnScreen(dlg);
    dlg.exec();
    if (dlg.ran())
        close(); // compaction ends the program
}

compactrep::compactrep(Dialogs& dialogs, const QString& dataPath, QWidget* parent)
    : QDialog(parent), compaction_(dialogs) {
    setObjectName(QStringLiteral("compactrep"));
    setWindowTitle(QStringLiteral("Merowa"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Datenbank")));
    txtDatabase_ = new QLineEdit(dataPath);
    txtDatabase_->setObjectName(QStringLiteral("txtDatabase"));
    txtDatabase_->setAccessibleName(QStringLiteral("Datenbank"));
    txtDatabase_->setMinimumWidth(460);
    layout->addWidget(txtDatabase_);
    cmdCompact_ = new QPushButton(QStringLiteral("Datenbank reparieren und komprimieren"));
    cmdCompact_->setObjectName(QStringLiteral("cmdCompact"));
    cmdCompact_->setAccessibleName(cmdCompact_->text());
    cmdCompact_->setAutoDefault(false);
    enterPresses(cmdCompact_);
    layout->addWidget(cmdCompact_);
    connect(cmdCompact_, &QPushButton::clicked, this, &compactrep::compact);
    compaction_.runner = [this](const QString& title, const LongWork<Compaction::Report>& work) {
        return runWithProgress(this, title, work);
    };
}

void compactrep::compact() {
    compaction_.run(txtDatabase_->text());
    // Done or failed, the program ends with the message shown.
    ran_ = true;
    accept();
}

} // namespace tb
