// The end of a run and its parts, on generated books of 60 000, 150 000 and 1 000 000 lines:
// - PasswordOn:  the password put back on the data file (the rewrite at the end of a run),
// - PasswordOff: the password taken off (the rewrite at the start),
// - PlainCopy:   the bytes of the keyed file copied and flushed, nothing checked,
// - WeekdayCopy: the weekday copy of a keyed file written and verified (Backup::copyTo),
// - EndOfRun:    all of it, as the main window's close does it.
// Each iteration starts from a fresh copy of the book and derives its keys anew; the counter
// "MB" is the file's size.
// TILLBOOK_BENCH_BOOKS=<folder> keeps the generated books for later runs.
#include "backup.h"
#include "book_generator.h"
#include "cash_file.h"
#include "page_cipher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

using namespace tb;

namespace {
// The generated book with its password on, made once per size.
QString keyedBook(int lines) {
    static QTemporaryDir dir;
    static std::map<int, QString> made;
    QString& path = made[lines];
    if (path.isEmpty()) {
        path = dir.path() + QStringLiteral("/keyed-%1.kas").arg(lines);
        bench::copyBook(bench::generatedBook(lines), path);
        cashfile::putPasswordBack(path);
    }
    return path;
}

// A data file and a backup folder, with the backup path stored as the program stores it.
struct Place {
    QTemporaryDir dir;
    QString data = dir.path() + "/Tillbook.kas";
    QString backup = dir.path() + "/Backup/Tillbook.kas";
    SettingsStore store;
    HeadlessDialogs dialogs;
    SystemClock clock;
    Place() {
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        QDir().mkpath(dir.path() + "/Backup");
        store.save("Startup", "Sicherung", backup);
    }
};

void sizeCounter(benchmark::State& state, const QString& path) {
    state.counters["MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
}

int lines(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

void BM_PasswordOn(benchmark::State& state) {
    Place p;
    for (auto _ : state) {
        state.PauseTiming();
        bench::copyBook(bench::generatedBook(lines(state)), p.data);
        state.ResumeTiming();
        if (!cashfile::putPasswordBack(p.data))
            state.SkipWithError("the password could not be put on");
    }
    sizeCounter(state, p.data);
}

void BM_PasswordOff(benchmark::State& state) {
    Place p;
    for (auto _ : state) {
        state.PauseTiming();
        bench::copyBook(keyedBook(lines(state)), p.data);
        pagecipher::forgetDerivedKeys(); // as in a new process
        state.ResumeTiming();
        if (!cashfile::removePassword(p.data))
            state.SkipWithError("the password could not be taken off");
    }
    sizeCounter(state, p.data);
}

void BM_PlainCopy(benchmark::State& state) {
    Place p;
    bench::copyBook(keyedBook(lines(state)), p.data);
    for (auto _ : state)
        if (!FileCopy(p.data, p.backup).ok())
            state.SkipWithError("the copy failed");
    sizeCounter(state, p.data);
}

void BM_WeekdayCopy(benchmark::State& state) {
    Place p;
    bench::copyBook(keyedBook(lines(state)), p.data);
    for (auto _ : state) {
        state.PauseTiming();
        pagecipher::forgetDerivedKeys(); // the copy of a file this process did not write
        state.ResumeTiming();
        Backup backup(p.store, p.dialogs, p.clock, p.data, p.data);
        if (backup.copyTo(p.backup, true) != Backup::Outcome::Done)
            state.SkipWithError("the copy failed");
    }
    sizeCounter(state, p.data);
}

void BM_EndOfRun(benchmark::State& state) {
    Place p;
    for (auto _ : state) {
        state.PauseTiming();
        bench::copyBook(bench::generatedBook(lines(state)), p.data);
        state.ResumeTiming();
        Backup backup(p.store, p.dialogs, p.clock, p.data, p.data);
        if (backup.endOfRun(true) != Backup::Outcome::Done)
            state.SkipWithError("the backup failed");
    }
    sizeCounter(state, p.data);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(60000)->Arg(150000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
}
BENCHMARK(BM_PasswordOn)->Apply(sizes);
BENCHMARK(BM_PasswordOff)->Apply(sizes);
BENCHMARK(BM_PlainCopy)->Apply(sizes);
BENCHMARK(BM_WeekdayCopy)->Apply(sizes);
BENCHMARK(BM_EndOfRun)->Apply(sizes);
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
