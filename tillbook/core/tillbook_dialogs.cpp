#include "tillbook_dialogs.h"

#include "frm_calendar.h"
#include "password_windows.h"

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
    if (QScreen* s = QGuiApplication::primaryScreen())
        dlg.move(s->geometry().center() - dlg.rect().center());
    dlg.exec();
    modalClosed();
    return dlg.granted();
}

} // namespace tb
