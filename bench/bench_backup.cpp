// The end of a run on a 10-year book (60 000 lines): the password back on, the weekday copy
// written and verified, as the main window's close does it.
#include "backup.h"
#include "book_generator.h"
#include "cash_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tb;

namespace {
void BM_EndOfRun(benchmark::State& state) {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    const QString data = dir.path() + "/Tillbook.kas";
    bench::generateBook(data, static_cast<int>(state.range(0)));
    QDir().mkpath(dir.path() + "/Backup");
    SettingsStore store;
    store.save("Startup", "Sicherung", dir.path() + "/Backup/Tillbook.kas");
    HeadlessDialogs dialogs;
    SystemClock clock;
    for (auto _ : state) {
        state.PauseTiming();
        cashfile::removePassword(data); // as during the run
        state.ResumeTiming();
        Backup backup(store, dialogs, clock, data, data);
        if (backup.endOfRun() != Backup::Outcome::Done)
            state.SkipWithError("the backup failed");
    }
    state.counters["MB"] = static_cast<double>(QFileInfo(data).size()) / 1e6;
}
BENCHMARK(BM_EndOfRun)->Arg(60000)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
