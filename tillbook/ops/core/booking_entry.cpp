#include "booking_entry.h"

#include "cash_date.h"
#include "change_log.h"

#include <algorithm>
#include <utility>

namespace tb {

using schema::Lines;

QString& EntryValues::field(EntryField f) {
    return const_cast<QString&>(std::as_const(*this).field(f));
}

const QString& EntryValues::field(EntryField f) const {
    switch (f) {
    case kStatusField:
        return line.status;
    case kTextField:
        return line.text;
    case kRemarkField:
        return line.remark;
    case kDoneField:
        return line.done;
    case kReceiptField:
        return line.receipt;
    case kPaymentField:
        return line.payment;
    case kRateField:
        return line.rate;
    case kVatField:
        return line.vat;
    case kNumberField:
        break;
    }
    return line.number;
}

bool EntryValues::typed() const {
    return !line.text.isEmpty() || !line.remark.isEmpty() || !line.receipt.isEmpty() ||
           !line.payment.isEmpty();
}

bool BookingEntry::isMixedText(const QString& t) {
    return t.startsWith(QLatin1String("Hotelrechnung")) ||
           t.startsWith(QLatin1String("Nebenkosten"));
}

void BookingEntry::fieldEntered(int field, EntryValues& v) {
    if (settings_.nextReceipt().isEmpty())
        settings_.setNextReceipt(QStringLiteral("0"));
    if (field == kNumberField)
        receiptFieldEntered(v);
}

void BookingEntry::receiptFieldEntered(EntryValues& v) {
    if (settings_.nextReceipt().isEmpty())
        settings_.setNextReceipt(QStringLiteral("0"));
    const QString n = settings_.nextReceipt();
    if (v.line.number.isEmpty())
        v.line.number = n;
    bool ok = false;
    const qint64 number = n.toLongLong(&ok);
    if (ok && number < kMaxReceiptNumber) {
        changelog::ReasonScope booking(settings_.database(), changelog::Reason::Booking);
        settings_.setNextReceipt(QString::number(number + 1));
        settings_.save();
    }
}

void BookingEntry::fieldLeft(EntryValues& v) {
    if (v.line.number.isEmpty())
        v.line.number =
            settings_.nextReceipt().isEmpty() ? QStringLiteral("0") : settings_.nextReceipt();
}

std::optional<Money> BookingEntry::vatOf(const QString& rate, const QString& receipt,
                                         const QString& payment) {
    const auto r = parseRate(rate);
    if (!r || hasMoreThanTwoDecimals(receipt) || hasMoreThanTwoDecimals(payment))
        return std::nullopt;
    const Money in = countedAmount(receipt).value_or(Money());
    const Money out = countedAmount(payment).value_or(Money());
    return containedVat(*r, in, out);
}

QString BookingEntry::reformatAmount(const QString& amount) {
    if (hasMoreThanTwoDecimals(amount))
        return amount;
    const auto m = countedAmount(amount);
    return m ? m->toText() : amount;
}

QString BookingEntry::tooManyDecimalsMessage(const QString& typed) {
    return typed + QStringLiteral(" ist kein gültiger Betrag (höchstens zwei Nachkommastellen).");
}

bool BookingEntry::amountFieldLeft(EntryValues& v) {
    if (v.rate.isEmpty()) {
        dialogs_.message(QStringLiteral("Sie haben keine MwSt. ausgewählt."));
        return true;
    }
    if (v.rate == mixedRate()) {
        dialogs_.message(QStringLiteral("Rechnungen mit Mischsteuersätzen können nicht editiert "
                                        "werden. ") +
                             QLatin1Char('\n') +
                             QStringLiteral("Um dennoch editieren zu können, wählen Sie nur einen "
                                            "Steuersatz."),
                         QStringLiteral("Mischsteuer"), Icon::Information);
        return false;
    }
    const auto r = parseRate(v.rate);
    if (r && *r != 0) {
        if (const auto vat = vatOf(v.rate, v.line.receipt, v.line.payment)) {
            v.line.vat = vat->toText();
            v.vatBox = v.line.vat;
        }
    }
    v.line.receipt = reformatAmount(v.line.receipt);
    v.line.payment = reformatAmount(v.line.payment);
    return true;
}

void BookingEntry::rateChosen(EntryValues& v) {
    if (v.rate.isEmpty())
        return;
    if (const auto vat = vatOf(v.rate, v.line.receipt, v.line.payment)) {
        v.line.vat = vat->toText();
        v.vatBox = v.line.vat;
    }
}

static bool isAmountText(const QString& t) {
    return t.isEmpty() || isAmountMarker(t) || Money::parse(t).has_value();
}

static bool withinBound(const QString& t) {
    const auto m = countedAmount(t);
    return !m || (*m <= kMaxLineAmount && -*m <= kMaxLineAmount);
}

bool BookingEntry::checkAndAdvance(const EntryValues& v) {
    const QString fehler = QStringLiteral("Fehler");
    if (v.line.text.isEmpty()) {
        dialogs_.message(QStringLiteral("Kein Geschäftsvorfall eingegeben"), fehler,
                         Icon::Critical);
        return false;
    }
    if (v.line.receipt.isEmpty() && v.line.payment.isEmpty()) {
        dialogs_.message(QStringLiteral("Sie haben keinen Betrag eingegeben"), fehler,
                         Icon::Critical);
        return false;
    }
    if (!isAmountText(v.line.receipt) || !isAmountText(v.line.payment)) {
        dialogs_.message(QStringLiteral("Der Betrag ist keine gültige Zahl. Bitte geben Sie den "
                                        "Betrag z. B. als 12,50 ein."),
                         fehler, Icon::Critical);
        return false;
    }
    for (const QString* box : {&v.vatBox, &v.vatBox2}) {
        if (!isAmountText(*box)) {
            dialogs_.message(QStringLiteral("Der MwSt.-Betrag ") + *box +
                                 QStringLiteral(" ist keine gültige Zahl. Bitte geben Sie ihn "
                                                "z. B. als 19,00 ein."),
                             fehler, Icon::Critical);
            return false;
        }
    }
    for (const QString* amount : {&v.line.receipt, &v.line.payment, &v.vatBox, &v.vatBox2}) {
        if (hasMoreThanTwoDecimals(*amount)) {
            dialogs_.message(tooManyDecimalsMessage(*amount), fehler, Icon::Critical);
            return false;
        }
    }
    if (!withinBound(v.line.receipt) || !withinBound(v.line.payment) || !withinBound(v.vatBox) ||
        !withinBound(v.vatBox2)) {
        dialogs_.message(QStringLiteral("Der Betrag ist zu groß. Ein Betrag darf höchstens "
                                        "999999999,99 sein."),
                         fehler, Icon::Critical);
        return false;
    }
    const QString& nr = v.line.number;
    const bool digits = !nr.isEmpty() && std::all_of(nr.begin(), nr.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    bool ok = false;
    const qint64 number = nr.toLongLong(&ok);
    if (!digits && (!ok || number < 0 || nr.trimmed() != nr)) {
        dialogs_.message(QStringLiteral("Die Beleg-Nr. muss eine ganze Zahl sein."), fehler,
                         Icon::Critical);
        return false;
    }
    if (!ok || number > kMaxReceiptNumber) {
        dialogs_.message(
            QStringLiteral("Die Beleg-Nr. darf höchstens %1 sein.").arg(kMaxReceiptNumber), fehler,
            Icon::Critical);
        return false;
    }
    changelog::ReasonScope booking(settings_.database(), changelog::Reason::Booking);
    settings_.setNextReceipt(QString::number(number + 1));
    settings_.save();
    return true;
}

bool BookingEntry::writeLine(Database& db, const LineTarget& target, const EntryValues& v,
                             const QString& dayDate, qint64* writtenId) {
    auto failed = [&] {
        dialogs_.message(QStringLiteral("es wurde noch keine neue Zeile angelegt."));
        return false;
    };
    // The columns the save writes, in the order the rules set them.
    LineWrite w;
    const BookingLine& l = v.line;
    w.set(Lines::status, l.status)
        .set(Lines::text, l.text)
        .set(Lines::remark, l.remark)
        .set(Lines::done, l.done)
        .set(Lines::receipt, l.receipt)
        .set(Lines::payment, l.payment)
        .set(Lines::rate, l.rate)
        .set(Lines::vat, l.vat)
        .set(Lines::number, l.number)
        .set(Lines::rate, v.rate);
    if (!l.text.startsWith(QLatin1String("Hotelrechnung"))) {
        if (v.rate == settings_.rate2())
            w.set(Lines::vat2, v.vatBox);
        if (v.rate == settings_.rate1())
            w.set(Lines::vat1, v.vatBox);
    } else {
        w.set(Lines::vat1, v.vatBox);
        w.set(Lines::vat2, v.vatBox2);
    }
    if (v.rate == QLatin1String("0")) {
        w.set(Lines::vat1, QString());
        w.set(Lines::vat2, QString());
    }
    QString date;
    if (!target.isNew()) {
        BookingLine stored;
        if (!BookingLine::load(db, target.id, stored))
            return failed(); // the line is gone
        date = stored.date;
    }
    if (date.isEmpty())
        date = dayDate;
    if (date.isEmpty())
        return failed();
    w.set(Lines::date, date);
    w.set(Lines::dateKey, cashdate::key8(date));
    w.set(Lines::open, l.done != QLatin1String("V") ? QStringLiteral("O") : QString());
    w.set(Lines::balance, QStringLiteral("0"));

    // A saved line is edited only with the service code.
    changelog::ReasonScope reason(db, target.isNew() ? changelog::Reason::Booking
                                                     : changelog::Reason::ServiceEdit);
    qint64 id = target.id;
    if (!(target.isNew() ? w.insert(db, &id) : w.update(db, target.id)))
        return failed();
    if (writtenId)
        *writtenId = id;
    return true;
}

void BookingEntry::showLine(const DataView& lines, EntryValues& v) const {
    const BookingLine stored = BookingLine::read(lines);
    v.line = stored;
    v.rate = stored.rate;
    v.vatBox = v.line.vat;
    // Step by step as the rules go: a box emptied here no longer makes a two-rate line. Only
    // the shown values are emptied; the stored line stays as it is.
    QString vat2 = stored.vat2;
    QString vat1 = stored.vat1;
    if (!isMixedText(v.line.text)) {
        if (v.rate == settings_.rate2()) {
            v.vatBox = vat2;
            vat1.clear();
        }
        if (v.rate == settings_.rate1()) {
            v.vatBox = vat1;
            vat2.clear();
        }
    }
    v.twoRates = !vat2.isEmpty() && !vat1.isEmpty();
    if (v.twoRates) {
        v.rate = settings_.rate1();
        v.vatBox = vat1;
        v.vatBox2 = vat2;
        v.rate2 = settings_.rate2();
    } else {
        v.vatBox2.clear();
        v.rate2.clear();
        if (v.rate == mixedRate())
            v.vatBox = v.line.vat;
    }
}

bool BookingEntry::toggleDone(DataView& lines) {
    if (lines.atEnd() || lines.isAdding())
        return false;
    changelog::ReasonScope reason(lines.database(), changelog::Reason::DoneMark);
    if (lines.value(Lines::done) != QLatin1String("V")) {
        lines.setValue(Lines::done, QStringLiteral("V"));
        lines.setValue(Lines::open, QString());
    } else {
        lines.setValue(Lines::done, QStringLiteral(" "));
        lines.setValue(Lines::open, QStringLiteral("O"));
    }
    return lines.update().ok();
}

bool BookingEntry::isAmountKey(const QString& typed) {
    static const QString allowed = QStringLiteral("0123456789:,-.KUSÜ");
    return typed.size() == 1 && allowed.contains(typed[0]);
}

QString BookingEntry::normalizeAmountInput(const QString& current, const QString& typed) {
    const QString t = typed == QLatin1String(".") ? QStringLiteral(",") : typed;
    if (t == QLatin1String(",") && current.isEmpty())
        return QStringLiteral("0,");
    return t;
}

} // namespace tb
