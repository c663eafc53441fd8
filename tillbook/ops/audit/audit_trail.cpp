#include "audit_trail.h"

#include "schema.h"

#include <QLocale>

namespace tb {

using changelog::Kind;
using changelog::Reason;

namespace {
const QString kColumns =
    QStringLiteral("ID, Zeit, Art, Anlass, Bezug, Beleg, Datum, Vorher, Nachher, Pruefsumme");

LogEntry entryOf(const Statement& st) {
    LogEntry e;
    e.number = st.integer(0);
    e.time = st.integer(1);
    e.kind = static_cast<int>(st.integer(2));
    e.reason = static_cast<int>(st.integer(3));
    e.ref = st.integer(4);
    e.receipt = st.text(5);
    e.date = st.text(6);
    e.before = st.text(7);
    e.after = st.text(8);
    e.hash = st.blob(9);
    return e;
}

// The WHERE clause of a filter, with its values.
QString whereOf(const LogFilter& f, QVariantList& values) {
    QStringList parts;
    if (f.from.isValid()) {
        parts << QStringLiteral("Zeit >= ?");
        values << QDateTime(f.from, QTime(0, 0)).toSecsSinceEpoch();
    }
    if (f.to.isValid()) {
        parts << QStringLiteral("Zeit < ?");
        values << QDateTime(f.to.addDays(1), QTime(0, 0)).toSecsSinceEpoch();
    }
    if (f.kind > 0) {
        parts << QStringLiteral("Art = ?");
        values << f.kind;
    }
    if (f.serviceEditsAndDeletions) {
        parts << QStringLiteral("((Art = ? AND Anlass = ?) OR Art IN (?, ?))");
        values << int(Kind::LineChanged) << int(Reason::ServiceEdit) << int(Kind::LineDeleted)
               << int(Kind::DayDeleted);
    }
    if (f.line > 0) {
        parts << QStringLiteral("Art IN (%1, %2, %3) AND Bezug = ?")
                     .arg(int(Kind::LineAdded))
                     .arg(int(Kind::LineChanged))
                     .arg(int(Kind::LineDeleted));
        values << f.line;
    }
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(" AND ");
}

bool isLineKind(int kind) {
    return kind >= int(Kind::LineAdded) && kind <= int(Kind::LineDeleted);
}
bool isDayKind(int kind) {
    return kind >= int(Kind::DayAdded) && kind <= int(Kind::DayDeleted);
}
bool isSettingsKind(int kind) {
    return kind >= int(Kind::SettingsAdded) && kind <= int(Kind::SettingsDeleted);
}

std::vector<std::pair<QString, QString>> itemsOf(const QString& form) {
    std::vector<std::pair<std::string, std::string>> raw;
    std::vector<std::pair<QString, QString>> out;
    if (!changelog::parseForm(form.toStdString(), raw)) {
        out.emplace_back(QString(), form);
        return out;
    }
    for (auto& [n, v] : raw)
        out.emplace_back(QString::fromStdString(n), QString::fromStdString(v));
    return out;
}

QString shown(const QString& value) {
    return value.isEmpty() ? QStringLiteral("(leer)") : value;
}
} // namespace

QString LogEntry::momentText() const {
    return moment().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

QString LogHead::shortHash() const {
    return hash.isEmpty() ? QString() : QString::fromLatin1(hash.toHex().left(16)) + QChar(0x2026);
}

QString LogHead::footer() const {
    if (entries == 0)
        return {};
    return QStringLiteral("Änderungsprotokoll: %1, letzte Prüfsumme %2")
        .arg(AuditTrail::entriesText(entries), shortHash());
}

std::vector<qint64> AuditTrail::numbers(Database& db, const LogFilter& filter) {
    std::vector<qint64> out;
    if (!changelog::hasLog(db))
        return out;
    QVariantList values;
    Statement st = db.prepare(QStringLiteral("SELECT ID FROM Protokoll%1 ORDER BY ID DESC;")
                                  .arg(whereOf(filter, values)));
    st.bindValues(values);
    while (st.next())
        out.push_back(st.integer(0));
    return out;
}

std::vector<LogEntry> AuditTrail::read(Database& db, const LogFilter& filter) {
    std::vector<LogEntry> out;
    if (!changelog::hasLog(db))
        return out;
    QVariantList values;
    Statement st = db.prepare(QStringLiteral("SELECT %1 FROM Protokoll%2 ORDER BY ID;")
                                  .arg(kColumns, whereOf(filter, values)));
    st.bindValues(values);
    while (st.next())
        out.push_back(entryOf(st));
    return out;
}

std::optional<LogEntry> AuditTrail::entry(Database& db, qint64 number) {
    Statement st =
        db.prepare(QStringLiteral("SELECT %1 FROM Protokoll WHERE ID = ?;").arg(kColumns));
    st.bind(1, number);
    if (!st.next())
        return std::nullopt;
    return entryOf(st);
}

LogHead AuditTrail::head(Database& db) {
    LogHead h;
    if (!changelog::hasLog(db))
        return h;
    Statement st = db.prepare(QStringLiteral(
        "SELECT (SELECT count(*) FROM Protokoll), ID, Pruefsumme FROM Protokoll ORDER BY ID "
        "DESC LIMIT 1;"));
    if (st.next()) {
        h.entries = st.integer(0);
        h.last = st.integer(1);
        h.hash = st.blob(2);
    }
    return h;
}

std::optional<QDateTime> AuditTrail::entryTime(Database& db, qint64 lineId) {
    if (!changelog::hasLog(db))
        return std::nullopt;
    Statement st = db.prepare(QStringLiteral(
        "SELECT Zeit FROM Protokoll WHERE Art = ? AND Bezug = ? ORDER BY ID LIMIT 1;"));
    st.bind(1, static_cast<qint64>(Kind::LineAdded));
    st.bind(2, lineId);
    if (!st.next())
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(st.integer(0));
}

std::unordered_map<qint64, qint64> AuditTrail::entryTimes(Database& db) {
    std::unordered_map<qint64, qint64> out;
    if (!changelog::hasLog(db))
        return out;
    Statement st =
        db.prepare(QStringLiteral("SELECT Bezug, Zeit FROM Protokoll WHERE Art = ? ORDER BY ID;"));
    st.bind(1, static_cast<qint64>(Kind::LineAdded));
    while (st.next())
        out.emplace(st.integer(0), st.integer(1));
    return out;
}

QString AuditTrail::kindText(int kind) {
    switch (static_cast<Kind>(kind)) {
    case Kind::LineAdded:
        return QStringLiteral("Zeile erfasst");
    case Kind::LineChanged:
        return QStringLiteral("Zeile geändert");
    case Kind::LineDeleted:
        return QStringLiteral("Zeile gelöscht");
    case Kind::DayAdded:
        return QStringLiteral("Tag angelegt");
    case Kind::DayChanged:
        return QStringLiteral("Tag geändert");
    case Kind::DayDeleted:
        return QStringLiteral("Tag gelöscht");
    case Kind::SettingsAdded:
        return QStringLiteral("Einstellungen angelegt");
    case Kind::SettingsChanged:
        return QStringLiteral("Einstellungen geändert");
    case Kind::SettingsDeleted:
        return QStringLiteral("Einstellungen gelöscht");
    case Kind::Renumbering:
        return QStringLiteral("Umnummerierung");
    case Kind::DataCorrection:
        return QStringLiteral("Datenkorrektur");
    case Kind::Restore:
        return QStringLiteral("Wiederherstellung");
    case Kind::Repair:
        return QStringLiteral("Reparatur");
    case Kind::Begun:
        return QStringLiteral("Protokoll begonnen");
    case Kind::LoggingRestored:
        return QStringLiteral("Protokollierung erneuert");
    case Kind::AdvisorAccounts:
        return QStringLiteral("Konten für den Steuerberater geändert");
    case Kind::CountStored:
        return QStringLiteral("Zählung gespeichert");
    }
    return QStringLiteral("Art %1").arg(kind);
}

QString AuditTrail::reasonText(int reason) {
    switch (static_cast<Reason>(reason)) {
    case Reason::None:
        return {};
    case Reason::Booking:
        return QStringLiteral("Erfassung");
    case Reason::ServiceEdit:
        return QStringLiteral("Bearbeitung mit Servicecode");
    case Reason::DoneMark:
        return QStringLiteral("Erledigt-Markierung F9");
    case Reason::Cancellation:
        return QStringLiteral("Stornierung");
    case Reason::LineDeletion:
        return QStringLiteral("Zeile löschen");
    case Reason::DayDeletion:
        return QStringLiteral("Tag löschen");
    case Reason::Renumbering:
        return QStringLiteral("Umnummerierung");
    case Reason::DataCorrection:
        return QStringLiteral("Datenkorrektur");
    case Reason::Float:
        return QStringLiteral("Kassenbestand");
    case Reason::Settings:
        return QStringLiteral("Vorgaben");
    case Reason::AdvisorAccounts:
        return QStringLiteral("Konten für den Steuerberater");
    case Reason::Password:
        return QStringLiteral("Passwort");
    case Reason::Restore:
    case Reason::Repair:
        return QStringLiteral("Restorix");
    case Reason::NewBook:
        return QStringLiteral("neues Kassenbuch");
    }
    return QStringLiteral("Anlass %1").arg(reason);
}

QString AuditTrail::kindWithReason(const LogEntry& e) {
    const QString reason = reasonText(e.reason);
    const QString kind = kindText(e.kind);
    if (reason.isEmpty() || kind.startsWith(reason))
        return kind;
    return kind + QStringLiteral(" (") + reason + QLatin1Char(')');
}

QString AuditTrail::caption(int kind, const QString& column) {
    using L = schema::Lines;
    using S = schema::Settings;
    static const std::pair<QString, const char*> line[] = {{L::status, "Status"},
                                                           {L::text, "Buchungstext"},
                                                           {L::remark, "Bemerkung"},
                                                           {L::done, "erledigt"},
                                                           {L::receipt, "Einnahme"},
                                                           {L::payment, "Ausgabe"},
                                                           {L::rate, "MwSt.-Satz"},
                                                           {L::vat, "MwSt."},
                                                           {L::number, "Beleg"},
                                                           {L::date, "Datum"},
                                                           {L::dateKey, "Datumsschlüssel"},
                                                           {L::open, "offen"},
                                                           {L::vat2, "MwSt. Satz 2"},
                                                           {L::vat1, "MwSt. Satz 1"}};
    static const std::pair<QString, const char*> day[] = {{schema::Days::date, "Datum"},
                                                          {schema::Days::key, "Datumsschlüssel"}};
    static const std::pair<QString, const char*> settings[] = {
        {S::caption(1), "Spaltentitel 1"},  {S::caption(2), "Spaltentitel 2"},
        {S::caption(3), "Spaltentitel 3"},  {S::caption(4), "Spaltentitel 4"},
        {S::caption(5), "Spaltentitel 5"},  {S::floatAmount, "Kassenbestand"},
        {S::rate1, "MwSt.-Satz 1"},         {S::rate2, "MwSt.-Satz 2"},
        {S::currency, "Währung"},           {S::nextReceipt, "nächste Beleg-Nr."},
        {S::noTax, "Steuer nicht drucken"}, {S::password, "Passwort"}};
    auto find = [&](const auto& table) -> QString {
        for (const auto& [c, name] : table)
            if (column == c)
                return QString::fromUtf8(name);
        return column;
    };
    if (isLineKind(kind))
        return find(line);
    if (isDayKind(kind))
        return find(day);
    if (isSettingsKind(kind))
        return find(settings);
    return column;
}

QString AuditTrail::formText(int kind, const QString& form) {
    QStringList parts;
    for (const auto& [column, value] : itemsOf(form))
        parts << (column.isEmpty() ? value : caption(kind, column) + QStringLiteral(": ") + value);
    return parts.join(QStringLiteral("; "));
}

QString AuditTrail::changeText(const LogEntry& e) {
    auto listed = [&](const QString& form) { return formText(e.kind, form); };
    const bool changed = e.kind == int(Kind::LineChanged) || e.kind == int(Kind::DayChanged) ||
                         e.kind == int(Kind::SettingsChanged) ||
                         e.kind == int(Kind::AdvisorAccounts);
    if (!changed) {
        const QString before = listed(e.before);
        const QString after = listed(e.after);
        if (before.isEmpty())
            return after;
        if (after.isEmpty())
            return before;
        return before + QStringLiteral("; ") + after;
    }
    // Before and after of each changed column, side by side.
    const auto before = itemsOf(e.before);
    const auto after = itemsOf(e.after);
    QStringList parts;
    for (size_t i = 0; i < after.size(); ++i) {
        const QString old = i < before.size() ? before[i].second : QString();
        parts << caption(e.kind, after[i].first) + QStringLiteral(": ") + shown(old) +
                     QStringLiteral(" → ") + shown(after[i].second);
    }
    return parts.join(QStringLiteral("; "));
}

QString AuditTrail::entriesText(qint64 n) {
    return grouped(n) + (n == 1 ? QStringLiteral(" Eintrag") : QStringLiteral(" Einträge"));
}

QString AuditTrail::grouped(qint64 n) {
    QString digits = QString::number(n < 0 ? -n : n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QChar(0x00A0));
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

QString AuditTrail::lineName(qint64 id, const QString& receipt, const QString& date) {
    QString t = QStringLiteral("Zeile %1").arg(id);
    if (!receipt.isEmpty() && !date.isEmpty())
        t += QStringLiteral(" (Beleg %1 vom %2)").arg(receipt, date);
    else if (!date.isEmpty())
        t += QStringLiteral(" (vom %1)").arg(date);
    return t;
}

} // namespace tb
