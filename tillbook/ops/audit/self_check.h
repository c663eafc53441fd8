#pragma once

#include "database.h"
#include "print_layout.h"
#include "progress.h"

#include <QByteArray>
#include <QDate>
#include <array>
#include <vector>

namespace tb {

// One check of the self-check: its title, the one-line verdict and the findings, each with
// the lines it concerns.
struct CheckResult {
    QString title;
    QString verdict;
    QStringList findings;
};

// The digit test of the receipts: how often each last digit before the decimal comma occurs.
struct DigitTest {
    std::array<qint64, 10> counts{};
    qint64 values = 0;
    double chiSquare = 0; // against an even distribution; not money
    bool enough() const { return values >= kFewest; }
    bool striking() const { return enough() && chiSquare > kCritical; }
    static constexpr qint64 kFewest = 50;
    static constexpr double kCritical = 16.919; // 5 %, 9 degrees of freedom
    // The receipts' last digits before the comma, and the statistic.
    static DigitTest of(const std::vector<qint64>& receiptCents);
};

// "Kassenprüfung": the checks an auditor runs first, over the lines of a period.
struct SelfCheckReport {
    QDate from, to;
    std::vector<CheckResult> checks;
    DigitTest digits;
    bool stopped = false; // "Abbrechen"

    QString title() const; // "Kassenprüfung 01.01.2024 bis 31.12.2024"
    // The report as plain text (the window), as CSV (check; verdict; finding) in Windows-1252
    // and on paper.
    QString text() const;
    QString csv() const;
    PrintDocument pages() const;
};

class SelfCheck {
  public:
    // Lines that go into the check 3 when entered later than this after their date.
    static constexpr int kLateDays = 10;
    static SelfCheckReport run(Database& db, const QDate& from, const QDate& to,
                               Progress& progress);
    static SelfCheckReport run(Database& db, const QDate& from, const QDate& to) {
        NoProgress none;
        return run(db, from, to, none);
    }
    // "keine Auffälligkeiten", "1 Auffälligkeit", "3 Auffälligkeiten".
    static QString verdict(qint64 findings);
    // What the digit test means, in one plain sentence.
    static QString digitExplanation();
};

} // namespace tb
