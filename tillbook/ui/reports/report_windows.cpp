#include "report_windows.h"

#include "aenderungsprotokoll.h"
#include "kassenpruefung.h"
#include "progress_window.h"
#include "qt_dialogs.h"
#include "zaehlungen.h"

#include <QStandardPaths>

namespace tb {

namespace {
QString workFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

void runModal(QDialog& dialog) {
    dialog.adjustSize();
    centreOnScreen(dialog);
    dialog.exec();
}
} // namespace

void ReportWindows::changeLog(QWidget* parent) const {
    Aenderungsprotokoll dlg(db, dialogs, dataPath, &printer, parent);
    dlg.clock = &clock;
    dlg.workFolder = workFolder();
    runModal(dlg);
}

void ReportWindows::counts(QWidget* parent, const QString& currency) const {
    Zaehlungen dlg(db, dialogs, dataPath, &printer, parent);
    dlg.currency = currency;
    dlg.workFolder = workFolder();
    runModal(dlg);
}

void ReportWindows::selfCheck(QWidget* parent, const QDate& from, const QDate& to) const {
    Kassenpruefung dlg(db, dialogs, dataPath, from, to, &printer, parent);
    dlg.workFolder = workFolder();
    dlg.runner = [parent](const QString& title, const LongWork<SelfCheckReport>& work) {
        return runWithProgress<SelfCheckReport>(parent, title, work, 1000, true);
    };
    dlg.show();
    dlg.check();
    runModal(dlg);
}

} // namespace tb
