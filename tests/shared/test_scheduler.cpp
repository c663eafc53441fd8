#include "scheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using tb::ManualScheduler;

TEST(ManualScheduler, RunsByDueTimeThenArmingOrderAndOnlyOnce) {
    ManualScheduler s;
    int runs = 0;
    s.arm("b", 100, [&] { ++runs; });
    s.arm("a", 50, [] {});
    s.arm("b", 10, [&] { runs += 100; }); // armed already: no second run, delay unchanged
    s.arm("c", 100, [&] { s.arm("d", 20, [] {}); });
    s.advance(99);
    EXPECT_EQ(s.log, QStringList({"a"}));
    s.advance(100);
    EXPECT_EQ(s.log, QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(s.logTimes.back(), 120);
}

TEST(ManualScheduler, DisarmedJobDoesNotRunAndCanBeArmedAgain) {
    ManualScheduler s;
    int runs = 0;
    s.arm("x", 700, [&] { ++runs; });
    s.disarm("x");
    EXPECT_FALSE(s.isArmed("x"));
    s.advance(1000);
    EXPECT_EQ(runs, 0);
    s.arm("x", 700, [&] { ++runs; });
    s.advance(700);
    EXPECT_EQ(runs, 1);
}

TEST(TimerScheduler, WaitsWhileAModalDialogIsOpen) {
    tb::TimerScheduler s;
    bool modal = true;
    s.modalOpen = [&] { return modal; };
    int runs = 0;
    s.arm("job", 5, [&] { ++runs; });
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 80)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(s.isArmed("job"));
    modal = false;
    while (t.elapsed() < 200 && runs == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(runs, 1);
}
