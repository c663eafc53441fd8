// The running balance on generated books of 60 000, 150 000 and 1 000 000 lines:
// - the walk over every line with nothing to write (as at start-up),
// - the walk over every line after the oldest line changed (every stored balance rewritten),
// - a new float: the balance that follows the book rewrites every stored balance,
// - saving a line on the newest day: the balance that follows the book reads that day only.
//   Its counter "full_ms" is a whole walk after the same kind of save, timed in the same run,
//   and "faster" the ratio.
// - the negative-balance check before a save on the newest day, after the save before it was
//   followed: what the check adds to a save.
// - the same save as a whole, the line written (with its entry in the change log, or with the
//   log's triggers dropped for comparison) and the balance followed.
// The books are in the form the program works on (see bench::generatedBook);
// TILLBOOK_BENCH_BOOKS=<folder> keeps them for later runs.
#include "book_generator.h"
#include "change_log.h"
#include "day_view.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

using namespace tb;

namespace {
struct Book {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    qint64 oldest = 0;
    QString newestDate;
};

Book& bookOf(int lines) {
    static std::map<int, std::unique_ptr<Book>> books;
    auto& b = books[lines];
    if (b)
        return *b;
    b = std::make_unique<Book>();
    const QString path = b->dir.path() + "/bench.kas";
    bench::copyBook(bench::generatedBook(lines), path);
    b->db = Database::open(path, {});
    b->oldest = b->db->scalar("SELECT min(ID) FROM Buchungen;").toLongLong();
    b->newestDate = b->db->scalar("SELECT a10 FROM Buchungen ORDER BY ID DESC LIMIT 1;");
    return *b;
}

const Money kFloat = Money::fromCents(15000);

void changeOldest(Book& b, int round) {
    Statement st = b.db->prepare("UPDATE Buchungen SET a4 = ?, a5 = '' WHERE ID = ?;");
    st.bind(1, Money::fromCents(1000 + round % 2).toText());
    st.bind(2, b.oldest);
    st.run();
}

void bookOnNewestDay(Book& b, int round) {
    Statement st = b.db->prepare(
        "INSERT INTO Buchungen (n1, a4, a10, a12, a15) VALUES ('Bareinnahme', ?, ?, 'O', '0');");
    st.bind(1, Money::fromCents(500 + round).toText());
    st.bind(2, b.newestDate);
    st.run();
}

void BM_WholeWalkNothingChanged(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const BalanceResult r = RunningBalance::fullWalk(*b.db, kFloat);
        if (r.written != 0)
            state.SkipWithError("an unchanged book was written");
    }
}

void BM_WholeWalkEveryBalanceChanged(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    // Kept across repetitions: the book is shared, and a round that put back the amount of
    // the one before would leave nothing to write.
    static int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        changeOldest(b, ++round);
        state.ResumeTiming();
        const BalanceResult r = RunningBalance::fullWalk(*b.db, kFloat);
        state.counters["written"] = r.written;
    }
}

// A new float, as the program sets it: the balance that follows the book walks every line and
// rewrites every stored balance.
void BM_FloatChange(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    RunningBalance followed(*b.db);
    followed.recompute(kFloat);
    bool other = false;
    for (auto _ : state) {
        other = !other;
        const BalanceResult r =
            followed.recompute(other ? kFloat + Money::fromCents(1000) : kFloat);
        state.counters["written"] = r.written;
    }
    if (other)
        followed.recompute(kFloat); // the book stays as the other benchmarks expect it
}

void BM_SaveOnNewestDay(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    RunningBalance followed(*b.db);
    followed.recompute(kFloat);
    int round = 0;
    int read = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bookOnNewestDay(b, ++round);
        state.ResumeTiming();
        const BalanceResult r = followed.recompute(kFloat);
        read = r.read;
    }
    // The same save, then the walk over every line.
    bookOnNewestDay(b, ++round);
    QElapsedTimer t;
    t.start();
    RunningBalance::fullWalk(*b.db, kFloat);
    const double fullMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
    followed.invalidate();
    followed.recompute(kFloat);
    state.counters["read"] = read;
    state.counters["full_ms"] = fullMs;
    state.counters["faster"] = benchmark::Counter(
        fullMs / 1e3 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
void BM_GuardBeforeSaveOnNewestDay(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    RunningBalance followed(*b.db);
    followed.recompute(kFloat);
    int round = 0;
    // A payment larger than any balance: the check walks from that day on and finds it.
    const Money large = Money::fromCents(1'000'000'000'000'000);
    for (auto _ : state) {
        state.PauseTiming();
        bookOnNewestDay(b, ++round);
        followed.recompute(kFloat); // the previous save, as the window follows it
        state.ResumeTiming();
        const auto day =
            followed.firstNegativeDay({BalanceShift::on(b.newestDate, -large)}, kFloat);
        if (!day)
            state.SkipWithError("the payment did not take the newest day below zero");
    }
}

void BM_SaveOnNewestDayWithLog(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    const bool logged = state.range(1) != 0;
    if (!logged)
        changelog::dropTriggers(*b.db);
    RunningBalance followed(*b.db);
    followed.recompute(kFloat);
    const qint64 entries = b.db->scalar("SELECT count(*) FROM Protokoll;").toLongLong();
    int round = 0;
    for (auto _ : state) {
        bookOnNewestDay(b, ++round);
        followed.recompute(kFloat);
    }
    state.counters["entries_written"] =
        static_cast<double>(b.db->scalar("SELECT count(*) FROM Protokoll;").toLongLong() - entries);
    if (!logged)
        changelog::installTriggers(*b.db);
}
} // namespace

BENCHMARK(BM_WholeWalkNothingChanged)
    ->Arg(60000)
    ->Arg(150000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeWalkEveryBalanceChanged)
    ->Arg(60000)
    ->Arg(150000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloatChange)->Arg(60000)->Arg(150000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOnNewestDay)->Arg(60000)->Arg(150000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GuardBeforeSaveOnNewestDay)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveOnNewestDayWithLog)
    ->ArgsProduct({{60000, 1000000}, {1, 0}})
    ->ArgNames({"lines", "log"})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
