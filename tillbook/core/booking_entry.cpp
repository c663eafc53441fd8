#include "booking_entry.h"

#include "cash_date.h"

namespace tb {

const QStringList& BookingEntry::columns() {
    static const QStringList c{"a1", "n1", "n2", "a3", "a4", "a5", "a6", "a7", "a8"};
    return c;
}

bool BookingEntry::isMixedText(const QString& t) {
    return t.startsWith(QLatin1String("Hotelrechnung")) ||
           t.startsWith(QLatin1String("Nebenkosten"));
}

void BookingEntry::receiptFieldEntered(EntryValues& v) {
    if (settings_.nextReceipt().isEmpty())
        settings_.setNextReceipt(QStringLiteral("0"));
    const QString n = settings_.nextReceipt();
    if (v.field[8].isEmpty())
        v.field[8] = n;
    bool ok = false;
    const qint64 number = n.toLongLong(&ok);
    if (ok) {
        settings_.setNextReceipt(QString::number(number + 1));
        settings_.save();
    }
}

void BookingEntry::fieldLeft(EntryValues& v) {
    if (v.field[8].isEmpty())
        v.field[8] =
            settings_.nextReceipt().isEmpty() ? QStringLiteral("0") : settings_.nextReceipt();
}

std::optional<Money> BookingEntry::vatOf(const QString& rate, const QString& receipt,
                                         const QString& payment) {
    const auto r = parseRate(rate);
    if (!r)
        return std::nullopt;
    const Money in = countedAmount(receipt).value_or(Money());
    const Money out = countedAmount(payment).value_or(Money());
    return containedVat(*r, in, out);
}

static void reformat(QString& amount) {
    if (const auto m = countedAmount(amount))
        amount = m->toText();
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
        if (const auto vat = vatOf(v.rate, v.field[4], v.field[5])) {
            v.field[7] = vat->toText();
            v.vatBox = v.field[7];
        }
    }
    reformat(v.field[4]);
    reformat(v.field[5]);
    return true;
}

void BookingEntry::rateChosen(EntryValues& v) {
    if (v.rate.isEmpty())
        return;
    if (const auto vat = vatOf(v.rate, v.field[4], v.field[5])) {
        v.field[7] = vat->toText();
        v.vatBox = v.field[7];
    }
}

static bool isAmountText(const QString& t) {
    return t.isEmpty() || isAmountMarker(t) || Money::parse(t).has_value();
}

bool BookingEntry::checkAndAdvance(const EntryValues& v) {
    const QString fehler = QStringLiteral("Fehler");
    if (v.field[1].isEmpty()) {
        dialogs_.message(QStringLiteral("Kein Geschäftsvorfall eingegeben"), fehler,
                         Icon::Critical);
        return false;
    }
    if (v.field[4].isEmpty() && v.field[5].isEmpty()) {
        dialogs_.message(QStringLiteral("Sie haben keinen Betrag eingegeben"), fehler,
                         Icon::Critical);
        return false;
    }
    if (!isAmountText(v.field[4]) || !isAmountText(v.field[5])) {
        dialogs_.message(QStringLiteral("Der Betrag ist keine gültige Zahl. Bitte geben Sie den "
                                        "Betrag z. B. als 12,50 ein."),
                         fehler, Icon::Critical);
        return false;
    }
    bool ok = false;
    const qint64 number = v.field[8].toLongLong(&ok);
    if (!ok || number < 0 || v.field[8].trimmed() != v.field[8]) {
        dialogs_.message(QStringLiteral("Die Beleg-Nr. muss eine ganze Zahl sein."), fehler,
                         Icon::Critical);
        return false;
    }
    settings_.setNextReceipt(QString::number(number + 1));
    settings_.save();
    return true;
}

bool BookingEntry::writeLine(DataView& lines, const EntryValues& v, const QString& currentDayDate) {
    const auto& cols = columns();
    for (int i = 0; i < 9; ++i)
        lines.setValue(cols[i], v.field[i]);
    lines.setValue(QStringLiteral("a6"), v.rate);
    const QString text = v.field[1];
    if (!text.startsWith(QLatin1String("Hotelrechnung"))) {
        if (v.rate == settings_.rate2())
            lines.setValue(QStringLiteral("a13"), v.vatBox);
        if (v.rate == settings_.rate1())
            lines.setValue(QStringLiteral("a14"), v.vatBox);
    } else {
        lines.setValue(QStringLiteral("a14"), v.vatBox);
        lines.setValue(QStringLiteral("a13"), v.vatBox2);
    }
    if (v.rate == QLatin1String("0")) {
        lines.setValue(QStringLiteral("a14"), QString());
        lines.setValue(QStringLiteral("a13"), QString());
    }
    if (lines.value(QStringLiteral("a10")).isEmpty())
        lines.setValue(QStringLiteral("a10"), currentDayDate);
    lines.setValue(QStringLiteral("a11"), cashdate::key8(lines.value(QStringLiteral("a10"))));
    lines.setValue(QStringLiteral("a12"),
                   v.field[3] != QLatin1String("V") ? QStringLiteral("O") : QString());
    lines.setValue(QStringLiteral("a15"), QStringLiteral("0"));
    const bool valid = lines.isAdding() || !lines.atEnd();
    if (!valid || lines.value(QStringLiteral("a10")).isEmpty() || !lines.update()) {
        lines.cancelAdd();
        dialogs_.message(QStringLiteral("es wurde noch keine neue Zeile angelegt."));
        return false;
    }
    return true;
}

void BookingEntry::showLine(const DataView& lines, EntryValues& v) const {
    const auto& cols = columns();
    for (int i = 0; i < 9; ++i)
        v.field[i] = lines.value(cols[i]);
    v.rate = lines.value(QStringLiteral("a6"));
    v.vatBox = v.field[7];
    const QString a13 = lines.value(QStringLiteral("a13"));
    const QString a14 = lines.value(QStringLiteral("a14"));
    if (!isMixedText(v.field[1])) {
        if (v.rate == settings_.rate2())
            v.vatBox = a13;
        else if (v.rate == settings_.rate1())
            v.vatBox = a14;
    }
    v.twoRates = !a13.isEmpty() && !a14.isEmpty();
    if (v.twoRates) {
        v.rate = settings_.rate1();
        v.vatBox = a14;
        v.vatBox2 = a13;
        v.rate2 = settings_.rate2();
    } else {
        v.vatBox2.clear();
        v.rate2.clear();
        if (v.rate == mixedRate())
            v.vatBox = v.field[7];
    }
}

bool BookingEntry::isAmountKey(const QString& typed) {
    static const QString allowed = QStringLiteral("0123456789:,-.KUSÜ");
    return typed.size() == 1 && allowed.contains(typed[0]);
}

QString BookingEntry::normalizeAmountInput(const QString& current, const QString& typed) {
    const QString t = typed == QLatin1String(".") ? QStringLiteral(",") : typed;
    if (t == QLatin1String(",") && current.isEmpty())
        return QStringLiteral("0,");
    return current + t;
}

} // namespace tb
