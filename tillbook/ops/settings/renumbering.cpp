#include "renumbering.h"

#include "change_log.h"
#include "listings.h"

#include <algorithm>

namespace tb {

qint64 Renumbering::countInRange(const QString& from, const QString& to) {
    Statement st = db_.prepare(QStringLiteral("SELECT count(*) FROM (") +
                               Listings::periodSql(false).chopped(1) + QStringLiteral(");"));
    st.bindValues({Listings::boundKey(to), Listings::boundKey(from)});
    if (!st.next())
        return -1;
    return st.integer(0);
}

std::optional<qint64> Renumbering::renumber(const QString& from, const QString& to, qint64 n) {
    changelog::ReasonScope reason(db_, changelog::Reason::Renumbering);
    Transaction t(db_);
    if (!t.isActive())
        return std::nullopt;
    std::vector<qint64> ids;
    {
        Statement select = db_.prepare(Listings::periodSql());
        select.bindValues({Listings::boundKey(to), Listings::boundKey(from)});
        while (select.next())
            ids.push_back(select.integer(0)); // ID is the first column
        if (!select.isValid() || !select.failure().ok())
            return std::nullopt;
    }
    Statement write = db_.prepare(QStringLiteral("UPDATE Buchungen SET a8 = ? WHERE ID = ?;"));
    if (n < 0 || n > kMaxReceiptNumber - std::max<qint64>(qint64(ids.size()) - 1, 0))
        return std::nullopt;
    qint64 i = n;
    for (const qint64 id : ids) {
        write.bind(1, QString::number(i));
        write.bind(2, id);
        if (!write.run())
            return std::nullopt;
        write.reset();
        ++i;
    }
    settings_.setNextReceipt(QString::number(i));
    // The renumbering as a whole, beside the entries of its lines.
    changelog::NewEntry whole{changelog::Kind::Renumbering, changelog::Reason::Renumbering};
    whole.date = from;
    changelog::appendItem(whole.after, "von", from.toStdString());
    changelog::appendItem(whole.after, "bis", to.toStdString());
    changelog::appendItem(whole.after, "Startnummer", std::to_string(n));
    changelog::appendItem(whole.after, "Zeilen", std::to_string(ids.size()));
    if (!settings_.save() || !changelog::append(db_, whole) || !t.commit()) {
        settings_.reload();
        return std::nullopt;
    }
    return i;
}

Renumbering::Outcome Renumbering::run(const QString& from, const QString& to,
                                      QString& receiptField) {
    const auto entered = dialogs_.input(QStringLiteral("Bitte geben Sie die erste Belegnummer vor"),
                                        QStringLiteral("Belegnummern neu vergeben"), receiptField);
    if (!entered || entered->trimmed().isEmpty())
        return Outcome::Empty;
    bool ok = false;
    const qint64 n = entered->trimmed().toLongLong(&ok);
    const bool digits = std::all_of(entered->begin(), entered->end(), [](QChar c) {
        return c.isSpace() || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    });
    if ((!ok && !digits) || (ok && n < 0)) {
        dialogs_.message(QStringLiteral("Die erste Belegnummer muss eine ganze Zahl sein."),
                         QStringLiteral("Fehler"), Icon::Critical);
        return Outcome::NotANumber;
    }
    // The last number given must still be a receipt number; nothing is written otherwise.
    const qint64 count = ok ? countInRange(from, to) : 0;
    if (!ok || count < 0 || n > kMaxReceiptNumber - std::max<qint64>(count - 1, 0)) {
        dialogs_.message(QStringLiteral("Mit dieser Startnummer würden die Belegnummern größer "
                                        "als %1. Es wurde nichts geändert.")
                             .arg(kMaxReceiptNumber),
                         QStringLiteral("Fehler"), Icon::Critical);
        return Outcome::TooLarge;
    }
    if (dialogs_.message(QStringLiteral("Sollen die Belegnummern vom ") + from +
                             QStringLiteral(" bis zum ") + to +
                             QStringLiteral(" mit der Startnummer ") + QString::number(n) +
                             QStringLiteral(" jetzt neu vergeben werden ?"),
                         QStringLiteral("Belegnummern neu schreiben"), Icon::None,
                         Buttons::YesNo) != Answer::Yes)
        return Outcome::Declined;
    const QString before = receiptField;
    receiptField = QString::number(n);
    const auto next = renumber(from, to, n);
    if (!next) {
        receiptField = before; // nothing changed, the field included
        dialogs_.message(QStringLiteral("Die Belegnummern konnten nicht neu geschrieben werden. Es "
                                        "wurde nichts geändert."),
                         QStringLiteral("Fehler"), Icon::Critical);
        return Outcome::Failed;
    }
    receiptField = QString::number(*next);
    dialogs_.message(QStringLiteral("Belegnummern neu geschrieben !"), {}, Icon::Information);
    return Outcome::Done;
}

} // namespace tb
