#pragma once

#include "booking_entry.h"
#include "cancellation.h"
#include "cash_days.h"
#include "clock.h"
#include "data_view.h"
#include "dialogs.h"
#include "passwords.h"
#include "resize.h"
#include "scheduler.h"
#include "settings_record.h"
#include "settings_store.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QComboBox;
class QPushButton;
class QRadioButton;
class QTableView;
class QTabWidget;
class QFrame;
class QAction;

namespace tb {

class DataViewModel;
class WidgetResizeWindow;

// What the main window works with; owned by the start routine.
struct HauptServices {
    Database* db = nullptr;
    Dialogs* dialogs = nullptr;
    Clock* clock = nullptr;
    Scheduler* scheduler = nullptr;
    SettingsStore* store = nullptr;
    QString dataPath;
};

// The main window: day list, day view, entry panel, till count and query frame.
class Haupt : public QMainWindow {
    Q_OBJECT
  public:
    // Job names and their delays in milliseconds.
    struct Job {
        const char* name;
        int delay;
    };
    static constexpr Job kRecompute{"recompute day view", 200};
    static constexpr Job kSaveLine{"save line", 100};
    static constexpr Job kLoadLines{"load day lines", 100};
    static constexpr Job kShowLine{"show current line", 50};
    static constexpr Job kPressNew{"press new entry", 700};
    static constexpr Job kAfterDayCreated{"after day created", 100};
    static constexpr Job kStartLineOnNewDay{"start line on new day", 200};
    static constexpr Job kEntryState{"entry-field state", 100};
    static constexpr Job kUnlockEditing{"unlock editing", 300};
    static constexpr Job kNewLine{"new line", 360};
    static constexpr Job kFocusRemark{"focus remark", 100};
    static constexpr Job kTillDifference{"till count difference", 100};
    static constexpr Job kCarriedIn{"carried-in balance", 250};

    explicit Haupt(HauptServices services, QWidget* parent = nullptr);
    ~Haupt() override;

    // The activation steps, run after start-up and whenever a modal window of ours closed.
    void activate();

    // Opens the booking-text picker; tests may replace it. The argument is the maintenance role.
    std::function<void(bool maintenance)> openBookingTextPicker;
    // Runs once when the window has closed (password back on, lock released).
    std::function<void()> onClosed;
    // Set while the backup window is shown; suppresses the backup at exit.
    bool backupWindowOpen = false;

    // Operations the controls and keys trigger.
    void findOrCreateDay();
    void deleteDay();
    void chooseDayRow(int row);
    void newEntry();
    void saveEntry();
    void cancelEntry();
    void toggleDone();
    void openCancellationPanel();
    void cancelLine();
    void deleteLine();
    void takeOverBookingText(const QString& text);
    void openFloatDialog();
    void openSettingsDialog(bool guarded);
    void openPasswordChange();

    // Views and state, for the windows over them and for tests.
    CashDays& days() { return days_; }
    DataView& lines() { return lines_; }
    SettingsRecord& settings() { return settings_; }
    PasswordGuard& guard() { return guard_; }
    EntryValues readEntry() const;
    void writeEntry(const EntryValues& v);
    bool serviceCode() const;
    QString stateLabelText() const;

    // Controls, by their names.
    QTableView* dayList() const { return dayList_; }
    QTableView* lineGrid() const { return lineGrid_; }
    QFrame* entryPanel() const { return panel_; }
    QLineEdit* entryField(int i) const { return fields_[static_cast<size_t>(i)]; }
    QComboBox* rateChoice() const { return rate_; }
    QComboBox* rateChoice2() const { return rate2_; }
    QLineEdit* vatBox() const { return vatBox_; }
    QLineEdit* vatBox2() const { return vatBox2_; }
    QLabel* stateLabel() const { return stateLabel_; }
    QLabel* lineCountLabel() const { return countLabel_; }
    QPushButton* saveButton() const { return btnSave_; }
    QPushButton* deleteLineButton() const { return btnDeleteLine_; }
    QPushButton* stornoButton() const { return btnStorno_; }
    QRadioButton* editMode() const { return optEdit_; }
    QRadioButton* newMode() const { return optNew_; }
    QLineEdit* tillCountField(int line) const { return counts_[static_cast<size_t>(line - 1)]; }
    QLabel* balanceDisplay() const { return balance_; }
    QLabel* dayAmountDisplay() const { return dayAmount_; }
    QLabel* carriedInDisplay() const { return carriedIn_; }
    QLabel* weekdayDisplay() const { return weekday_; }
    QLabel* dateDisplay() const { return date_; }
    QLabel* expectedCashDisplay() const { return tillExpected_; }
    QLabel* columnTotal(int k) const { return totals_[static_cast<size_t>(k - 1)]; }
    // The VAT totals stand under the two tax columns.
    QLabel* vatTotal(int rate) const { return totals_[rate == 1 ? 0 : 1]; }
    QLabel* periodStart() const { return periodStart_; }
    QLabel* periodEnd() const { return periodEnd_; }
    QComboBox* bookingTextSelector() const { return combo4_; }
    QTabWidget* tabs() const { return tabs_; }
    const QString& listingKind() const { return listingKind_; }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void buildUi();
    void buildEntryPanel();
    void buildTillCount(QWidget* page);
    void buildQueryFrame();
    void buildMenus();
    void arm(const Job& job, std::function<void()> work);
    void startUpJobs();

    // Jobs.
    void loadDayLines();
    void recomputeDayView();
    void showCurrentLine();
    void openNewLine();
    void afterDayCreated();
    void startLineOnNewDay();
    void entryFieldState();
    void unlockEditing();
    void tillCountDifference();
    void showCarriedIn();

    void dayChanged();
    void applySettings();
    void fillBookingTextSelector();
    void setState(const QString& text);
    void setFieldsEnabled(bool on);
    void setMoney(QLabel* label, Money m);
    void layoutColumns();
    void serviceCodeChanged();
    bool entryKey(int field, QKeyEvent* k);
    void fieldFocusIn(int field);
    void fieldFocusOut(int field);
    template <typename Dialog> int runModal(Dialog& dialog);

    HauptServices s_;
    Dialogs& dialogs_;
    SettingsRecord settings_;
    PasswordGuard guard_;
    CashDays days_;
    DataView lines_;
    BookingEntry entry_;
    Cancellation cancellation_;
    Resize resize_;
    std::unique_ptr<WidgetResizeWindow> resizeWindow_;
    EntryValues hidden_; // holders 0, 3, 6, 7
    QString listingKind_ = QStringLiteral("Tag");
    bool closing_ = false;

    QWidget* surface_ = nullptr;
    QTableView* dayList_ = nullptr;
    QTableView* lineGrid_ = nullptr;
    DataViewModel* dayModel_ = nullptr;
    DataViewModel* lineModel_ = nullptr;
    QLabel* date_ = nullptr;
    QLabel* weekday_ = nullptr;
    QLabel* carriedIn_ = nullptr;
    QLabel* dayAmount_ = nullptr;
    QLabel* balance_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QWidget* totalsRow_ = nullptr;
    std::array<QLabel*, 5> totals_{};
    QFrame* panel_ = nullptr;
    std::array<QLineEdit*, 9> fields_{};
    QComboBox* rate_ = nullptr;
    QComboBox* rate2_ = nullptr;
    QLineEdit* vatBox_ = nullptr;
    QLineEdit* vatBox2_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* btnSave_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QPushButton* btnDeleteLine_ = nullptr;
    QPushButton* btnStorno_ = nullptr;
    QRadioButton* optEdit_ = nullptr;
    QRadioButton* optNew_ = nullptr;
    std::array<QLineEdit*, 15> counts_{};
    std::array<QLabel*, 15> lineTotals_{};
    QLabel* tillCounted_ = nullptr;
    QLabel* tillExpected_ = nullptr;
    QLabel* tillDifference_ = nullptr;
    QLabel* periodStart_ = nullptr;
    QLabel* periodEnd_ = nullptr;
    QComboBox* combo4_ = nullptr;
};

} // namespace tb
