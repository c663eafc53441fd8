// One recompute of the running balance over books of 10 000, 100 000 and 1 000 000 lines:
// after nothing changed, after one changed line on the newest day, and after one changed line
// on the oldest day (which moves every stored balance after it).
#include "cash_date.h"
#include "cash_file.h"
#include "day_view.h"

#include <QDir>
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
    qint64 newest = 0;
};

Book& bookOf(int lines) {
    static std::map<int, std::unique_ptr<Book>> books;
    auto& b = books[lines];
    if (b)
        return *b;
    b = std::make_unique<Book>();
    const QString path = b->dir.path() + "/bench.kas";
    cashfile::createEmpty(path);
    b->db = Database::open(path, {});
    Transaction t(*b->db);
    Statement st = b->db->prepare(
        "INSERT INTO Buchungen (a1, n1, a4, a5, a10, a11, a12, a15) VALUES ('', 'Text', ?, ?, ?, "
        "?, 'O', '0');");
    const QDate start(2015, 1, 1);
    const int perDay = 40;
    for (int i = 0; i < lines; ++i) {
        const QString date = cashdate::toText(start.addDays(i / perDay));
        const bool receipt = i % 3 != 0;
        st.bindAll({receipt ? Money::fromCents(1000 + i % 5000).toText() : QString(),
                    receipt ? QString() : Money::fromCents(700 + i % 900).toText(), date,
                    cashdate::key8(date)});
        st.run();
        st.reset();
    }
    t.commit();
    b->oldest = b->db->scalar("SELECT min(ID) FROM Buchungen;").toLongLong();
    b->newest = b->db->scalar("SELECT max(ID) FROM Buchungen;").toLongLong();
    RunningBalance::recompute(*b->db, {});
    return *b;
}

void changeLine(Book& b, qint64 id, int round) {
    Statement st = b.db->prepare("UPDATE Buchungen SET a4 = ?, a5 = '' WHERE ID = ?;");
    st.bind(1, Money::fromCents(1000 + round % 2).toText());
    st.bind(2, id);
    st.run();
}

void BM_RecomputeUnchanged(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const BalanceResult r = RunningBalance::recompute(*b.db, {});
        if (r.written != 0)
            state.SkipWithError("an unchanged book was written");
    }
}

void BM_RecomputeAfterNewestChanged(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        changeLine(b, b.newest, ++round);
        state.ResumeTiming();
        benchmark::DoNotOptimize(RunningBalance::recompute(*b.db, {}));
    }
}

void BM_RecomputeAfterOldestChanged(benchmark::State& state) {
    Book& b = bookOf(static_cast<int>(state.range(0)));
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        changeLine(b, b.oldest, ++round);
        state.ResumeTiming();
        const BalanceResult r = RunningBalance::recompute(*b.db, {});
        state.counters["written"] = r.written;
    }
}
} // namespace

BENCHMARK(BM_RecomputeUnchanged)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecomputeAfterNewestChanged)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecomputeAfterOldestChanged)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
