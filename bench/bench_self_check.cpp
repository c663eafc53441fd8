// The self-check ("Kassenprüfung") over a whole generated book of 60 000 lines (ten years of
// a small shop) and of 1 000 000 lines: every check, the log's chain check included.
#include "book_generator.h"
#include "self_check.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

using namespace tb;

namespace {
struct Book {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
};

Database& bookOf(int lines) {
    static std::map<int, std::unique_ptr<Book>> books;
    auto& b = books[lines];
    if (!b) {
        b = std::make_unique<Book>();
        const QString path = b->dir.path() + "/bench.kas";
        bench::generateBook(path, lines);
        b->db = Database::open(path, {});
    }
    return *b->db;
}

void BM_SelfCheckWholeBook(benchmark::State& state) {
    Database& db = bookOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const SelfCheckReport r = SelfCheck::run(db, {}, {});
        if (r.checks.size() != 7)
            state.SkipWithError("not every check ran");
        state.counters["receipts"] = static_cast<double>(r.digits.values);
    }
}
} // namespace

BENCHMARK(BM_SelfCheckWholeBook)->Arg(60000)->Arg(1000000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
