#pragma once

#include "database.h"
#include "dialogs.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace tb {

// The two standard charts of accounts the tax advisor books in.
enum class Chart { Skr03, Skr04 };

// The account one booking text is booked to on the advisor's side.
struct TextAccount {
    QString text;
    QString account; // empty: the default account of the direction and VAT rate
    bool automatic = false;
    QString taxKey; // empty: derived from the VAT rate (only on accounts that are not automatic)
    bool operator==(const TextAccount&) const = default;
};

// What the advisor's booking batch needs besides the lines: the numbers of the advisor and the
// client, the fiscal year, the chart, the cash account and the accounts lines are booked to.
// Everything is kept as typed; check() says whether it is usable.
struct AdvisorSettings {
    QString advisor; // Beraternummer, 1001-9999999
    QString client;  // Mandantennummer, 1-99999
    QString fyDay = QStringLiteral("1");
    QString fyMonth = QStringLiteral("1");
    QString accountLength = QStringLiteral("4");
    Chart chart = Chart::Skr03;
    QString cash = QStringLiteral("1000");
    // Receipts at the first and the second VAT rate, payments at the first and the second: the
    // automatic accounts a line goes to when its booking text has no account of its own.
    std::array<QString, 4> defaults{QStringLiteral("8400"), QStringLiteral("8300"),
                                    QStringLiteral("3400"), QStringLiteral("3300")};
    // One entry per booking text that has an account or a tax key.
    std::vector<TextAccount> texts;
    bool operator==(const AdvisorSettings&) const = default;
};

// The fields, in the order they are checked and shown.
enum class AdvisorField {
    Advisor,
    Client,
    FiscalYear,
    AccountLength,
    Cash,
    ReceiptRate1,
    ReceiptRate2,
    PaymentRate1,
    PaymentRate2,
    TextAccount, // row = index into texts
    TextTaxKey,
};

struct AdvisorProblem {
    AdvisorField field;
    int row = -1;
    QString text; // German, for the window's hint line and the message
};

// The accounts for the tax advisor, kept in the data file (tables Beraterkonten and
// Kontierung), so every backup carries them.
class AdvisorAccounts {
  public:
    AdvisorAccounts(Database& db, Dialogs& dialogs) : db_(db), dialogs_(dialogs) {}

    static QString chartName(Chart c); // "SKR 03", "SKR 04"
    static QString chartCode(Chart c); // "03", "04": the header field of the batch
    static QString cashAccountOf(Chart c);
    static std::array<QString, 4> defaultAccountsOf(Chart c);
    // Another chart: the cash account and the default accounts that are still the old chart's
    // standard accounts become the new chart's; accounts the operator chose stay.
    static void switchChart(AdvisorSettings& s, Chart c);

    // What is stored; the defaults above for a file that has nothing yet.
    static AdvisorSettings load(Database& db);
    // Every booking text that may need an account: the list of texts, the texts of the lines
    // (a counter-entry's under its original's text) and those with an account; each once, in
    // German text order.
    static QStringList bookingTexts(Database& db);
    // The text a counter-entry was booked under, without its "STORNO  " mark.
    static QString originalText(const QString& status, const QString& text);

    // The first field that is not usable, with the reason in German.
    static std::optional<AdvisorProblem> check(const AdvisorSettings& s);
    // The numbers the batch cannot do without and that are still empty ("die Beraternummer").
    static QStringList missingForExport(const AdvisorSettings& s);
    // The first day of the fiscal year the date falls into (the settings must be valid).
    static QDate fiscalYearStart(const AdvisorSettings& s, const QDate& date);

    enum class Outcome { Saved, Invalid, Failed };
    // The one place the accounts are written: checked first (a refusal names the field and
    // fills *problem), then the settings and every text's account in one transaction. A write
    // that fails changes nothing and is told.
    Outcome save(const AdvisorSettings& s, AdvisorProblem* problem = nullptr);

  private:
    Database& db_;
    Dialogs& dialogs_;
};

} // namespace tb
