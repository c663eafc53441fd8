#include "tillbook_dialogs.h"

#include "qt_dialogs.h"

#include "drucker_waehlen.h"
#include "frm_calendar.h"
#include "password_windows.h"
#include "printing.h"

#include <QGuiApplication>
#include <QScreen>

namespace tb {

bool TillbookDialogs::getDate(QDate& date, const QString& title) {
    const bool chosen = frmCalendar::GetDate(date, title, parent());
    modalClosed();
    return chosen;
}

bool TillbookDialogs::checkPassword(const QString& currentPassword) {
    Passwort_check dlg(currentPassword, parent());
    centreOnScreen(dlg);
    dlg.exec();
    modalClosed();
    return dlg.granted();
}

int TillbookDialogs::choosePrinter(QString& printer, int copies) {
    Drucker_waehlen dlg(*this, Printing::printers(), printer, copies, parent());
    dlg.adjustSize();
    centreOnScreen(dlg);
    dlg.exec();
    modalClosed();
    return dlg.copies();
}

} // namespace tb
