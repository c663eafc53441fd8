#pragma once

#include "advisor_accounts.h"
#include "dialogs.h"

#include <QDialog>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tb {

// "Einstellungen → Konten für den Steuerberater": the numbers and accounts the advisor's
// booking batch is written with. Every field is checked while it is typed (digits only; the
// first problem stands in the hint line in red); "Speichern" stores everything at once.
class KontenSteuerberater : public QDialog {
    Q_OBJECT
  public:
    KontenSteuerberater(Database& db, Dialogs& dialogs, QWidget* parent = nullptr);

    enum TextColumn { ColText, ColAccount, ColAutomatic, ColTaxKey };

    QLineEdit* advisor() const { return advisor_; }
    QLineEdit* client() const { return client_; }
    QLineEdit* fyDay() const { return fyDay_; }
    QLineEdit* fyMonth() const { return fyMonth_; }
    QLineEdit* accountLength() const { return length_; }
    QComboBox* chart() const { return chart_; }
    QLineEdit* cash() const { return cash_; }
    QLineEdit* defaultAccount(int i) const { return defaults_[static_cast<size_t>(i)]; }
    QTableWidget* texts() const { return table_; }
    QLabel* hint() const { return hint_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

    // What the fields hold now.
    AdvisorSettings current() const;
    // "Speichern": stored and closed, or the refusal and the focus on the field. True if
    // stored.
    bool save();
    // Escape and "Abbrechen": changes are offered for saving first.
    void reject() override;

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    QLineEdit* digits(const QString& value, const QString& name, int maxLength);
    void fill(const AdvisorSettings& s);
    void chartChosen(int index);
    void recheck();
    void focusProblem(const AdvisorProblem& p);

    Database& db_;
    Dialogs& dialogs_;
    AdvisorSettings stored_;
    QLineEdit* advisor_;
    QLineEdit* client_;
    QLineEdit* fyDay_;
    QLineEdit* fyMonth_;
    QLineEdit* length_;
    QComboBox* chart_;
    QLineEdit* cash_;
    std::array<QLineEdit*, 4> defaults_{};
    QTableWidget* table_;
    QLabel* hint_;
    QPushButton* save_;
    QPushButton* cancel_;
    bool filling_ = false;
};

} // namespace tb
