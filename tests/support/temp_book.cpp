#include "temp_book.h"

#include "cash_date.h"
#include "cash_file.h"

#include <QSettings>
#include <QStandardPaths>
#include <stdexcept>

namespace tb::test {

TempBook::TempBook() {
    if (const Result made = cashfile::createEmpty(path()); !made)
        throw std::runtime_error(germanText(made).toStdString());
    reopen();
}

void TempBook::reopen() {
    db_ = Database::open(path(), {});
    if (!db_)
        throw std::runtime_error("cannot open the test cash book");
}

void TempBook::addDay(const QString& date) {
    Statement st = db_->prepare(QStringLiteral("INSERT INTO Datum (a1, a2, a3) VALUES (?,?,'');"));
    st.bindAll({date, cashdate::key8(date)});
    st.run();
}

qint64 TempBook::addLine(const QString& date, const QString& receipt, const QString& payment,
                         const QString& text, const QString& balance) {
    Statement st = db_->prepare(QStringLiteral(
        "INSERT INTO Buchungen (a1, n1, n2, a3, a4, a5, a6, a7, a8, a10, a11, a12, a15) "
        "VALUES ('', ?, '', '', ?, ?, '19', '', '1', ?, ?, 'O', ?);"));
    st.bindAll({text, receipt, payment, date, cashdate::key8(date), balance});
    st.run();
    return db_->lastInsertId();
}

QString TempBook::lineValue(qint64 id, const QString& column) {
    return db_->scalar(QStringLiteral("SELECT \"%1\" FROM Buchungen WHERE ID = ?;").arg(column),
                       {QString::number(id)});
}

QString TempBook::setting(const QString& column) {
    return db_->scalar(QStringLiteral("SELECT \"%1\" FROM Einstellungen;").arg(column));
}

void TempBook::setSetting(const QString& column, const QString& value) {
    Statement st = db_->prepare(QStringLiteral("UPDATE Einstellungen SET \"%1\" = ?;").arg(column));
    st.bind(1, value);
    st.run();
}

TempHome::TempHome() : oldHome_(qgetenv("HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("HOME", dir_.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (dir_.path() + QStringLiteral("/.config")).toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       dir_.path() + QStringLiteral("/.config"));
}

TempHome::~TempHome() {
    qputenv("HOME", oldHome_);
    qputenv("XDG_CONFIG_HOME", oldConfig_);
}

} // namespace tb::test
