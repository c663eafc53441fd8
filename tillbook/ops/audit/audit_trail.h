#pragma once

#include "change_log.h"
#include "database.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tb {

// One entry of the change log as it is read.
struct LogEntry {
    qint64 number = 0;
    qint64 time = 0; // seconds since 1970 (UTC)
    int kind = 0;    // changelog::Kind
    int reason = 0;  // changelog::Reason
    qint64 ref = 0;  // the line's, day's or settings row's ID; 0: none
    QString receipt, date;
    QString before, after; // the stored forms
    QByteArray hash;

    QDateTime moment() const { return QDateTime::fromSecsSinceEpoch(time); }
    // "dd.mm.yyyy hh:mm:ss" in local time.
    QString momentText() const;
};

// Which entries to read: a period of entry moments (local dates, both included; invalid:
// open), one kind (0: all), one line (0: any).
struct LogFilter {
    QDate from, to;
    int kind = 0;
    qint64 line = 0;
    bool serviceEditsAndDeletions = false; // only lines changed with the service code, and
                                           // deleted lines and days
};

// The head of the chain: how many entries, the last number and its Pruefsumme.
struct LogHead {
    qint64 entries = 0;
    qint64 last = 0;
    QByteArray hash;
    // The hash shortened for people: its first 16 hex digits and "…".
    QString shortHash() const;
    // "Änderungsprotokoll: 1 234 Einträge, letzte Prüfsumme 3f9a…" (the printed cash book's
    // footer); "" for a book without log.
    QString footer() const;
};

// Reading the change log, and its entries in German for the window, the printout and the
// export. For the check see LogCheck.
class AuditTrail {
  public:
    // The numbers of the entries the filter takes, newest first.
    static std::vector<qint64> numbers(Database& db, const LogFilter& filter);
    // The entries the filter takes, oldest first.
    static std::vector<LogEntry> read(Database& db, const LogFilter& filter);
    static std::optional<LogEntry> entry(Database& db, qint64 number);
    static LogHead head(Database& db);

    // When a line was entered (its first entry), from the log; nullopt when the log does
    // not say (a line from before the log).
    static std::optional<QDateTime> entryTime(Database& db, qint64 lineId);
    // The same for every line at once: line ID -> seconds since 1970.
    static std::unordered_map<qint64, qint64> entryTimes(Database& db);

    // The kinds and reasons in words.
    static QString kindText(int kind);
    static QString reasonText(int reason);
    // The German caption of a column of a table ("Einnahme" for Buchungen.a4).
    static QString caption(int kind, const QString& column);
    // A stored form in words: "Einnahme: 12,50; Bemerkung: Kasse".
    static QString formText(int kind, const QString& form);
    // What the entry records in words: the content of a new or deleted row, "Einnahme:
    // 12,50 → 15,00" for each changed column, the figures of the other kinds.
    static QString changeText(const LogEntry& e);
    // The kind with the reason, as the window shows it: "Zeile geändert (Stornierung)".
    static QString kindWithReason(const LogEntry& e);
    static QString lineName(qint64 id, const QString& receipt, const QString& date);
    // A count in groups of three digits ("1 234", with blanks that do not break).
    static QString grouped(qint64 n);
    // "1 Eintrag", "1 234 Einträge".
    static QString entriesText(qint64 n);
};

} // namespace tb
