#include "query_controller.h"

#include "audit_trail.h"
#include "cash_date.h"
#include "csv_export.h"
#include "data_paths.h"
#include "printing.h"
#include "query_frame.h"
#include "stored_counts.h"
#include "till_count_page.h"
#include "value_display.h"

#include <QStandardPaths>

namespace tb {

QueryController::QueryController(QueryFrame& frame, DayPresenter& day, QueryServices services,
                                 QObject* parent)
    : QObject(parent), frame_(frame), day_(day), s_(std::move(services)), dialogs_(*s_.dialogs) {
    Listings& listings = day_.listings();
    connect(&frame_, &QueryFrame::periodStartClicked, this, [this, &listings] {
        listings.pickStart(dialogs_, *s_.clock);
        showPeriod();
    });
    connect(&frame_, &QueryFrame::periodEndClicked, this, [this, &listings] {
        listings.pickEnd(dialogs_, *s_.clock);
        showPeriod();
    });
    connect(&frame_, &QueryFrame::allTimesClicked, this, [this, &listings] {
        listings.allTimes();
        showPeriod();
        emit gridFocusWanted();
    });
    connect(&frame_, &QueryFrame::listAllClicked, this, &QueryController::listPeriod);
    connect(&frame_, &QueryFrame::textChosen, this, &QueryController::listText);
    connect(&frame_, &QueryFrame::exportClicked, this, &QueryController::exportCsv);
    connect(&frame_, &QueryFrame::printClicked, this, &QueryController::printCashBook);
}

void QueryController::showPeriod() {
    frame_.setPeriod(day_.listings().periodStart(), day_.listings().periodEnd());
}

void QueryController::listPeriod() {
    if (!s_.entries->leaveNewEntry())
        return;
    frame_.clearSelectedText();
    emit tillCountAllowed(true);
    emit listingStarts();
    if (day_.listPeriod() == Listings::Outcome::Corrected) {
        afterCorrection();
        return;
    }
    emit gridFocusWanted();
    emit figuresWanted(true);
}

void QueryController::listText(const QString& text) {
    if (!s_.entries->leaveNewEntry())
        return;
    emit tillCountAllowed(false);
    // Listed or not, the grid stays as it is until a text is listed.
    if (day_.listText(text) != Listings::Outcome::Listed)
        return;
    emit listingStarts();
    emit figuresWanted(false);
}

void QueryController::correctData() {
    if (!s_.entries->leaveNewEntry())
        return;
    emit listingStarts();
    day_.correctData();
    afterCorrection();
}

void QueryController::afterCorrection() {
    // Removed lines took their amounts with them: every balance is computed anew.
    day_.invalidateBalances();
    emit figuresWanted(false);
}

void QueryController::exportCsv() {
    const QString work = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    CsvExport::run(day_.lines(), day_.currentListing(), s_.settings->rate1(), s_.settings->rate2(),
                   s_.store->get(SettingsStore::startup(), paths::kDataPathKey, s_.dataPath), work,
                   dialogs_);
}

PrintSettings QueryController::printSettings() const {
    PrintSettings p;
    const SettingsRecord& settings = *s_.settings;
    p.currency = settings.currency();
    p.rate1 = settings.rate1();
    p.rate2 = settings.rate2();
    p.noTax = settings.noTax();
    p.numberCaption = settings.caption(5);
    p.receiptCaption = settings.caption(3);
    p.paymentCaption = settings.caption(4);
    if (s_.db)
        p.logFooter = AuditTrail::head(*s_.db).footer();
    return p;
}

void QueryController::printCashBook() {
    // What the grid lists as the button is pressed: the activation after the printer choice
    // sets the kind back to "Tag", and must not change what is printed.
    const ListingState listing = day_.currentListing();
    const std::vector<PrintRow> rows = printRows(day_.lines(), listing.carriedIn);
    const PrintSettings settings = printSettings();
    if (rows.empty()) {
        dialogs_.message(QStringLiteral("Keine Daten vorhanden"), {}, Icon::Information);
        return;
    }
    const int copies = dialogs_.choosePrinter(Printing::currentPrinter(), 1);
    if (copies <= 0)
        return;
    s_.printer->print([&](int) { return cashBookPages(rows, listing, settings); }, copies,
                      CsvExport::baseName(listing) + QStringLiteral(".pdf"));
}

void QueryController::followTillCount(TillCountPage& page) {
    connect(&page, &TillCountPage::printClicked, this,
            [this, &page] { printCountingProtocol(page); });
    connect(&page, &TillCountPage::storeClicked, this, [this, &page] { storeCount(page); });
}

void QueryController::printCountingProtocol(const TillCountPage& page) {
    // The protocol reads no number of copies: one, also when the choice was cancelled.
    dialogs_.choosePrinter(Printing::currentPrinter(), 1);
    const QDateTime now = s_.clock->now();
    const PrintDocument doc = countingProtocol(page.figures(), s_.settings->currency(), now);
    s_.printer->print([&](int) { return doc; }, 1,
                      QStringLiteral("Zählprotokoll ") + cashdate::toText(now.date()) +
                          QStringLiteral(".pdf"));
}

void QueryController::storeCount(TillCountPage& page) {
    page.showDifference();
    const StoredCounts::Kept kept = StoredCounts::storeAndAsk(
        *s_.db, dialogs_, *s_.clock, day_.days().currentDate(), page.counts(),
        Money::parseOrZero(page.counted()->text()), Money::parseOrZero(page.expected()->text()));
    if (kept.count)
        page.setStoredTitle(kept.count->title());
    if (kept.bookDifference)
        s_.entries->bookDifference(kept.count->difference);
}

} // namespace tb
