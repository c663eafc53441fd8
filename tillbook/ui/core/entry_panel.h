#pragma once

#include "booking_entry.h"
#include "entry_controller.h"

#include <QFrame>
#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tb {

// The entry panel (Frame1): the entry fields, the rate choices and VAT boxes, the state label
// and its buttons. It handles its own keys and focus (yellow field, Enter moves on, amount keys
// only, the booking text only through the picker) and calls the entry rules; what the operator
// asks for beyond the fields it says through signals.
class EntryPanel : public QFrame {
    Q_OBJECT
  public:
    using State = EntryState;
    static QString stateText(State s);

    EntryPanel(BookingEntry& entry, QWidget* parent = nullptr);

    EntryValues values() const;
    void setValues(const EntryValues& v);
    // Fields 0 to 8 and both VAT boxes empty, as a new line starts.
    void clearForNewLine();

    State state() const { return state_; }
    void setState(State s);

    using Mode = EntryMode;
    void setMode(Mode m, bool serviceCode = false);
    // Hides the panel; it opens again in "Daten bearbeiten", without "Zeile löschen".
    void close();
    // "Zeile löschen" is offered while the service code stands.
    void offerLineDeletion(bool on);
    // Shows a saved line: its values, the day's number of lines, one or two rates; with the
    // service code the line may be deleted and its receipt number edited.
    void showLine(const EntryValues& v, int lineCount, bool serviceCode);
    // Tab from `before` reaches "Stornieren", "speichern", "abbrechen", "Zeile löschen".
    void followInTabOrder(QWidget* before);
    // Puts the focus into an entry field.
    void focusField(EntryField f);
    // The booking text taken over from the picker; an empty rate choice gets the rate.
    void takeOverText(const QString& text, const QString& rate);
    // A line with two VAT rates shows the second rate and box and locks both rate choices.
    void setTwoRates(bool on);
    // The rate choice offers rate 1, rate 2 and "0"; the text standing in it is kept.
    void setRates(const QString& rate1, const QString& rate2);
    void setRate(const QString& rate);
    void setLineCount(int lines);
    // Configurable column k (1..5) shown or not: its entry field follows it.
    void setColumnVisible(int k, bool on);
    // Places the fields under the columns of the line grid; columnRect gives a column's left
    // edge and width in the panel's coordinates.
    void placeUnder(const std::function<QRect(int column)>& columnRect);
    // While the window closes, leaving a field computes nothing and asks nothing.
    void setClosing(bool on) { closing_ = on; }

    // Hides the panel; the line it was adding is dropped by whoever listens to dismissed().
    void dismiss();

    // Shows, hides, fills and focuses itself as the controller asks.
    void follow(EntryController& entries);
    // Back into the field last typed into (the open entry is kept); the field's rules already
    // ran when it was left, so coming back is no new entering of it.
    void returnFocus();

  signals:
    void saveClicked();
    void cancelClicked();
    void deleteLineClicked();
    void stornoClicked();
    // A key was typed into the booking-text field: the picker is wanted.
    void bookingTextWanted();
    // The panel was hidden (by the window or by itself after the mixed-rate message).
    void dismissed();

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    bool focusNextPrevChild(bool next) override;

  private:
    QLineEdit* field(int f) const { return fields_[static_cast<size_t>(f)]; }
    // Fields 8, 1, 2, 3, 4, 5, both rate choices and both VAT boxes.
    void setFieldsEnabled(bool on);
    bool fieldKey(int f, QKeyEvent* k);
    void fieldFocusIn(int f);
    void fieldFocusOut(int f);

    BookingEntry& entry_;
    EntryValues hidden_; // the holders 0, 3, 6 and 7
    State state_ = State::Bearbeiten;
    bool closing_ = false;
    std::array<bool, 6> columnOn_{true, true, true, true, true, true};
    bool twoRates_ = false;
    std::array<QLineEdit*, 9> fields_{};
    QComboBox* rate_;
    QComboBox* rate2_;
    QLineEdit* vatBox_;
    QLineEdit* vatBox2_;
    QLabel* stateLabel_;
    QLabel* countLabel_;
    QLabel* hint_;
    QPushButton* save_;
    QPushButton* cancel_;
    QPushButton* deleteLine_;
    QPushButton* storno_;
};

} // namespace tb
