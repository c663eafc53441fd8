#pragma once

#include "database.h"

#include <QTemporaryDir>
#include <memory>

namespace tb::test {

// A fresh, empty cash book in a temporary folder, open without password, and a private home
// and settings folder so no test touches the real ones.
class TempBook {
  public:
    TempBook();
    QString path() const { return dir_.path() + QStringLiteral("/Tillbook.kas"); }
    QString folder() const { return dir_.path(); }
    Database& db() { return *db_; }
    void close() { db_.reset(); }
    void reopen();

    // Adds a day and a line; returns the line's ID.
    void addDay(const QString& date);
    qint64 addLine(const QString& date, const QString& receipt, const QString& payment,
                   const QString& text = QStringLiteral("Bareinnahme"),
                   const QString& balance = QStringLiteral("0"));
    QString lineValue(qint64 id, const QString& column);
    QString setting(const QString& column);
    void setSetting(const QString& column, const QString& value);

  private:
    QTemporaryDir dir_;
    std::unique_ptr<Database> db_;
};

// Points HOME and the settings store at a temporary folder for the life of the object.
class TempHome {
  public:
    TempHome();
    ~TempHome();
    QString path() const { return dir_.path(); }

  private:
    QTemporaryDir dir_;
    QByteArray oldHome_, oldConfig_;
};

} // namespace tb::test
