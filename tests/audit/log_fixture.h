#pragma once

#include "audit_trail.h"
#include "change_log.h"
#include "clock.h"
#include "scripted_dialogs.h"
#include "temp_book.h"
#include "trail_check.h"

#include <gtest/gtest.h>

namespace tb::test {

// A book whose log takes its moments from a fixed clock.
struct LogFixture : ::testing::Test {
    TempHome home;
    FixedClock clock{QDateTime(QDate(2024, 3, 1), QTime(9, 30, 15))};
    std::unique_ptr<TempBook> bookHolder;
    ScriptedDialogs dialogs;

    void SetUp() override {
        changelog::setClock(&clock);
        bookHolder = std::make_unique<TempBook>();
    }
    void TearDown() override { changelog::setClock(nullptr); }
    TempBook& book() { return *bookHolder; }
    Database& db() { return bookHolder->db(); }

    std::vector<LogEntry> entries() { return AuditTrail::read(db(), {}); }
    LogEntry last() { return entries().back(); }
    qint64 count() { return AuditTrail::head(db()).entries; }
    // Runs SQL as someone who has dropped the rule that entries are never changed.
    void tamper(const QString& sql) {
        ASSERT_TRUE(db().exec("DROP TRIGGER IF EXISTS Protokoll_unveraenderlich; DROP TRIGGER IF "
                              "EXISTS Protokoll_unloeschbar; DROP TRIGGER IF EXISTS "
                              "Protokoll_Kette;"));
        const Result done = db().exec(sql);
        ASSERT_TRUE(done.ok()) << germanText(done).toStdString();
    }
};

} // namespace tb::test
