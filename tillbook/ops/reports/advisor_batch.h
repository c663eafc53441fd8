#pragma once

#include "advisor_accounts.h"
#include "clock.h"
#include "database.h"
#include "dialogs.h"
#include "money.h"
#include "progress.h"

#include <QDate>
#include <QString>
#include <vector>

namespace tb {

class Cp1252Line;
class PeriodLines;

// The booking batch for the tax advisor: the lines of a period as the advisor's accounting
// imports them (semicolon-separated, Windows-1252, CR LF; a header line, the line of column
// names, one line per booking), one file per fiscal year. Receipts debit the cash account
// ("S"), payments credit it ("H"); an amount below zero (a counter-entry) is written positive
// with the other direction. Lines with a marker letter in an amount column and lines without
// an amount are left out and counted.
class AdvisorBatch {
  public:
    static constexpr qint64 kMaxBookings = 99999;
    static constexpr int kTextChars = 60;
    static constexpr int kReceiptChars = 36;

    AdvisorBatch(Database& db, Dialogs& dialogs, const Clock& clock, Progress* progress = nullptr);
    ~AdvisorBatch();

    // "EXTF_Buchungsstapel_<yyyymmdd>_<yyyymmdd>.csv" for the days of one file.
    static QString fileName(const QDate& from, const QDate& to);
    // The 125 column names of the second line.
    static QString columnNames();

    // One file of the batch: the bookings of one fiscal year inside the period.
    struct Part {
        QDate fiscalYear;                  // its first day
        QDate from, to;                    // the period's days inside that year
        size_t firstDate = 0, endDate = 0; // the dates of the period walked for it
        qint64 bookings = 0;
        QString target;
    };
    struct Plan {
        std::vector<Part> parts;
        qint64 lines = 0;           // lines of the cash book that become bookings
        qint64 bookings = 0;        // bookings they become (a line with receipt and payment: two)
        qint64 skippedMarker = 0;   // lines with "K", "U", "S" or "Ü" in an amount column
        qint64 skippedNoAmount = 0; // lines without an amount
        QString refusal;            // why the batch is not written; empty when it can be
    };

    enum class Outcome { Written, Refused, Nothing, Cancelled, Failed };
    // The whole export of the period: checks the accounts and every line, asks where each file
    // goes (folder = where the save dialog starts), writes the files beside their targets and
    // puts them in place only when all are whole, then says what was written and skipped.
    Outcome run(const QString& periodStart, const QString& periodEnd, const QString& folder);

    // The check of the period alone (the first half of run); nothing is written or shown.
    Plan plan(const QString& periodStart, const QString& periodEnd);
    // The files the last run wrote.
    const QStringList& written() const { return written_; }

  private:
    struct Resolver;
    Plan makePlan(PeriodLines& lines, const QString& periodStart, const QString& periodEnd,
                  bool* cancelled);
    Outcome write(PeriodLines& lines, Plan& plan, QString* replaced);
    Cp1252Line headerLine(const Part& part) const;
    Answer tell(const QString& text, Icon icon = Icon::Exclamation, Buttons b = Buttons::Ok);

    Database& db_;
    Dialogs& dialogs_;
    const Clock& clock_;
    Progress silent_;
    Progress& progress_;
    AdvisorSettings settings_;
    QStringList written_;
};

} // namespace tb
