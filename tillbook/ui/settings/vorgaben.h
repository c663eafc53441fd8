#pragma once

#include "clock.h"
#include "dialogs.h"
#include "settings_record.h"

#include <QDialog>
#include <array>
#include <functional>

class QLineEdit;
class QLabel;
class QGroupBox;
class QPushButton;

namespace tb {
class ClickLabel;

// What the settings window asks the main window it was opened from.
class VorgabenHost {
  public:
    // Whether the renumbering panel is offered (service code in the till count).
    virtual bool serviceCodeActive() const = 0;
    // Asked before a renumbering begins (an open entry in the main window); false stops it.
    virtual bool mayRenumber() = 0;

  protected:
    ~VorgabenHost() = default;
};
} // namespace tb

namespace tb {

// The settings dialog: VAT rates, currency, next receipt number, the tax switch and the
// captions of the five configurable columns.
class Vorgaben : public QDialog {
    Q_OBJECT
  public:
    // Without a host the renumbering panel is not offered.
    Vorgaben(Database* db, Dialogs& dialogs, VorgabenHost* host = nullptr,
             QWidget* parent = nullptr);

    QLineEdit* rate1() const { return rate1_; }
    QLineEdit* rate2() const { return rate2_; }
    QLineEdit* currency() const { return currency_; }
    QLineEdit* receipt() const { return receipt_; }
    QLabel* taxSwitch() const { return xSwitch_; }
    QLineEdit* caption(int k) const { return captions_[static_cast<size_t>(k - 1)]; }
    QPushButton* saveButton() const { return save_; }
    QGroupBox* renumberPanel() const { return renumber_; }
    ClickLabel* renumberFrom() const { return from_; }
    ClickLabel* renumberTo() const { return to_; }
    QPushButton* renumberStart() const { return start_; }
    // "Start": the renumbering of the chosen range.
    void renumber();

    void toggleTaxSwitch();
    // "Speichern": captions stored, record saved, dialog closed.
    void saveAndClose();
    // Where today comes from (the date fields open the calendar on it); the system clock if
    // not set.
    const Clock* clock = nullptr;
    // Whether the settings record could be read; the dialog is not shown without it.
    bool loaded() const { return settings_.loaded(); }

    // Closing by the frame and Escape: the bound fields are saved, caption edits are lost.
    void reject() override;

  signals:
    // A renumbering was done: the main window's day list is re-read.
    void renumbered();

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool event(QEvent* e) override;

  private:
    void storeBoundFields();
    void revealRenumbering();
    void pickDate(ClickLabel* field);
    Database* db_;
    VorgabenHost* host_;
    Dialogs& dialogs_;
    SettingsRecord settings_;
    QLineEdit* rate1_;
    QLineEdit* rate2_;
    QLineEdit* currency_;
    QLineEdit* receipt_;
    QLabel* xSwitch_;
    std::array<QLineEdit*, 5> captions_{};
    QPushButton* save_;
    QLabel* saveMarker_;
    QGroupBox* renumber_;
    ClickLabel* from_;
    ClickLabel* to_;
    QPushButton* start_;
    bool saved_ = false;
};

} // namespace tb
