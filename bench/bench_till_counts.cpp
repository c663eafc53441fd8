// The kept counts of the till on a book of 60 000 lines that holds ten years of them (one
// count every business day, 3 000 records):
// - keeping one more ("Zählung speichern"): the record and its entry in the change log, in
//   one transaction flushed to disk, as the program does it;
// - the window "Zählungen": every kept count read and turned into its list rows, and one
//   month of them (the period a list is printed for).
#include "book_generator.h"
#include "stored_counts.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace tb;

namespace {
constexpr int kCounts = 3000;

struct Book {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
};

TillCount::Texts someCounts(int n) {
    TillCount::Texts t;
    for (int i = 0; i < TillCount::kLines; ++i)
        t[static_cast<size_t>(i)] = (n + i) % 4 ? QString::number((n * 7 + i) % 23) : QString();
    return t;
}

Database& book() {
    static std::unique_ptr<Book> b;
    if (b)
        return *b->db;
    b = std::make_unique<Book>();
    const QString path = b->dir.path() + "/bench.kas";
    bench::copyBook(bench::generatedBook(60000), path);
    b->db = Database::open(path, {});
    // Ten years of counts, written at once (keeping them one by one would flush 3 000 times).
    Transaction t(*b->db);
    Statement st = b->db->prepare(
        "INSERT INTO Zaehlungen (Zeit, Tag, Anzahl1, Anzahl2, Anzahl3, Anzahl4, Anzahl5, "
        "Anzahl6, Anzahl7, Anzahl8, Anzahl9, Anzahl10, Anzahl11, Anzahl12, Anzahl13, Anzahl14, "
        "Anzahl15, Gezaehlt, Buchbestand, Differenz) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
        "?, ?, ?, ?, ?, ?, ?, ?, ?);");
    QDate day(2016, 1, 4);
    for (int n = 0; n < kCounts; ++n, day = day.addDays(day.dayOfWeek() == 6 ? 2 : 1)) {
        const QString d = day.toString("dd.MM.yyyy");
        QStringList values{d + " 18:30:00", d};
        for (const QString& c : someCounts(n))
            values << c;
        values << "1234,50"
               << "1234,00"
               << "0,50";
        st.bindAll(values);
        st.run();
        st.reset();
    }
    t.commit();
    return *b->db;
}

struct FixedClock : Clock {
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 2), QTime(18, 45)); }
};

void BM_KeepACount(benchmark::State& state) {
    Database& db = book();
    HeadlessDialogs dialogs;
    FixedClock clock;
    int n = 0;
    for (auto _ : state) {
        const auto kept = StoredCounts::store(db, dialogs, clock, "02.03.2026", someCounts(++n),
                                              Money::fromCents(123450), Money::fromCents(123400));
        if (!kept)
            state.SkipWithError("the count was not kept");
    }
}

void BM_ListEveryCount(benchmark::State& state) {
    Database& db = book();
    size_t rows = 0;
    for (auto _ : state) {
        const std::vector<StoredCount> counts = StoredCounts::read(db);
        for (const StoredCount& c : counts)
            benchmark::DoNotOptimize(StoredCounts::listRow(c));
        rows = counts.size();
    }
    state.counters["counts"] = static_cast<double>(rows);
}

void BM_ListOneMonth(benchmark::State& state) {
    Database& db = book();
    size_t rows = 0;
    for (auto _ : state) {
        const std::vector<StoredCount> counts =
            StoredCounts::read(db, QDate(2020, 3, 1), QDate(2020, 3, 31));
        for (const StoredCount& c : counts)
            benchmark::DoNotOptimize(StoredCounts::listRow(c));
        rows = counts.size();
    }
    state.counters["counts"] = static_cast<double>(rows);
}
} // namespace

BENCHMARK(BM_KeepACount)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_ListEveryCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListOneMonth)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
