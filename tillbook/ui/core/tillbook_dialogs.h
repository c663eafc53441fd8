#pragma once

#include "qt_dialogs.h"

namespace tb {

// The real dialogs of Tillbook: Qt's boxes plus the month calendar and the password prompt.
class TillbookDialogs : public QtDialogs {
  public:
    TillbookDialogs() : QtDialogs(QStringLiteral("Tillbook")) {}
    bool getDate(QDate& date, const QString& title) override;
    bool checkPassword(const QString& currentPassword) override;
    int choosePrinter(QString& printer, int copies) override;
};

} // namespace tb
