#include "advisor_batch.h"

#include "cash_date.h"
#include "cp1252.h"
#include "data_paths.h"
#include "export_file.h"
#include "jet_functions.h"
#include "period_lines.h"

#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cstdlib>
#include <map>

namespace tb {

namespace {
const QString kTitle = QStringLiteral("Export für den Steuerberater");
const QString kWhere = QStringLiteral("„Einstellungen → Konten für den Steuerberater“");
const QString kNotDone =
    QStringLiteral("Der Export für den Steuerberater wurde nicht ausgeführt: ");
// The columns every pass reads, in this order.
const QString kColumns = QStringLiteral("a1, n1, n2, a4, a5, a6, a8, a14");
enum Column { Status, Text, Remark, Receipt, Payment, Rate, ReceiptNo, Vat1 };
constexpr qint64 kStepLines = 512;

// The column line, exactly as the importer names its 125 fields.
// clang-format off
const char* const kColumnNames[] = {
    "Umsatz (ohne Soll/Haben-Kz)", "Soll/Haben-Kennzeichen", "WKZ Umsatz", "Kurs",
    "Basis-Umsatz", "WKZ Basis-Umsatz", "Konto", "Gegenkonto (ohne BU-Schlüssel)",
    "BU-Schlüssel", "Belegdatum", "Belegfeld 1", "Belegfeld 2", "Skonto", "Buchungstext",
    "Postensperre", "Diverse Adressnummer", "Geschäftspartnerbank", "Sachverhalt", "Zinssperre",
    "Beleglink", "Beleginfo - Art 1", "Beleginfo - Inhalt 1", "Beleginfo - Art 2",
    "Beleginfo - Inhalt 2", "Beleginfo - Art 3", "Beleginfo - Inhalt 3", "Beleginfo - Art 4",
    "Beleginfo - Inhalt 4", "Beleginfo - Art 5", "Beleginfo - Inhalt 5", "Beleginfo - Art 6",
    "Beleginfo - Inhalt 6", "Beleginfo - Art 7", "Beleginfo - Inhalt 7", "Beleginfo - Art 8",
    "Beleginfo - Inhalt 8", "KOST1 - Kostenstelle", "KOST2 - Kostenstelle", "Kost-Menge",
    "EU-Land u. UStID (Bestimmung)", "EU-Steuersatz (Bestimmung)", "Abw. Versteuerungsart",
    "Sachverhalt L+L", "Funktionsergänzung L+L", "BU 49 Hauptfunktionstyp",
    "BU 49 Hauptfunktionsnummer", "BU 49 Funktionsergänzung", "Zusatzinformation - Art 1",
    "Zusatzinformation- Inhalt 1", "Zusatzinformation - Art 2", "Zusatzinformation- Inhalt 2",
    "Zusatzinformation - Art 3", "Zusatzinformation- Inhalt 3", "Zusatzinformation - Art 4",
    "Zusatzinformation- Inhalt 4", "Zusatzinformation - Art 5", "Zusatzinformation- Inhalt 5",
    "Zusatzinformation - Art 6", "Zusatzinformation- Inhalt 6", "Zusatzinformation - Art 7",
    "Zusatzinformation- Inhalt 7", "Zusatzinformation - Art 8", "Zusatzinformation- Inhalt 8",
    "Zusatzinformation - Art 9", "Zusatzinformation- Inhalt 9", "Zusatzinformation - Art 10",
    "Zusatzinformation- Inhalt 10", "Zusatzinformation - Art 11", "Zusatzinformation- Inhalt 11",
    "Zusatzinformation - Art 12", "Zusatzinformation- Inhalt 12", "Zusatzinformation - Art 13",
    "Zusatzinformation- Inhalt 13", "Zusatzinformation - Art 14", "Zusatzinformation- Inhalt 14",
    "Zusatzinformation - Art 15", "Zusatzinformation- Inhalt 15", "Zusatzinformation - Art 16",
    "Zusatzinformation- Inhalt 16", "Zusatzinformation - Art 17", "Zusatzinformation- Inhalt 17",
    "Zusatzinformation - Art 18", "Zusatzinformation- Inhalt 18", "Zusatzinformation - Art 19",
    "Zusatzinformation- Inhalt 19", "Zusatzinformation - Art 20", "Zusatzinformation- Inhalt 20",
    "Stück", "Gewicht", "Zahlweise", "Forderungsart", "Veranlagungsjahr",
    "Zugeordnete Fälligkeit", "Skontotyp", "Auftragsnummer", "Buchungstyp",
    "USt-Schlüssel (Anzahlungen)", "EU-Land (Anzahlungen)", "Sachverhalt L+L (Anzahlungen)",
    "EU-Steuersatz (Anzahlungen)", "Erlöskonto (Anzahlungen)", "Herkunft-Kz", "Buchungs GUID",
    "KOST-Datum", "SEPA-Mandatsreferenz", "Skontosperre", "Gesellschaftername",
    "Beteiligtennummer", "Identifikationsnummer", "Zeichnernummer", "Postensperre bis",
    "Bezeichnung SoBil-Sachverhalt", "Kennzeichen SoBil-Buchung", "Festschreibung",
    "Leistungsdatum", "Datum Zuord. Steuerperiode", "Fälligkeit", "Generalumkehr (GU)",
    "Steuersatz", "Land", "Abrechnungsreferenz", "BVV-Position", "EU-Land u. UStID (Ursprung)",
    "EU-Steuersatz (Ursprung)", "Abw. Skontokonto"};
// clang-format on

QString number(qint64 n) {
    return QLocale(QLocale::German).toString(n);
}

QString linesText(qint64 n) {
    return n == 1 ? QStringLiteral("1 Zeile") : number(n) + QStringLiteral(" Zeilen");
}

QString bookingsText(qint64 n) {
    return n == 1 ? QStringLiteral("1 Buchung") : number(n) + QStringLiteral(" Buchungen");
}

QString day(const QDate& d) {
    return d.toString(QStringLiteral("dd.MM.yyyy"));
}

// A whole number as the importer reads it: without leading zeros.
QString plainNumber(const QString& digits) {
    return QString::number(digits.toLongLong());
}

// The receipt number as the importer takes it: letters, digits and $ & % * + - /.
QString receiptField(const QString& stored) {
    QString out;
    for (const QChar c : stored) {
        const bool letter = (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                            (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
        if (letter || c.isDigit() || QStringLiteral("$&%*+-/").contains(c))
            out += c;
    }
    return out.left(AdvisorBatch::kReceiptChars);
}

enum class RateClass { None, First, Second, Other };
enum class Failure { None, NoAccount, NoTaxKey, TwoRatesTwoAmounts };

struct Booking {
    Money amount; // signed: below zero the direction turns
    bool receipt = true;
    QString account;
    QString key;
};
} // namespace

// Finds the bookings of a line: its amounts, their VAT rates and the accounts they go to.
struct AdvisorBatch::Resolver {
    enum class Kind { Bookings, Marker, NoAmount, Unassigned };
    struct Result {
        Kind kind = Kind::Bookings;
        Failure failure = Failure::None;
        QString text;     // the booking text (a counter-entry's: its original's)
        QString rateText; // the VAT rate as stored
        RateClass rate = RateClass::None;
        int count = 0;
        std::array<Booking, 2> bookings;
    };

    explicit Resolver(const AdvisorSettings& s, Database& db) : settings(s) {
        for (const TextAccount& t : s.texts)
            accounts.insert(t.text, t);
        Statement st = db.prepare(QStringLiteral("SELECT Einst16, Einst17 FROM Einstellungen "
                                                 "ORDER BY ID LIMIT 1;"));
        if (st.next()) {
            rate1 = parseRate(st.text(0));
            rate2 = parseRate(st.text(1));
        }
    }

    RateClass classify(const QString& rateText) {
        if (rateText.trimmed().isEmpty())
            return RateClass::None;
        const auto r = parseRate(rateText);
        if (!r)
            return RateClass::Other;
        if (*r == 0)
            return RateClass::None;
        if (r == rate1)
            return RateClass::First;
        if (r == rate2)
            return RateClass::Second;
        return RateClass::Other;
    }

    // The account and tax key of one amount, or why there is none.
    Failure resolve(const QString& text, bool receipt, RateClass rate, Booking& b) {
        const auto it = accounts.constFind(text);
        if (it != accounts.constEnd() && !it->account.isEmpty()) {
            b.account = plainNumber(it->account);
            b.key.clear();
            if (it->automatic)
                return Failure::None;
            if (!it->taxKey.isEmpty()) {
                b.key = plainNumber(it->taxKey);
                return Failure::None;
            }
            switch (rate) {
            case RateClass::First:
                b.key = receipt ? QStringLiteral("3") : QStringLiteral("9");
                return Failure::None;
            case RateClass::Second:
                b.key = receipt ? QStringLiteral("2") : QStringLiteral("8");
                return Failure::None;
            case RateClass::None:
                return Failure::None;
            case RateClass::Other:
                return Failure::NoTaxKey;
            }
        }
        b.key.clear();
        if (rate != RateClass::First && rate != RateClass::Second)
            return Failure::NoAccount;
        const size_t i = (receipt ? 0 : 2) + (rate == RateClass::Second ? 1 : 0);
        b.account = plainNumber(settings.defaults[i]);
        return Failure::None;
    }

    Result line(const Statement& st) {
        Result r;
        const QString receiptText = st.text(Receipt);
        const QString paymentText = st.text(Payment);
        if (isAmountMarker(receiptText) || isAmountMarker(paymentText)) {
            r.kind = Kind::Marker;
            return r;
        }
        std::optional<Money> receipt = countedAmount(receiptText);
        std::optional<Money> payment = countedAmount(paymentText);
        if (receipt && receipt->cents() == 0)
            receipt.reset();
        if (payment && payment->cents() == 0)
            payment.reset();
        if (!receipt && !payment) {
            r.kind = Kind::NoAmount;
            return r;
        }
        r.text = AdvisorAccounts::originalText(st.text(Status), st.text(Text));
        r.rateText = st.text(Rate);
        auto add = [&](Money amount, bool isReceipt, RateClass rate) {
            if (amount.cents() == 0)
                return true;
            Booking& b = r.bookings[static_cast<size_t>(r.count)];
            b.amount = amount;
            b.receipt = isReceipt;
            const Failure f = resolve(r.text, isReceipt, rate, b);
            if (f != Failure::None) {
                r.kind = Kind::Unassigned;
                r.failure = f;
                r.rate = rate;
                return false;
            }
            ++r.count;
            return true;
        };
        if (!r.rateText.contains(QLatin1Char('/'))) {
            r.rate = classify(r.rateText);
            if (receipt && !add(*receipt, true, r.rate))
                return r;
            if (payment)
                add(*payment, false, r.rate);
            return r;
        }
        // A line at two rates (a hotel bill): the part at the first rate follows from the VAT
        // stored for it, the rest is at the second rate.
        if (receipt && payment) {
            r.kind = Kind::Unassigned;
            r.failure = Failure::TwoRatesTwoAmounts;
            return r;
        }
        const QStringList rates = r.rateText.split(QLatin1Char('/'));
        const Money amount = receipt ? *receipt : *payment;
        const std::int64_t whole = amount.cents() < 0 ? -amount.cents() : amount.cents();
        const auto r1 = parseRate(rates.value(0));
        const std::int64_t vat1 = std::abs(Money::parseOrZero(st.text(Vat1)).cents());
        std::int64_t first =
            r1 && *r1 > 0 ? divRoundHalfAway(Int128(vat1) * (10000 + *r1), *r1) : 0;
        first = std::min(first, whole);
        const std::int64_t sign = amount.cents() < 0 ? -1 : 1;
        if (add(Money::fromCents(sign * first), receipt.has_value(), classify(rates.value(0))))
            add(Money::fromCents(sign * (whole - first)), receipt.has_value(),
                classify(rates.value(1)));
        return r;
    }

    const AdvisorSettings& settings;
    QHash<QString, TextAccount> accounts;
    std::optional<std::int64_t> rate1, rate2;
};

AdvisorBatch::AdvisorBatch(Database& db, Dialogs& dialogs, const Clock& clock, Progress* progress)
    : db_(db), dialogs_(dialogs), clock_(clock), progress_(progress ? *progress : silent_) {}

AdvisorBatch::~AdvisorBatch() = default;

QString AdvisorBatch::fileName(const QDate& from, const QDate& to) {
    return QStringLiteral("EXTF_Buchungsstapel_%1_%2.csv")
        .arg(from.toString(QStringLiteral("yyyyMMdd")), to.toString(QStringLiteral("yyyyMMdd")));
}

QString AdvisorBatch::columnNames() {
    QStringList names;
    for (const char* n : kColumnNames)
        names << QString::fromUtf8(n);
    return names.join(QLatin1Char(';'));
}

Answer AdvisorBatch::tell(const QString& text, Icon icon, Buttons b) {
    return dialogs_.message(text, kTitle, icon, b);
}

AdvisorBatch::Plan AdvisorBatch::plan(const QString& periodStart, const QString& periodEnd) {
    settings_ = AdvisorAccounts::load(db_);
    PeriodLines lines(db_, periodStart, periodEnd);
    bool cancelled = false;
    return makePlan(lines, periodStart, periodEnd, &cancelled);
}

AdvisorBatch::Plan AdvisorBatch::makePlan(PeriodLines& lines, const QString& periodStart,
                                          const QString& periodEnd, bool* cancelled) {
    Plan p;
    const QDate start = cashdate::fromText(periodStart);
    const QDate end = cashdate::fromText(periodEnd);
    if (const auto problem = AdvisorAccounts::check(settings_)) {
        p.refusal = kNotDone + problem->text +
                    QStringLiteral("\n\nBitte korrigieren Sie das "
                                   "unter ") +
                    kWhere + QLatin1Char('.');
        return p;
    }
    if (const QStringList missing = AdvisorAccounts::missingForExport(settings_);
        !missing.isEmpty()) {
        p.refusal =
            kNotDone + QStringLiteral("Es fehlen ") + missing.join(QStringLiteral(" und ")) +
            QStringLiteral(".\n\nBitte tragen Sie sie unter ") + kWhere + QStringLiteral(" ein.");
        return p;
    }
    if (!start.isValid() || !end.isValid()) {
        p.refusal = kNotDone + QStringLiteral("Der Zeitraum %1 bis %2 besteht nicht aus gültigen "
                                              "Tagen.")
                                   .arg(periodStart, periodEnd);
        return p;
    }
    if (const Result read = lines.read(); !read) {
        p.refusal = kNotDone + QStringLiteral("Die Buchungen konnten nicht gelesen werden.\n") +
                    germanText(read);
        return p;
    }

    // The fiscal years: the dates are in order, so each year is one run of them.
    const auto& dates = lines.dates();
    std::vector<size_t> partOf(dates.size());
    QStringList undated;
    qint64 undatedLines = 0;
    for (size_t i = 0; i < dates.size(); ++i) {
        if (!dates[i].date.isValid()) {
            undatedLines += dates[i].lines;
            if (undated.size() < 5)
                undated << QStringLiteral("„%1“").arg(dates[i].text);
            continue;
        }
        const QDate fy = AdvisorAccounts::fiscalYearStart(settings_, dates[i].date);
        if (p.parts.empty() || p.parts.back().fiscalYear != fy) {
            Part part;
            part.fiscalYear = fy;
            part.from = std::max(start, fy);
            part.to = std::min(end, fy.addYears(1).addDays(-1));
            part.firstDate = i;
            p.parts.push_back(part);
        }
        p.parts.back().endDate = i + 1;
        partOf[i] = p.parts.size() - 1;
    }
    if (undatedLines > 0) {
        p.refusal =
            kNotDone + QStringLiteral("%1 im Zeitraum %2 bis %3 %4 kein gültiges Datum (%5). Bitte "
                                      "korrigieren Sie diese Zeilen.")
                           .arg(linesText(undatedLines), periodStart, periodEnd,
                                undatedLines == 1 ? QStringLiteral("hat") : QStringLiteral("haben"),
                                undated.join(QStringLiteral(", ")));
        return p;
    }

    // Every line: its bookings, or why it is left out, or why it cannot be booked.
    Resolver resolver(settings_, db_);
    struct Unassigned {
        Failure failure;
        QString rate;
        qint64 lines = 0;
    };
    std::map<std::pair<QString, int>, Unassigned> unassigned;
    qint64 walked = 0;
    progress_.begin(QStringLiteral("Die Buchungen des Zeitraums werden geprüft …"),
                    lines.lineCount());
    const PeriodLines::Walk walk =
        lines.walk(kColumns, 0, dates.size(), [&](const PeriodLines::Date& d, const Statement& st) {
            if (++walked % kStepLines == 0 && !progress_.step(walked))
                return false;
            const Resolver::Result r = resolver.line(st);
            switch (r.kind) {
            case Resolver::Kind::Marker:
                ++p.skippedMarker;
                break;
            case Resolver::Kind::NoAmount:
                ++p.skippedNoAmount;
                break;
            case Resolver::Kind::Unassigned: {
                const int kind = static_cast<int>(r.failure) * 8 + static_cast<int>(r.rate);
                Unassigned& u = unassigned[{r.text, kind}];
                u.failure = r.failure;
                u.rate = r.rate == RateClass::None ? QString() : r.rateText;
                ++u.lines;
                break;
            }
            case Resolver::Kind::Bookings:
                ++p.lines;
                p.bookings += r.count;
                p.parts[partOf[static_cast<size_t>(&d - dates.data())]].bookings += r.count;
                break;
            }
            return true;
        });
    progress_.end();
    if (walk.end == PeriodLines::Walk::Stopped) {
        *cancelled = true;
        return p;
    }
    if (walk.end == PeriodLines::Walk::Failed) {
        p.refusal = kNotDone + QStringLiteral("Die Buchungen konnten nicht gelesen werden.\n") +
                    germanText(walk.failure);
        return p;
    }

    if (!unassigned.empty()) {
        std::vector<std::pair<QString, Unassigned>> list;
        qint64 total = 0;
        for (const auto& [key, u] : unassigned) {
            list.emplace_back(key.first, u);
            total += u.lines;
        }
        std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
            return jet::compareGerman(a.first, b.first) < 0;
        });
        QStringList entries;
        for (const auto& [text, u] : list) {
            if (entries.size() == 15) {
                entries << QStringLiteral("… und %1 weitere").arg(list.size() - 15);
                break;
            }
            QString why;
            switch (u.failure) {
            case Failure::NoAccount:
                why = u.rate.isEmpty() ? QStringLiteral("ohne MwSt.")
                                       : QStringLiteral("zu %1 %").arg(u.rate);
                break;
            case Failure::NoTaxKey:
                why = QStringLiteral("zu %1 %, Konto ohne Automatik und ohne Steuerschlüssel")
                          .arg(u.rate);
                break;
            default:
                why = QStringLiteral("mit zwei Steuersätzen und zugleich Einnahme und Ausgabe");
                break;
            }
            entries << QStringLiteral("„%1“: %2 %3").arg(text, linesText(u.lines), why);
        }
        p.refusal =
            kNotDone +
            QStringLiteral("%1 im Zeitraum %2 bis %3 %4 kein Konto für den Steuerberater:\n\n")
                .arg(linesText(total), periodStart, periodEnd,
                     total == 1 ? QStringLiteral("hat") : QStringLiteral("haben")) +
            entries.join(QLatin1Char('\n')) +
            QStringLiteral("\n\nBitte ordnen Sie diesen Buchungstexten unter ") + kWhere +
            QStringLiteral(" ein Konto zu (einem Konto ohne Automatik bei einem anderen "
                           "Steuersatz auch den Steuerschlüssel).");
        return p;
    }

    p.parts.erase(std::remove_if(p.parts.begin(), p.parts.end(),
                                 [](const Part& part) { return part.bookings == 0; }),
                  p.parts.end());
    for (const Part& part : p.parts)
        if (part.bookings > kMaxBookings) {
            p.refusal = kNotDone +
                        QStringLiteral("Im Wirtschaftsjahr ab %1 wären es %2 "
                                       "Buchungen; eine Datei für den Steuerberater "
                                       "nimmt höchstens %3 auf. Bitte wählen Sie "
                                       "einen kürzeren Zeitraum.")
                            .arg(day(part.fiscalYear), number(part.bookings), number(kMaxBookings));
            return p;
        }
    return p;
}

Cp1252Line AdvisorBatch::headerLine(const Part& part) const {
    const QString ymd = QStringLiteral("yyyyMMdd");
    Cp1252Line h;
    h.quoted(QStringLiteral("EXTF"))
        .plain("700")
        .plain("21")
        .quoted(QStringLiteral("Buchungsstapel"))
        .plain("13")
        .plain(clock_.now().toString(QStringLiteral("yyyyMMddHHmmsszzz")))
        .empty()
        .quoted(QStringLiteral("KB"))
        .quoted(QStringLiteral("Tillbook"))
        .quoted(QString())
        .plain(plainNumber(settings_.advisor))
        .plain(plainNumber(settings_.client))
        .plain(part.fiscalYear.toString(ymd))
        .plain(plainNumber(settings_.accountLength))
        .plain(part.from.toString(ymd))
        .plain(part.to.toString(ymd))
        .quoted(QStringLiteral("Kasse %1-%2").arg(day(part.from), day(part.to)))
        .quoted(QString())
        .plain("1")
        .plain("0")
        .plain("0")
        .quoted(QStringLiteral("EUR"))
        .empty()
        .quoted(QString())
        .empty()
        .empty()
        .quoted(AdvisorAccounts::chartCode(settings_.chart))
        .empty()
        .empty()
        .quoted(QString())
        .quoted(QString());
    return h;
}

AdvisorBatch::Outcome AdvisorBatch::write(PeriodLines& lines, Plan& plan, QString* replaced) {
    std::vector<std::unique_ptr<ExportFile>> files;
    Resolver resolver(settings_, db_);
    const QString cash = plainNumber(settings_.cash);
    const QByteArray columns = toCp1252(columnNames());
    Cp1252Line row;
    qint64 walked = 0;
    bool stopped = false;
    progress_.begin(QStringLiteral("Der Buchungsstapel wird geschrieben …"), lines.lineCount());
    for (const Part& part : plan.parts) {
        files.push_back(std::make_unique<ExportFile>(part.target));
        ExportFile& file = *files.back();
        Result r = file.open();
        if (r.ok()) {
            file.write(headerLine(part));
            file.write(columns);
            const PeriodLines::Walk walk = lines.walk(
                kColumns, part.firstDate, part.endDate,
                [&](const PeriodLines::Date& d, const Statement& st) {
                    if (++walked % kStepLines == 0 && !progress_.step(walked))
                        return false;
                    const Resolver::Result res = resolver.line(st);
                    if (res.kind != Resolver::Kind::Bookings)
                        return true;
                    const QString date = d.date.toString(QStringLiteral("ddMM"));
                    const QString remark = st.text(Remark);
                    const QString text = remark.isEmpty()
                                             ? st.text(Text)
                                             : st.text(Text) + QLatin1Char(' ') + remark;
                    const QString receiptNo = receiptField(st.text(ReceiptNo));
                    for (int i = 0; i < res.count; ++i) {
                        const Booking& b = res.bookings[static_cast<size_t>(i)];
                        // Receipts debit the cash account, payments credit it; an amount below
                        // zero (a counter-entry) turns the direction.
                        const bool debit = b.receipt != b.amount.isNegative();
                        row.clear();
                        row.plain((b.amount.isNegative() ? -b.amount : b.amount).toText())
                            .quoted(debit ? QStringLiteral("S") : QStringLiteral("H"))
                            .quoted(QStringLiteral("EUR"))
                            .empty()
                            .empty()
                            .empty()
                            .plain(cash)
                            .plain(b.account)
                            .plain(b.key)
                            .plain(date)
                            .quoted(receiptNo)
                            .empty()
                            .empty()
                            .quoted(text, kTextChars);
                        file.write(row);
                    }
                    return true;
                });
            if (walk.end == PeriodLines::Walk::Stopped) {
                stopped = true;
                break;
            }
            r = walk.end == PeriodLines::Walk::Done ? file.finish() : walk.failure;
        }
        if (!r.ok()) {
            progress_.end();
            tell(QStringLiteral("Die Datei\n%1\nkonnte nicht geschrieben werden: %2\n\nEs wurde "
                                "keine Datei geschrieben; was dort schon lag, ist unverändert.")
                     .arg(part.target, germanText(r)),
                 Icon::Critical);
            return Outcome::Failed;
        }
        for (const QChar c : file.replaced())
            if (!replaced->contains(c))
                *replaced += c;
    }
    progress_.end();
    if (stopped) {
        tell(QStringLiteral("Der Export für den Steuerberater wurde abgebrochen. Es wurde keine "
                            "Datei geschrieben."),
             Icon::Information);
        return Outcome::Cancelled;
    }
    // Every file is whole on disk: now they take their names.
    for (size_t i = 0; i < files.size(); ++i) {
        const Result r = files[i]->commit();
        if (!r.ok()) {
            tell(QStringLiteral("Die Datei\n%1\nkonnte nicht gespeichert werden: %2")
                         .arg(files[i]->target(), germanText(r)) +
                     (written_.isEmpty() ? QStringLiteral("\n\nEs wurde keine Datei geschrieben.")
                                         : QStringLiteral("\n\nBereits gespeichert:\n") +
                                               written_.join(QLatin1Char('\n'))),
                 Icon::Critical);
            return Outcome::Failed;
        }
        written_ << files[i]->target();
    }
    return Outcome::Written;
}

AdvisorBatch::Outcome AdvisorBatch::run(const QString& periodStart, const QString& periodEnd,
                                        const QString& folder) {
    written_.clear();
    settings_ = AdvisorAccounts::load(db_);
    PeriodLines lines(db_, periodStart, periodEnd);
    bool cancelled = false;
    Plan p = makePlan(lines, periodStart, periodEnd, &cancelled);
    if (cancelled) {
        tell(QStringLiteral("Der Export für den Steuerberater wurde abgebrochen. Es wurde keine "
                            "Datei geschrieben."),
             Icon::Information);
        return Outcome::Cancelled;
    }
    if (!p.refusal.isEmpty()) {
        tell(p.refusal);
        return Outcome::Refused;
    }
    auto skippedText = [&p]() {
        QStringList why;
        if (p.skippedMarker > 0)
            why << QStringLiteral("%1 mit einem Kennbuchstaben (K, U, S, Ü) in einer "
                                  "Betragsspalte")
                       .arg(linesText(p.skippedMarker));
        if (p.skippedNoAmount > 0)
            why << QStringLiteral("%1 ohne Betrag").arg(linesText(p.skippedNoAmount));
        return why.join(QLatin1Char('\n'));
    };
    if (p.parts.empty()) {
        const QString skipped = skippedText();
        tell(QStringLiteral("Im Zeitraum %1 bis %2 gibt es keine Buchungen für den "
                            "Steuerberater.")
                     .arg(periodStart, periodEnd) +
                 (skipped.isEmpty() ? QString()
                                    : QStringLiteral("\n\nNicht übernommen werden:\n") + skipped),
             Icon::Information);
        return Outcome::Nothing;
    }

    // Where the files go: one save dialog per fiscal year, announced when there is more
    // than one.
    const int n = static_cast<int>(p.parts.size());
    if (n > 1) {
        QStringList names;
        for (const Part& part : p.parts)
            names << QStringLiteral("%1 (%2)").arg(fileName(part.from, part.to),
                                                   bookingsText(part.bookings));
        if (tell(QStringLiteral("Der Zeitraum %1 bis %2 umfasst Buchungen aus %3 "
                                "Wirtschaftsjahren. Eine Datei für den Steuerberater gilt nur für "
                                "ein Wirtschaftsjahr, deshalb werden %3 Dateien geschrieben:\n\n")
                         .arg(periodStart, periodEnd)
                         .arg(n) +
                     names.join(QLatin1Char('\n')) +
                     QStringLiteral("\n\nSie wählen nun nacheinander, wo jede gespeichert wird."),
                 Icon::Information, Buttons::OkCancel) != Answer::Ok)
            return Outcome::Cancelled;
    }
    QString where = folder;
    for (int i = 0; i < n; ++i) {
        Part& part = p.parts[static_cast<size_t>(i)];
        // The year as the advisor names it: "2024", or "2023/2024" when it starts later.
        const QDate last = part.fiscalYear.addYears(1).addDays(-1);
        const QString year =
            last.year() == part.fiscalYear.year()
                ? QString::number(last.year())
                : QStringLiteral("%1/%2").arg(part.fiscalYear.year()).arg(last.year());
        const QString title =
            n == 1 ? kTitle
                   : kTitle + QStringLiteral(" – Datei %1 von %2 (Wirtschaftsjahr %3)")
                                  .arg(i + 1)
                                  .arg(n)
                                  .arg(year);
        QString base = where;
        if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
        part.target = dialogs_.saveFile(title, base + fileName(part.from, part.to),
                                        QStringLiteral("CSV-Datei (*.csv)"));
        if (part.target.isEmpty())
            return Outcome::Cancelled;
        // The batch never takes the place of the cash book or one of its copies.
        if (paths::isCashBookFile(part.target, db_.path())) {
            tell(QStringLiteral("Die Datei\n%1\nist ein Kassenbuch oder dessen Sicherung; der "
                                "Buchungsstapel wird nicht an ihre Stelle geschrieben.\n\nEs wurde "
                                "keine Datei geschrieben.")
                     .arg(part.target));
            return Outcome::Cancelled;
        }
        for (int j = 0; j < i; ++j)
            if (p.parts[static_cast<size_t>(j)].target == part.target) {
                tell(QStringLiteral("Für zwei Wirtschaftsjahre wurde dieselbe Datei gewählt:\n%1"
                                    "\n\nEs wurde keine Datei geschrieben.")
                         .arg(part.target));
                return Outcome::Cancelled;
            }
        where = paths::folderOf(part.target);
    }

    QString replaced;
    const Outcome written = write(lines, p, &replaced);
    if (written != Outcome::Written)
        return written;

    // Files in one folder are named with the folder once, one line each.
    bool oneFolder = true;
    for (const Part& part : p.parts)
        oneFolder = oneFolder && paths::folderOf(part.target) == paths::folderOf(p.parts[0].target);
    QStringList files;
    for (const Part& part : p.parts) {
        const QString name = n > 1 && oneFolder ? QFileInfo(part.target).fileName() : part.target;
        files << QStringLiteral("%1%2(%3, %4 bis %5)")
                     .arg(name, n > 1 && oneFolder ? QStringLiteral(" ") : QStringLiteral("\n"),
                          bookingsText(part.bookings), day(part.from), day(part.to));
    }
    QString text =
        n == 1 ? QStringLiteral("Der Buchungsstapel für den Steuerberater wurde geschrieben:\n")
        : oneFolder
            ? QStringLiteral("Die Buchungsstapel für den Steuerberater wurden in den Ordner\n%1\n"
                             "geschrieben:\n\n")
                  .arg(paths::folderOf(p.parts[0].target))
            : QStringLiteral("Die Buchungsstapel für den Steuerberater wurden geschrieben:\n");
    text += files.join(QLatin1Char('\n'));
    text += p.bookings == p.lines
                ? QStringLiteral("\n\n%1 des Kassenbuchs übernommen.").arg(linesText(p.lines))
                : QStringLiteral("\n\n%1 des Kassenbuchs als %2 Buchungen übernommen (eine "
                                 "Zeile mit Einnahme und Ausgabe oder mit zwei Steuersätzen "
                                 "ergibt zwei Buchungen).")
                      .arg(linesText(p.lines), number(p.bookings));
    const QString skipped = skippedText();
    text += skipped.isEmpty() ? QStringLiteral("\nKeine Zeile wurde ausgelassen.")
                              : QStringLiteral("\n\nNicht übernommen:\n") + skipped;
    if (!replaced.isEmpty())
        text += QStringLiteral("\n\nDiese Zeichen kennt der Zeichensatz Windows-1252 nicht; in "
                               "der Datei steht dafür „?“: ") +
                replaced;
    tell(text, Icon::Information);
    return Outcome::Written;
}

} // namespace tb
