#pragma once

#include "dialogs.h"
#include "settings_record.h"

#include <QDialog>

class QLineEdit;

namespace tb {

// The float of the change till: one amount in the settings record.
class Kassenbestand : public QDialog {
    Q_OBJECT
  public:
    Kassenbestand(Database* db, Dialogs& dialogs, QWidget* parent = nullptr);
    QLineEdit* field() const { return field_; }
    // "speichern": an empty field stores "0"; the window closes.
    void save();
    // The stored text for an entry: exactly as typed, "0" for an empty one.
    static QString storedForm(const QString& typed);

  private:
    SettingsRecord settings_;
    QLineEdit* field_;
};

} // namespace tb
