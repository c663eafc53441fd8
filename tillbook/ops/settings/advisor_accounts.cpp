#include "advisor_accounts.h"

#include "change_log.h"
#include "jet_functions.h"

#include <QSet>
#include <algorithm>

namespace tb {

namespace {
const QString kStornoMark = QStringLiteral("STORNO  ");

// A whole number typed as digits only; nothing for anything else.
std::optional<qint64> digitsValue(const QString& t) {
    if (t.isEmpty() || t.size() > 12)
        return std::nullopt;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return t.toLongLong();
}

bool inRange(const QString& t, qint64 lo, qint64 hi) {
    const auto v = digitsValue(t);
    return v && *v >= lo && *v <= hi;
}

// The stored accounts as named items, for the change log: the record's fields, then the
// account of each booking text.
std::vector<std::pair<std::string, std::string>> storedAccounts(Database& db) {
    std::vector<std::pair<std::string, std::string>> items;
    static const char* const fields[] = {
        "Beraternummer", "Mandantennummer", "WJBeginn",   "Sachkontenlaenge", "Kontenrahmen",
        "Kasse",         "Einnahmen1",      "Einnahmen2", "Ausgaben1",        "Ausgaben2"};
    Statement record = db.prepare(
        QStringLiteral("SELECT %1 FROM Beraterkonten ORDER BY ID LIMIT 1;")
            .arg(QStringList{std::begin(fields), std::end(fields)}.join(QLatin1Char(','))));
    if (record.next())
        for (int i = 0; i < 10; ++i)
            items.emplace_back(fields[i], record.text(i).toStdString());
    Statement texts = db.prepare(QStringLiteral(
        "SELECT Buchungstext, Konto, Automatik, BU FROM Kontierung ORDER BY Buchungstext;"));
    while (texts.next())
        items.emplace_back(
            QStringLiteral("Konto für %1").arg(texts.text(0)).toStdString(),
            QStringList{texts.text(1), texts.text(2), texts.text(3)}.join(u'/').toStdString());
    return items;
}

// An entry with the items that differ, before and after side by side; none when all are the
// same.
Result logAccountsChange(Database& db,
                         const std::vector<std::pair<std::string, std::string>>& was) {
    const auto now = storedAccounts(db);
    auto valueIn = [](const auto& items, const std::string& key) -> const std::string* {
        for (const auto& [k, v] : items)
            if (k == key)
                return &v;
        return nullptr;
    };
    changelog::NewEntry e(changelog::Kind::AdvisorAccounts, changelog::Reason::AdvisorAccounts);
    auto compare = [&](const std::string& key) {
        const std::string* a = valueIn(was, key);
        const std::string* b = valueIn(now, key);
        if ((a ? *a : std::string()) == (b ? *b : std::string()) &&
            (a != nullptr) == (b != nullptr))
            return;
        changelog::appendItem(e.before, key, a ? *a : std::string());
        changelog::appendItem(e.after, key, b ? *b : std::string());
    };
    for (const auto& [key, value] : was)
        compare(key);
    for (const auto& [key, value] : now)
        if (!valueIn(was, key))
            compare(key);
    return e.after.empty() ? Result{} : changelog::append(db, e);
}

QString defaultLabel(int i) {
    static const char* const labels[] = {
        "Das Konto für Einnahmen zum MwSt.-Satz 1", "Das Konto für Einnahmen zum MwSt.-Satz 2",
        "Das Konto für Ausgaben zum MwSt.-Satz 1", "Das Konto für Ausgaben zum MwSt.-Satz 2"};
    return QString::fromUtf8(labels[i]);
}

// An account: digits only, not 0, and no longer than the ledger accounts plus one digit (the
// advisor's accounts of customers and suppliers have one digit more).
std::optional<QString> accountProblem(const QString& label, const QString& account, int maxDigits,
                                      const QString& cash) {
    const auto v = digitsValue(account);
    if (!v || *v == 0 || account.size() > maxDigits)
        return QStringLiteral("%1 ist keine gültige Kontonummer: nur Ziffern, höchstens %2 "
                              "Stellen, nicht 0.")
            .arg(label)
            .arg(maxDigits);
    if (digitsValue(cash) == v)
        return QStringLiteral("%1 darf nicht das Kassenkonto sein.").arg(label);
    return std::nullopt;
}
} // namespace

QString AdvisorAccounts::chartName(Chart c) {
    return c == Chart::Skr04 ? QStringLiteral("SKR 04") : QStringLiteral("SKR 03");
}

QString AdvisorAccounts::chartCode(Chart c) {
    return c == Chart::Skr04 ? QStringLiteral("04") : QStringLiteral("03");
}

QString AdvisorAccounts::cashAccountOf(Chart c) {
    return c == Chart::Skr04 ? QStringLiteral("1600") : QStringLiteral("1000");
}

std::array<QString, 4> AdvisorAccounts::defaultAccountsOf(Chart c) {
    if (c == Chart::Skr04)
        return {QStringLiteral("4400"), QStringLiteral("4300"), QStringLiteral("5400"),
                QStringLiteral("5300")};
    return {QStringLiteral("8400"), QStringLiteral("8300"), QStringLiteral("3400"),
            QStringLiteral("3300")};
}

void AdvisorAccounts::switchChart(AdvisorSettings& s, Chart c) {
    if (s.chart == c)
        return;
    if (s.cash == cashAccountOf(s.chart))
        s.cash = cashAccountOf(c);
    const auto before = defaultAccountsOf(s.chart);
    const auto after = defaultAccountsOf(c);
    for (size_t i = 0; i < s.defaults.size(); ++i)
        if (s.defaults[i] == before[i])
            s.defaults[i] = after[i];
    s.chart = c;
}

AdvisorSettings AdvisorAccounts::load(Database& db) {
    AdvisorSettings s;
    Statement st = db.prepare(QStringLiteral(
        "SELECT Beraternummer, Mandantennummer, WJBeginn, Sachkontenlaenge, Kontenrahmen, Kasse, "
        "Einnahmen1, Einnahmen2, Ausgaben1, Ausgaben2 FROM Beraterkonten ORDER BY ID LIMIT 1;"));
    if (st.next()) {
        s.advisor = st.text(0);
        s.client = st.text(1);
        const QStringList fy = st.text(2).split(QLatin1Char('.'));
        s.fyDay = fy.value(0);
        s.fyMonth = fy.value(1);
        s.accountLength = st.text(3);
        s.chart = st.text(4) == QLatin1String("04") ? Chart::Skr04 : Chart::Skr03;
        s.cash = st.text(5);
        for (int i = 0; i < 4; ++i)
            s.defaults[static_cast<size_t>(i)] = st.text(6 + i);
    }
    Statement texts = db.prepare(
        QStringLiteral("SELECT Buchungstext, Konto, Automatik, BU FROM Kontierung ORDER BY ID;"));
    while (texts.next())
        s.texts.push_back(
            {texts.text(0), texts.text(1), texts.text(2) == QLatin1String("J"), texts.text(3)});
    return s;
}

QString AdvisorAccounts::originalText(const QString& status, const QString& text) {
    if (status == QLatin1String("Storno") && text.startsWith(kStornoMark))
        return text.mid(kStornoMark.size());
    return text;
}

QStringList AdvisorAccounts::bookingTexts(Database& db) {
    QSet<QString> seen;
    QStringList out;
    auto add = [&](const QString& t) {
        if (!t.isEmpty() && !seen.contains(t)) {
            seen.insert(t);
            out << t;
        }
    };
    Statement list = db.prepare(QStringLiteral("SELECT a1 FROM Buchungstext;"));
    while (list.next())
        add(list.text(0));
    // Each text of the lines once; BINARY spares the engine the German collation of n1.
    Statement lines = db.prepare(
        QStringLiteral("SELECT DISTINCT a1, n1 COLLATE BINARY FROM Buchungen WHERE n1 <> '';"));
    while (lines.next())
        add(originalText(lines.text(0), lines.text(1)));
    Statement mapped = db.prepare(QStringLiteral("SELECT Buchungstext FROM Kontierung;"));
    while (mapped.next())
        add(mapped.text(0));
    std::sort(out.begin(), out.end(),
              [](const QString& a, const QString& b) { return jet::compareGerman(a, b) < 0; });
    return out;
}

std::optional<AdvisorProblem> AdvisorAccounts::check(const AdvisorSettings& s) {
    using F = AdvisorField;
    if (!s.advisor.isEmpty() && !inRange(s.advisor, 1001, 9999999))
        return AdvisorProblem{F::Advisor, -1,
                              QStringLiteral("Die Beraternummer ist eine Zahl von 1001 bis "
                                             "9999999.")};
    if (!s.client.isEmpty() && !inRange(s.client, 1, 99999))
        return AdvisorProblem{F::Client, -1,
                              QStringLiteral("Die Mandantennummer ist eine Zahl von 1 bis 99999.")};
    // A day every year has: the 29th of February is not one.
    const auto day = digitsValue(s.fyDay);
    const auto month = digitsValue(s.fyMonth);
    if (!day || !month || !QDate(2023, static_cast<int>(*month), static_cast<int>(*day)).isValid())
        return AdvisorProblem{
            F::FiscalYear, -1,
            QStringLiteral("Der Beginn des Wirtschaftsjahres ist kein Tag, den es in jedem Jahr "
                           "gibt. Bitte Tag und Monat eingeben, z. B. 1 und 7 für den 1. Juli.")};
    if (!inRange(s.accountLength, 4, 8))
        return AdvisorProblem{F::AccountLength, -1,
                              QStringLiteral("Die Sachkontenlänge ist eine Zahl von 4 bis 8.")};
    const int maxDigits = static_cast<int>(*digitsValue(s.accountLength)) + 1;
    if (const auto p = accountProblem(QStringLiteral("Das Kassenkonto"), s.cash, maxDigits, {}))
        return AdvisorProblem{F::Cash, -1, *p};
    for (int i = 0; i < 4; ++i)
        if (const auto p = accountProblem(defaultLabel(i), s.defaults[static_cast<size_t>(i)],
                                          maxDigits, s.cash))
            return AdvisorProblem{static_cast<F>(static_cast<int>(F::ReceiptRate1) + i), -1, *p};
    for (int row = 0; row < static_cast<int>(s.texts.size()); ++row) {
        const TextAccount& t = s.texts[static_cast<size_t>(row)];
        const QString label = QStringLiteral("Das Konto des Buchungstextes „%1“").arg(t.text);
        if (!t.account.isEmpty()) {
            if (const auto p = accountProblem(label, t.account, maxDigits, s.cash))
                return AdvisorProblem{F::TextAccount, row, *p};
        } else if (t.automatic) {
            return AdvisorProblem{F::TextAccount, row,
                                  QStringLiteral("Beim Buchungstext „%1“ ist „Automatikkonto“ "
                                                 "angekreuzt, aber kein Konto eingetragen.")
                                      .arg(t.text)};
        }
        if (t.taxKey.isEmpty())
            continue;
        if (!inRange(t.taxKey, 1, 9999))
            return AdvisorProblem{F::TextTaxKey, row,
                                  QStringLiteral("Der Steuerschlüssel des Buchungstextes „%1“ ist "
                                                 "eine Zahl von 1 bis 9999.")
                                      .arg(t.text)};
        if (t.account.isEmpty())
            return AdvisorProblem{F::TextTaxKey, row,
                                  QStringLiteral("Der Buchungstext „%1“ hat einen "
                                                 "Steuerschlüssel, aber kein Konto.")
                                      .arg(t.text)};
        if (t.automatic)
            return AdvisorProblem{
                F::TextTaxKey, row,
                QStringLiteral(
                    "Der Buchungstext „%1“ hat ein Automatikkonto: Es rechnet die Steuer "
                    "selbst, ein Steuerschlüssel ist dort ein Fehler.")
                    .arg(t.text)};
    }
    return std::nullopt;
}

QStringList AdvisorAccounts::missingForExport(const AdvisorSettings& s) {
    QStringList missing;
    if (s.advisor.isEmpty())
        missing << QStringLiteral("die Beraternummer");
    if (s.client.isEmpty())
        missing << QStringLiteral("die Mandantennummer");
    return missing;
}

QDate AdvisorAccounts::fiscalYearStart(const AdvisorSettings& s, const QDate& date) {
    const int day = s.fyDay.toInt();
    const int month = s.fyMonth.toInt();
    const QDate thisYear(date.year(), month, day);
    return date >= thisYear ? thisYear : QDate(date.year() - 1, month, day);
}

AdvisorAccounts::Outcome AdvisorAccounts::save(const AdvisorSettings& s, AdvisorProblem* problem) {
    if (const auto p = check(s)) {
        if (problem)
            *problem = *p;
        dialogs_.message(p->text, QStringLiteral("Konten für den Steuerberater"),
                         Icon::Exclamation);
        return Outcome::Invalid;
    }
    QString why;
    {
        Transaction t(db_);
        const auto was = storedAccounts(db_);
        Result failed;
        if (t.isActive() && (failed = db_.exec(QStringLiteral("DELETE FROM Beraterkonten;"))))
            failed = db_.exec(QStringLiteral("DELETE FROM Kontierung;"));
        bool ok = t.isActive() && failed.ok();
        Statement record = db_.prepare(QStringLiteral(
            "INSERT INTO Beraterkonten (Beraternummer, Mandantennummer, WJBeginn, "
            "Sachkontenlaenge, Kontenrahmen, Kasse, Einnahmen1, Einnahmen2, Ausgaben1, "
            "Ausgaben2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?);"));
        const QString fy = QStringLiteral("%1.%2.")
                               .arg(s.fyDay.toInt(), 2, 10, QLatin1Char('0'))
                               .arg(s.fyMonth.toInt(), 2, 10, QLatin1Char('0'));
        record.bindAll({s.advisor, s.client, fy, s.accountLength, chartCode(s.chart), s.cash,
                        s.defaults[0], s.defaults[1], s.defaults[2], s.defaults[3]});
        ok = ok && record.run();
        Statement text = db_.prepare(QStringLiteral(
            "INSERT INTO Kontierung (Buchungstext, Konto, Automatik, BU) VALUES (?, ?, ?, ?);"));
        for (const TextAccount& a : s.texts) {
            if (!ok)
                break;
            if (a.text.isEmpty() || (a.account.isEmpty() && a.taxKey.isEmpty() && !a.automatic))
                continue;
            text.reset();
            text.bindAll(
                {a.text, a.account, a.automatic ? QStringLiteral("J") : QString(), a.taxKey});
            ok = text.run();
        }
        if (ok && (failed = logAccountsChange(db_, was)) && t.commit())
            return Outcome::Saved;
        if (failed.ok())
            failed = !text.failure().ok()     ? text.failure()
                     : !record.failure().ok() ? record.failure()
                                              : db_.lastFailure();
        why = germanText(failed);
    }
    dialogs_.message(QStringLiteral("Die Konten für den Steuerberater konnten nicht gespeichert "
                                    "werden. Es wurde nichts geändert.\n") +
                         why,
                     QStringLiteral("Fehler"), Icon::Critical);
    return Outcome::Failed;
}

} // namespace tb
