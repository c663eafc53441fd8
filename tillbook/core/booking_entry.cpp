#include "booking_entry.h"

#include "cash_date.h"
#include "change_log.h"

#include <algorithm>

namespace tb {

const QStringList& BookingEntry::columns() {
    static const QStringList c{"a1", "n1", "n2", "a3", "a4", "a5", "a6", "a7", "a8"};
    return c;
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
    if (v.field[8].isEmpty())
        v.field[8] = n;
    bool ok = false;
    const qint64 number = n.toLongLong(&ok);
    if (ok && number < kMaxReceiptNumber) {
        changelog::ReasonScope booking(settings_.database(), changelog::Reason::Booking);
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
        if (const auto vat = vatOf(v.rate, v.field[4], v.field[5])) {
            v.field[7] = vat->toText();
            v.vatBox = v.field[7];
        }
    }
    v.field[4] = reformatAmount(v.field[4]);
    v.field[5] = reformatAmount(v.field[5]);
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

static bool withinBound(const QString& t) {
    const auto m = countedAmount(t);
    return !m || (*m <= kMaxLineAmount && -*m <= kMaxLineAmount);
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
    for (const QString* box : {&v.vatBox, &v.vatBox2}) {
        if (!isAmountText(*box)) {
            dialogs_.message(QStringLiteral("Der MwSt.-Betrag ") + *box +
                                 QStringLiteral(" ist keine gültige Zahl. Bitte geben Sie ihn "
                                                "z. B. als 19,00 ein."),
                             fehler, Icon::Critical);
            return false;
        }
    }
    for (const QString* amount : {&v.field[4], &v.field[5], &v.vatBox, &v.vatBox2}) {
        if (hasMoreThanTwoDecimals(*amount)) {
            dialogs_.message(tooManyDecimalsMessage(*amount), fehler, Icon::Critical);
            return false;
        }
    }
    if (!withinBound(v.field[4]) || !withinBound(v.field[5]) || !withinBound(v.vatBox) ||
        !withinBound(v.vatBox2)) {
        dialogs_.message(QStringLiteral("Der Betrag ist zu groß. Ein Betrag darf höchstens "
                                        "999999999,99 sein."),
                         fehler, Icon::Critical);
        return false;
    }
    const QString& nr = v.field[8];
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
    QStringList names;
    QStringList values;
    auto set = [&](const QString& column, const QString& value) {
        const qsizetype at = names.indexOf(column);
        if (at >= 0) {
            values[at] = value;
            return;
        }
        names << column;
        values << value;
    };
    const auto& cols = columns();
    for (int i = 0; i < 9; ++i)
        set(cols[i], v.field[static_cast<size_t>(i)]);
    set(QStringLiteral("a6"), v.rate);
    const QString text = v.field[kTextField];
    if (!text.startsWith(QLatin1String("Hotelrechnung"))) {
        if (v.rate == settings_.rate2())
            set(QStringLiteral("a13"), v.vatBox);
        if (v.rate == settings_.rate1())
            set(QStringLiteral("a14"), v.vatBox);
    } else {
        set(QStringLiteral("a14"), v.vatBox);
        set(QStringLiteral("a13"), v.vatBox2);
    }
    if (v.rate == QLatin1String("0")) {
        set(QStringLiteral("a14"), QString());
        set(QStringLiteral("a13"), QString());
    }
    QString date;
    if (!target.isNew()) {
        Statement st = db.prepare(QStringLiteral("SELECT a10 FROM Buchungen WHERE ID = ?;"));
        st.bind(1, target.id);
        if (!st.next())
            return failed(); // the line is gone
        date = st.text(0);
    }
    if (date.isEmpty())
        date = dayDate;
    if (date.isEmpty())
        return failed();
    set(QStringLiteral("a10"), date);
    set(QStringLiteral("a11"), cashdate::key8(date));
    set(QStringLiteral("a12"),
        v.field[kDoneField] != QLatin1String("V") ? QStringLiteral("O") : QString());
    set(QStringLiteral("a15"), QStringLiteral("0"));

    QStringList quoted;
    for (const QString& n : names)
        quoted << QLatin1Char('"') + n + QLatin1Char('"');
    Statement st;
    if (target.isNew()) {
        QStringList marks;
        for (qsizetype i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        st = db.prepare(QStringLiteral("INSERT INTO Buchungen (%1) VALUES (%2);")
                            .arg(quoted.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
        st.bindAll(values);
    } else {
        st = db.prepare(QStringLiteral("UPDATE Buchungen SET %1 WHERE ID = ?;")
                            .arg(quoted.join(QStringLiteral("=?,")) + QStringLiteral("=?")));
        st.bindAll(values);
        st.bind(static_cast<int>(values.size()) + 1, target.id);
    }
    // A saved line is edited only with the service code.
    changelog::ReasonScope reason(db, target.isNew() ? changelog::Reason::Booking
                                                     : changelog::Reason::ServiceEdit);
    if (!st.run() || db.changes() != 1)
        return failed();
    if (writtenId)
        *writtenId = target.isNew() ? db.lastInsertId() : target.id;
    return true;
}

bool BookingEntry::writeLine(DataView& lines, const EntryValues& v, const QString& dayDate) {
    Database* db = lines.database();
    const bool valid = db && (lines.isAdding() || !lines.atEnd());
    LineTarget target;
    if (!lines.isAdding())
        target.id = lines.id();
    lines.cancelAdd();
    qint64 id = 0;
    if (!valid) {
        dialogs_.message(QStringLiteral("es wurde noch keine neue Zeile angelegt."));
        return false;
    }
    if (!writeLine(*db, target, v, dayDate, &id))
        return false;
    lines.refresh();
    lines.findId(id);
    return true;
}

void BookingEntry::showLine(const DataView& lines, EntryValues& v) const {
    const auto& cols = columns();
    for (int i = 0; i < 9; ++i)
        v.field[i] = lines.value(cols[i]);
    v.rate = lines.value(QStringLiteral("a6"));
    v.vatBox = v.field[7];
    // Step by step as the rules go: a box emptied here no longer makes a two-rate line. Only
    // the shown values are emptied; the stored line stays as it is.
    QString a13 = lines.value(QStringLiteral("a13"));
    QString a14 = lines.value(QStringLiteral("a14"));
    if (!isMixedText(v.field[1])) {
        if (v.rate == settings_.rate2()) {
            v.vatBox = a13;
            a14.clear();
        }
        if (v.rate == settings_.rate1()) {
            v.vatBox = a14;
            a13.clear();
        }
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

bool BookingEntry::toggleDone(DataView& lines) {
    if (lines.atEnd() || lines.isAdding())
        return false;
    changelog::ReasonScope reason(lines.database(), changelog::Reason::DoneMark);
    if (lines.value(QStringLiteral("a3")) != QLatin1String("V")) {
        lines.setValue(QStringLiteral("a3"), QStringLiteral("V"));
        lines.setValue(QStringLiteral("a12"), QString());
    } else {
        lines.setValue(QStringLiteral("a3"), QStringLiteral(" "));
        lines.setValue(QStringLiteral("a12"), QStringLiteral("O"));
    }
    return lines.update();
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
