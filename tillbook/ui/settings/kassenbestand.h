#pragma once

#include "balance_guard.h"
#include "dialogs.h"
#include "settings_record.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tb {

// The float of the change till: one amount in the settings record.
class Kassenbestand : public QDialog {
    Q_OBJECT
  public:
    Kassenbestand(Database* db, Dialogs& dialogs, QWidget* parent = nullptr);
    QLineEdit* field() const { return field_; }
    QPushButton* saveButton() const { return save_; }
    // "speichern": an empty field stores "0"; the window closes. A text that is no amount is
    // refused with a message and nothing is stored. False when refused.
    // With a guard, a float that makes a day's balance negative is stored only when the
    // operator agrees.
    bool save();
    void setBalanceGuard(BalanceGuard* guard) { balanceGuard_ = guard; }
    // The stored text for an entry: exactly as typed, "0" for an empty one.
    static QString storedForm(const QString& typed);
    // Whether a typed text may be stored as the float.
    static bool isStorable(const QString& typed);
    // Whether the settings record could be read; the window is not shown without it.
    bool loaded() const { return settings_.loaded(); }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    SettingsRecord settings_;
    Dialogs& dialogs_;
    BalanceGuard* balanceGuard_ = nullptr;
    QPushButton* save_;
    QLineEdit* field_;
};

} // namespace tb
