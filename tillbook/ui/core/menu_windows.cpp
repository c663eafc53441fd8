#include "menu_windows.h"

#include "desktop.h"
#include "info.h"
#include "kassenbestand.h"
#include "konten_steuerberater.h"
#include "manual.h"
#include "password_windows.h"
#include "qt_dialogs.h"
#include "vorgaben.h"

#include <QCoreApplication>
#include <QPointer>

namespace tb {

MenuWindows::MenuWindows(Services services, VorgabenHost& host, QWidget* window)
    : s_(services), host_(host), window_(window) {}

template <typename Dialog> void MenuWindows::runModal(Dialog& dialog) {
    dialog.adjustSize();
    centreOnScreen(dialog);
    dialog.exec();
    emit closed();
}

void MenuWindows::floatWindow() {
    if (!s_.guard.allow())
        return;
    Kassenbestand dlg(&s_.db, s_.dialogs, window_);
    dlg.setBalanceGuard(&s_.balanceGuard);
    if (!dlg.loaded()) {
        settingsBusy(QStringLiteral("Kassenbestand"));
        return;
    }
    runModal(dlg);
    s_.settings.reload();
    emit jobWanted(JobId::Recompute);
    emit jobWanted(JobId::CarriedIn); // the float is in every carried balance
}

void MenuWindows::settingsWindow(bool guarded) {
    if (guarded && !s_.guard.allow())
        return;
    // The renumbering asks for the service code and leaves an open new entry first.
    Vorgaben dlg(&s_.db, s_.dialogs, &host_, window_);
    if (!dlg.loaded()) {
        settingsBusy(QStringLiteral("Vorgaben"));
        return;
    }
    dlg.clock = &s_.clock;
    connect(&dlg, &Vorgaben::renumbered, this, &MenuWindows::renumbered);
    runModal(dlg);
}

void MenuWindows::settingsBusy(const QString& title) {
    s_.dialogs.message(QStringLiteral("Die Einstellungen können gerade nicht gelesen werden: Die "
                                      "Datendatei ist in Benutzung.\nBitte versuchen Sie es in "
                                      "einem Moment noch einmal."),
                       title, Icon::Exclamation);
}

void MenuWindows::passwordChange() {
    Passwort_aendern dlg(s_.dialogs, s_.settings, s_.guard.currentPassword(), window_);
    runModal(dlg);
    if (dlg.change().stage() == PasswordChange::Stage::Done)
        s_.guard.setCurrentPassword(dlg.change().currentPassword());
}

void MenuWindows::advisorAccounts() {
    if (!s_.guard.allow())
        return;
    KontenSteuerberater dlg(s_.db, s_.dialogs, window_);
    runModal(dlg);
}

void MenuWindows::manual() {
    // Without the file or a program to show it the operator is told where the manual is.
    const QString folder = QCoreApplication::applicationDirPath();
    const QString manual = findManual(folder);
    if (manual.isEmpty()) {
        s_.dialogs.message(manualMissingMessage(folder), QStringLiteral("Anleitung"),
                           Icon::Exclamation);
        return;
    }
    QPointer<MenuWindows> self(this);
    s_.desktop.openDocument(manual, [self, manual] {
        if (self)
            self->s_.dialogs.message(manualNotOpenedMessage(manual), QStringLiteral("Anleitung"),
                                     Icon::Exclamation);
    });
}

void MenuWindows::info() {
    Info dlg(&s_.desktop, window_);
    runModal(dlg);
}

} // namespace tb
