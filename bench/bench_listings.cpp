// The query frame on a 10-year book (60 000 lines, 300 booking texts): the refill of the
// booking-text selector (at every activation and after every picker close), and a period
// listing of every line with its totals and the carried-in balance.
#include "book_generator.h"
#include "booking_texts.h"
#include "day_view.h"
#include "listings.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tb;

namespace {
Database& book() {
    static QTemporaryDir dir;
    static std::unique_ptr<Database> db = [] {
        const QString path = dir.path() + "/bench.kas";
        bench::generateBook(path, 60000);
        return Database::open(path, {});
    }();
    return *db;
}

void BM_FillTextSelector(benchmark::State& state) {
    Database& db = book();
    for (auto _ : state)
        benchmark::DoNotOptimize(BookingTexts::openLineTexts(db));
    state.counters["texts"] = static_cast<double>(BookingTexts::openLineTexts(db).size());
}
BENCHMARK(BM_FillTextSelector)->Unit(benchmark::kMillisecond);

void BM_PeriodListingWithTotals(benchmark::State& state) {
    Database& db = book();
    HeadlessDialogs dialogs;
    DataView grid(&db, "Buchungen");
    Listings listings;
    for (auto _ : state) {
        listings.listPeriod(grid, dialogs);
        benchmark::DoNotOptimize(computeDayTotals(grid));
        benchmark::DoNotOptimize(Listings::carriedIn(grid, db, {}));
    }
    state.counters["lines"] = grid.recordCount();
}
BENCHMARK(BM_PeriodListingWithTotals)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
