#include "form1.h"
#include "qt_dialogs.h"
#include "restore.h"
#include "scheduler.h"
#include "settings_store.h"
#include "special_folders.h"

#include <QApplication>

// The recovery tool: lists the backup copies, restores one over the data file, compacts the
// data file and resets the stored data path.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tillbook"));
    QApplication::setApplicationName(QStringLiteral("Restorix"));
    tb::installGermanTranslation();

    tb::QtDialogs dialogs(QStringLiteral("Tillbook - Restorix"));
    tb::SettingsStore store;
    tb::TimerScheduler scheduler;
    tb::waitForModalDialogs(scheduler);
    tb::Restore restore(store, dialogs, tb::Windowsverzeichnisse::commonDocuments(),
                        QCoreApplication::applicationDirPath());
    tb::Form1 window(restore, dialogs, scheduler);
    dialogs.setParent(&window);
    window.resize(700, 420);
    tb::centreOnScreen(window);
    window.show();
    const int rc = app.exec();
    dialogs.setParent(nullptr);
    return rc;
}
