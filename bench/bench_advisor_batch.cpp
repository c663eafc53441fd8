// The tax advisor's booking batch of a whole book (every line of the period, every booking text
// with an account of its own so the lines without VAT can be booked): checked, written beside
// its target and put in place. The memory counter is how far the resident size rose above
// where it stood before the export, sampled at every progress step: it stays the same for a
// book ten times the size, because the lines are read one date at a time.
#include "advisor_batch.h"
#include "book_generator.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tb;

namespace {
// Every file of the batch under its proposed name in the proposed folder.
struct SaveBeside : HeadlessDialogs {
    QString saveFile(const QString&, const QString& preset, const QString&) override {
        return preset;
    }
};

// A generated book whose every booking text has an account of its own.
std::unique_ptr<Database> bookWithAccounts(const QString& path, int lines, bool oneYear) {
    bench::generateBook(path, lines);
    auto db = Database::open(path, {});
    if (oneYear) // the same days, all in one year: one file of the whole book
        db->exec("UPDATE Buchungen SET a10 = substr(a10, 1, 6) || '2016';");
    HeadlessDialogs dialogs;
    AdvisorSettings s;
    s.advisor = "29098";
    s.client = "55003";
    for (const QString& text : AdvisorAccounts::bookingTexts(*db))
        s.texts.push_back({text, "4980", false, {}});
    AdvisorAccounts(*db, dialogs).save(s);
    return db;
}

void run(benchmark::State& state, bool oneYear) {
    QTemporaryDir dir;
    auto db =
        bookWithAccounts(dir.path() + "/bench.kas", static_cast<int>(state.range(0)), oneYear);
    SaveBeside dialogs;
    SystemClock clock;
    qint64 growth = 0;
    qint64 files = 0;
    for (auto _ : state) {
        bench::RssSampling sampling;
        const qint64 before = bench::residentKb();
        sampling.peak = before;
        AdvisorBatch batch(*db, dialogs, clock, &sampling);
        if (batch.run("01.01.2012", "31.12.2099", dir.path()) != AdvisorBatch::Outcome::Written)
            state.SkipWithError("the export failed");
        growth = std::max(growth, sampling.peak - before);
        files = batch.written().size();
    }
    state.counters["files"] = static_cast<double>(files);
    state.counters["rss_growth_MB"] = static_cast<double>(growth) / 1024.0;
}

// The book's lines over its years: one file per fiscal year.
void BM_AdvisorBatch(benchmark::State& state) {
    run(state, false);
}
BENCHMARK(BM_AdvisorBatch)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The largest file the advisor's import takes: 99 999 bookings of one year.
void BM_AdvisorBatchOneFile(benchmark::State& state) {
    run(state, true);
}
BENCHMARK(BM_AdvisorBatchOneFile)->Arg(99999)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
