// The main window on a generated 10-year book (60 000 lines, 300 booking texts), off screen:
// each benchmark is one event (activation, F9 on a line, a step down the day list, a booking
// text chosen in the selector, the listing of every line) with every deferred job it arms.
// The counters name the slowest job of the event in milliseconds ("slowest_ms"), so each job
// can be held against the 50 ms a window may take before it stutters.
//
// BM_ListEveryLine/1000000 lists every line of a million-line book that falls into the listed
// years (the generated book runs past 2099) and reports the peak resident memory of the
// process ("peak_rss_mb").
#include "book_generator.h"
#include "haupt.h"
#include "query_controller.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

using namespace tb;

namespace {
// Runs armed jobs at once in due order and times each.
class TimedScheduler : public ManualScheduler {
  public:
    void arm(const QString& name, int delayMs, std::function<void()> job) override {
        ManualScheduler::arm(name, delayMs, [this, name, job = std::move(job)] {
            QElapsedTimer t;
            t.start();
            job();
            const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
            slowest = std::max(slowest, ms);
            if (ms >= slowest)
                slowestName = name;
        });
    }
    double slowest = 0;
    QString slowestName;
};

// The booking-text picker that shows nothing: no modal window stops the run.
struct NoPicker : BookingTextPicker {
    void pick(bool, const QString&, const std::function<void(const QString&)>&) override {}
} noPicker;

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    HeadlessDialogs dialogs{Answer::No};
    FixedClock clock{QDateTime::currentDateTime()};
    TimedScheduler scheduler;
    SettingsStore store;
    std::unique_ptr<Haupt> w;

    explicit Window(int lines) {
        const QString path = dir.path() + "/Tillbook.kas";
        bench::generateBook(path, lines);
        db = Database::open(path, {});
        w = std::make_unique<Haupt>(HauptServices{db.get(), &dialogs, &clock, &scheduler, &store,
                                                  path, nullptr, nullptr, &noPicker});
        w->show();
        w->activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(w.get());
        w->activate();
        scheduler.runAll();
    }
};

// One window at a time: a book of another size replaces it. Closed before the application.
std::unique_ptr<Window> window;

Window& windowOf(int lines) {
    static int size = 0;
    if (!window || size != lines) {
        window.reset();
        window = std::make_unique<Window>(lines);
        size = lines;
    }
    return *window;
}

void report(benchmark::State& state, Window& win) {
    state.counters["slowest_ms"] = win.scheduler.slowest;
    state.SetLabel(win.scheduler.slowestName.toStdString());
}

template <typename Event> void timeEvent(benchmark::State& state, Event event) {
    Window& win = windowOf(60000);
    win.scheduler.slowest = 0;
    for (auto _ : state) {
        event(win);
        win.scheduler.runAll();
    }
    report(state, win);
}

void BM_Activation(benchmark::State& state) {
    timeEvent(state, [](Window& win) { win.w->activate(); });
}

void BM_F9OnALine(benchmark::State& state) {
    timeEvent(state, [](Window& win) {
        win.w->findChild<QTableView*>("DBGrid2")->setFocus();
        QTest::keyClick(win.w->findChild<QTableView*>("DBGrid2"), Qt::Key_F9);
    });
}

void BM_DayListStep(benchmark::State& state) {
    int step = 0;
    timeEvent(state, [&](Window& win) {
        win.w->findChild<QTableView*>("DBGrid1")->setFocus();
        QTest::keyClick(win.w->findChild<QTableView*>("DBGrid1"),
                        ++step % 2 ? Qt::Key_Down : Qt::Key_Up);
    });
}

void BM_BookingTextChosen(benchmark::State& state) {
    int step = 0;
    timeEvent(state, [&](Window& win) {
        auto* selector = win.w->findChild<QComboBox*>(QStringLiteral("Combo4"));
        win.w->queries().listText(selector->itemText(1 + ++step % (selector->count() - 1)));
    });
}

void BM_ListEveryLine(benchmark::State& state) {
    Window& win = windowOf(static_cast<int>(state.range(0)));
    win.scheduler.slowest = 0;
    for (auto _ : state) {
        win.w->queries().listPeriod();
        win.scheduler.runAll();
    }
    report(state, win);
    state.counters["lines"] = win.w->lines().recordCount();
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                state.counters["peak_rss_mb"] =
                    line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
}
} // namespace

BENCHMARK(BM_Activation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_F9OnALine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DayListStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BookingTextChosen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListEveryLine)->Arg(60000)->Unit(benchmark::kMillisecond);
// Last: the memory of the million-line book is measured with nothing else of its size loaded.
BENCHMARK(BM_ListEveryLine)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window keeps its settings in a home of its own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    window.reset();
    return 0;
}
