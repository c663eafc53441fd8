// The auditor's export of a whole book with its change log (one entry for every line as it
// was entered): every table written, described and put in place. The memory counter is how far
// the resident size rose while it ran, sampled at every progress step.
#include "auditor_export.h"
#include "book_generator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tb;

namespace {

void BM_AuditorExport(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/bench.kas";
    bench::generateBook(path, static_cast<int>(state.range(0)));
    auto db = Database::open(path, {});
    db->exec("CREATE TABLE Protokoll (ID INTEGER PRIMARY KEY AUTOINCREMENT, Zeit INTEGER, Art "
             "INTEGER, Anlass INTEGER, Bezug INTEGER, Beleg TEXT, Datum TEXT, Vorher TEXT, "
             "Nachher TEXT, Pruefsumme BLOB);"
             "INSERT INTO Protokoll (Zeit, Art, Anlass, Bezug, Beleg, Datum, Vorher, Nachher, "
             "Pruefsumme) SELECT 1500000000 + ID * 60, 1, 1, ID, a8, a10, '', 'n1=' || n1 || "
             "';a4=' || coalesce(a4, ''), randomblob(32) FROM Buchungen ORDER BY ID;");
    HeadlessDialogs dialogs;
    SystemClock clock;
    qint64 growth = 0;
    for (auto _ : state) {
        bench::RssSampling sampling;
        const qint64 before = bench::residentKb();
        sampling.peak = before;
        AuditorExport out(*db, dialogs, clock, &sampling);
        if (out.writeInto(dir.path(), "01.01.2012", "31.12.2099") !=
            AuditorExport::Outcome::Written)
            state.SkipWithError("the export failed");
        growth = std::max(growth, sampling.peak - before);
        state.PauseTiming();
        QDir(out.written()).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["rss_growth_MB"] = static_cast<double>(growth) / 1024.0;
}
BENCHMARK(BM_AuditorExport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
