#include "haupt.h"

#include "csv_export.h"
#include "data_correction.h"
#include "data_paths.h"
#include "line_page.h"
#include "query_frame.h"
#include "till_count_page.h"

#include <QComboBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>

// The main window's wiring of the query frame: the period, the period and booking-text
// listings, the data correction, the export and the printout of what the grid lists.
namespace tb {

using namespace jobs;

void Haupt::wireQueryFrame() {
    connect(query_, &QueryFrame::periodStartClicked, this, [this] {
        listings_.pickStart(dialogs_, *s_.clock);
        showPeriod();
    });
    connect(query_, &QueryFrame::periodEndClicked, this, [this] {
        listings_.pickEnd(dialogs_, *s_.clock);
        showPeriod();
    });
    connect(query_, &QueryFrame::allTimesClicked, this, [this] {
        listings_.allTimes();
        showPeriod();
        lineGrid()->setFocus();
    });
    connect(query_, &QueryFrame::listAllClicked, this, &Haupt::listPeriod);
    connect(query_, &QueryFrame::textChosen, this, &Haupt::listText);
    connect(query_, &QueryFrame::exportClicked, this, &Haupt::exportCsv);
}

void Haupt::listPeriod() {
    query_->clearSelectedText();
    tabs_->setTabEnabled(1, true);
    hidePanel();
    const Listings::Outcome r = listings_.listPeriod(lines_, dialogs_);
    linePage_->reload();
    if (r == Listings::Outcome::Corrected)
        return;
    lineGrid()->setFocus();
    arm(kRecompute, [this] { recomputeDayView(); });
    arm(kCarriedIn, [this] { showCarriedIn(); });
}

void Haupt::listText(const QString& text) {
    tabs_->setTabEnabled(1, false);
    if (listings_.listText(lines_, text, dialogs_) != Listings::Outcome::Listed)
        return;
    hidePanel();
    linePage_->reload();
    arm(kRecompute, [this] { recomputeDayView(); });
}

void Haupt::correctData() {
    hidePanel();
    DataCorrection::run(lines_, dialogs_);
    linePage_->reload();
}

ListingState Haupt::currentListing() const {
    ListingState s = listings_.state(days_.currentDate(), carried_, totals_);
    s.selectedText = bookingTextSelector()->currentText();
    return s;
}

void Haupt::exportCsv() {
    const QString work = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    CsvExport::run(lines_, currentListing(), settings_.rate1(), settings_.rate2(),
                   s_.store->get(SettingsStore::startup(), paths::kDataPathKey, s_.dataPath), work,
                   dialogs_);
}

} // namespace tb
