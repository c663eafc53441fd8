#include "cash_date.h"

#include "jet_functions.h"

#include <QLocale>

namespace tb::cashdate {

QString toText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

QDate fromText(const QString& text) {
    if (text.size() != 10)
        return {};
    return QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
}

QString key8(const QString& text) {
    return jet::mid(text, 7, 4) + jet::mid(text, 4, 2) + jet::mid(text, 1, 2);
}

int rangeNumber(const QString& text) {
    return static_cast<int>(jet::val(jet::mid(text, 7, 4)) * 10000 +
                            jet::val(jet::mid(text, 4, 2)) * 100 + jet::val(text.left(2)));
}

QString weekdayShort(const QDate& date) {
    QString name = QLocale(QLocale::German).dayName(date.dayOfWeek(), QLocale::ShortFormat);
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}

} // namespace tb::cashdate
