#pragma once

#include "balance_guard.h"
#include "clock.h"
#include "database.h"
#include "dialogs.h"
#include "jobs.h"
#include "passwords.h"
#include "settings_record.h"

#include <QObject>

class QWidget;

namespace tb {

class Desktop;
class VorgabenHost;

// The windows the "Einstellungen" and "Hilfe" menus open: the float, the settings, the
// password, the advisor's accounts, the manual and the info. The protected ones ask the
// password guard first. Each is modal over the main window and asks for its activation when
// it closed.
class MenuWindows : public QObject {
    Q_OBJECT
  public:
    struct Services {
        Database& db;
        Dialogs& dialogs;
        Clock& clock;
        SettingsRecord& settings;
        PasswordGuard& guard;
        BalanceGuard& balanceGuard;
        Desktop& desktop;
    };
    MenuWindows(Services services, VorgabenHost& host, QWidget* window);

    // "Kassenbestand".
    void floatWindow();
    // "Vorgaben"; unguarded as the hidden "Spalten".
    void settingsWindow(bool guarded);
    void passwordChange();
    // "Konten für den Steuerberater".
    void advisorAccounts();
    // "Anleitung", "Info".
    void manual();
    void info();

  signals:
    // A window of ours closed: the main window activates.
    void closed();
    void jobWanted(tb::JobId id);
    // The settings window renumbered the days and lines.
    void renumbered();

  private:
    template <typename Dialog> void runModal(Dialog& dialog);
    // The settings record could not be read (another program holds the file).
    void settingsBusy(const QString& title);

    Services s_;
    VorgabenHost& host_;
    QWidget* window_;
};

} // namespace tb
