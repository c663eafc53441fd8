#pragma once

#include "backup.h"
#include "scheduler.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tb {

// The backup window: the data path, the backup path and its chooser, the manual backup, the
// hand-off to Restorix, and the way back to the program. It takes the place of the main window
// while it is open.
class Datensicherung : public QDialog {
    Q_OBJECT
  public:
    // How the window was left: back to the main window, or the end of the program.
    enum class Result { BackToProgram, End };

    Datensicherung(Backup& backup, Scheduler& scheduler, QString currentPassword,
                   QWidget* parent = nullptr);
    Result result() const { return result_; }

    QLabel* dataPathLabel() const { return bezeichnung1_; }
    QLineEdit* backupPathField() const { return text1_; }
    QLabel* statusLine() const { return bezeichnung4_; }
    QPushButton* saveButton() const { return befehl4_; }
    QPushButton* restoreButton() const { return befehl5_; }
    QPushButton* chooseButton() const { return command1_; }
    QPushButton* backButton() const { return command4_; }
    QPushButton* quitButton() const { return befehl3_; }

    void backUp();
    void handOff();
    void choose();
    void back();
    void quit();

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void setStatus(const QString& text);
    Backup& backup_;
    Scheduler& scheduler_;
    QString currentPassword_;
    Result result_ = Result::End;
    QLabel* bezeichnung1_;
    QLineEdit* text1_;
    QLabel* bezeichnung4_;
    QPushButton* befehl4_;
    QPushButton* befehl5_;
    QPushButton* command1_;
    QPushButton* command4_;
    QPushButton* befehl3_;
};

} // namespace tb
