#pragma once

#include "dialogs.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tb {

// The printer choice: the printers, "Anzahl Kopien " and OK / Abbrechen. The printer shown
// selected is the current one, from opening on; the copies come back, 0 when cancelled. More
// copies than the printout takes are refused with a message, the window staying open.
class Drucker_waehlen : public QDialog {
    Q_OBJECT
  public:
    Drucker_waehlen(Dialogs& dialogs, const QStringList& printers, QString& current, int copies,
                    QWidget* parent = nullptr);
    int copies() const { return copies_; }
    QComboBox* printerList() const { return list_; }
    QLineEdit* copiesField() const { return field_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    void ok();
    void cancel();
    void reject() override { cancel(); }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    Dialogs& dialogs_;
    QString& current_;
    int copies_;
    QComboBox* list_;
    QLineEdit* field_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace tb
