// The change log on generated books:
// - the check ("Prüfen") of the log of a book of 60 000 and 1 000 000 lines (as many entries
//   and more: every line, every day, the beginning);
// - what the log of a 10-year book adds to the file: 60 000 lines, their days and some 37 000
//   done marks set later (about 100 000 entries), the file at rest (password on, compacted by
//   the rewrite) with and without its log. Counters: MB with and without, "added_percent".
#include "book_generator.h"
#include "cash_file.h"
#include "change_log.h"
#include "trail_check.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tb;

namespace {
void BM_CheckLog(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/bench.kas";
    bench::generateBook(path, static_cast<int>(state.range(0)));
    auto db = Database::open(path, {});
    LogCheck last;
    for (auto _ : state)
        last = LogCheck::run(*db);
    if (!last.whole())
        state.SkipWithError(last.text().toUtf8().constData());
    state.counters["entries"] = static_cast<double>(last.entries);
}
BENCHMARK(BM_CheckLog)->Arg(60000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_LogSize(benchmark::State& state) {
    QTemporaryDir dir;
    const QString with = dir.path() + "/mit.kas";
    const QString without = dir.path() + "/ohne.kas";
    double entries = 0;
    for (auto _ : state) {
        bench::generateBook(with, static_cast<int>(state.range(0)));
        {
            auto db = Database::open(with, {});
            changelog::ReasonScope reason(*db, changelog::Reason::DoneMark);
            db->exec("UPDATE Buchungen SET a3 = 'V', a12 = '' WHERE ID % 8 < 5 AND a3 = '';");
            entries = db->scalar("SELECT count(*) FROM Protokoll;").toDouble();
        }
        QFile::remove(without);
        QFile::copy(with, without);
        {
            auto db = Database::open(without, {});
            changelog::dropTriggers(*db);
            db->exec("DROP TABLE Protokoll;");
        }
        // At rest: the password on, which rewrites (and so compacts) both files.
        cashfile::putPasswordBack(with);
        cashfile::putPasswordBack(without);
    }
    const double a = static_cast<double>(QFileInfo(with).size());
    const double b = static_cast<double>(QFileInfo(without).size());
    state.counters["entries"] = entries;
    state.counters["with_MB"] = a / 1e6;
    state.counters["without_MB"] = b / 1e6;
    state.counters["added_percent"] = (a - b) / b * 100;
}
BENCHMARK(BM_LogSize)->Arg(60000)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
