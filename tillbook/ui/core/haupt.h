#pragma once

#include "cash_days.h"
#include "clock.h"
#include "data_view.h"
#include "day_controller.h"
#include "day_presenter.h"
#include "dialogs.h"
#include "document_printer.h"
#include "entry_controller.h"
#include "entry_panel.h"
#include "listings.h"
#include "menu_windows.h"
#include "passwords.h"
#include "print_layout.h"
#include "resize.h"
#include "running_balance.h"
#include "scheduler.h"
#include "settings_record.h"
#include "settings_store.h"
#include "vorgaben.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QRadioButton;
class QTabWidget;
class QTableView;

namespace tb {

class DayColumn;
struct ReportWindows;
class Desktop;
class VersionCheck;
class LinePage;
class QueryController;
class QueryFrame;
class TillCountPage;
class WidgetResizeWindow;

// Shows the booking-text picker; the text the operator takes over goes to `takeOver`.
class BookingTextPicker {
  public:
    virtual void pick(bool maintenance, const QString& preselect,
                      const std::function<void(const QString&)>& takeOver) = 0;

  protected:
    ~BookingTextPicker() = default;
};

// What the main window works with; owned by the start routine.
struct HauptServices {
    Database* db = nullptr;
    Dialogs* dialogs = nullptr;
    Clock* clock = nullptr;
    Scheduler* scheduler = nullptr;
    SettingsStore* store = nullptr;
    QString dataPath;
    VersionCheck* update = nullptr; // the version check of the run (its text fetched at start)
    Desktop* desktop = nullptr;     // where the manual and links open (none: the program's own)
    BookingTextPicker* picker = nullptr; // none: the window's own picker, modal
};

// The main window: the day column, the mode buttons, the menus, the window keys, activation
// and the end of the run. The entry panel, the line page, the till-count page and the query
// frame are panels of their own; the window wires them to the operations.
class Haupt : public QMainWindow, private EntryWindow, private VorgabenHost {
    Q_OBJECT
  public:
    explicit Haupt(HauptServices services, QWidget* parent = nullptr);
    ~Haupt() override;

    // The activation steps, run after start-up and whenever a modal window of ours closed.
    void activate();

    // The deferred jobs by their ids: the name the scheduler knows a job by, and its delay.
    static QString jobName(JobId id);
    static int jobDelay(JobId id);

    // The booking-text picker; for "Buchungstext anlegen" in its maintenance role.
    void openBookingTextPicker(bool maintenance);
    // Set while the backup window is shown; suppresses the backup at exit.
    bool backupWindowOpen = false;
    // Set when the operator chose the update: the run ends at once, without the backup.
    bool endedForUpdate = false;

    // Operations the controls and keys trigger.
    void openBackupWindow();
    void onlineUpdate();
    // The day view, booking entry and the query frame's wiring.
    DayPresenter& day() { return day_; }
    DayController& dayList() { return dayController_; }
    // The windows of the settings and help menus.
    MenuWindows& menus() { return menus_; }
    EntryController& entries() { return entries_; }
    QueryController& queries() const { return *queries_; }

    // Views and state, for the panels over them and for tests.
    CashDays& days() { return days_; }
    DataView& lines() { return lines_; }
    SettingsRecord& settings() { return settings_; }
    PasswordGuard& guard() { return guard_; }
    Listings& listings() { return listings_; }
    // The panels and their controls are found by their object names.

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void buildUi();
    void buildMenus();
    void wirePanels();
    void wirePresenter();
    void wireDayList();
    struct Job;
    static const Job kJobs[];
    // What the entry controller reads.
    bool serviceCode() const override;
    bool panelShown() const override;
    EntryState panelState() const override;
    EntryValues panelValues() const override;
    bool newModeOn() const override;
    bool saveArmed() const override;
    // What the settings window asks.
    bool serviceCodeActive() const override { return serviceCode(); }
    bool mayRenumber() override { return entries_.leaveNewEntry(); }
    void wireEntries();
    ReportWindows reports();
    QTableView* lineGrid() const;
    static const Job& job(JobId id);
    void arm(JobId id);
    template <typename Dialog> int runModal(Dialog& dialog);
    void layoutAfterResize();

    void applySettings();
    void fillBookingTextSelector();
    void wireQueryFrame();

    HauptServices s_;
    Dialogs& dialogs_;
    SettingsRecord settings_;
    PasswordGuard guard_;
    DayPresenter day_;
    CashDays& days_;
    DataView& lines_;
    Listings& listings_;
    BalanceGuard balanceGuard_;
    EntryController entries_;
    DayController dayController_;
    MenuWindows menus_;
    SystemPrinter printer_;
    Resize resize_;
    std::unique_ptr<WidgetResizeWindow> resizeWindow_;
    bool closing_ = false;

    QWidget* surface_ = nullptr;
    DayColumn* dayColumn_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    LinePage* linePage_ = nullptr;
    TillCountPage* tillPage_ = nullptr;
    EntryPanel* panel_ = nullptr;
    QueryFrame* query_ = nullptr;
    QueryController* queries_ = nullptr;
    QRadioButton* optEdit_ = nullptr;
    QRadioButton* optNew_ = nullptr;
};

} // namespace tb
