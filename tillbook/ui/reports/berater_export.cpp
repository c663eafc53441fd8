#include "berater_export.h"

#include "data_paths.h"
#include "progress_window.h"

namespace tb {

AdvisorBatch::Outcome exportForAdvisor(QWidget* parent, Database& db, Dialogs& dialogs,
                                       const Clock& clock, const QString& periodStart,
                                       const QString& periodEnd, const QString& dataPath) {
    ProgressWindow progress(parent);
    AdvisorBatch batch(db, dialogs, clock, &progress);
    return batch.run(periodStart, periodEnd, paths::folderOf(dataPath));
}

AuditorExport::Outcome exportForAuditor(QWidget* parent, Database& db, Dialogs& dialogs,
                                        const Clock& clock, const QString& periodStart,
                                        const QString& periodEnd, const QString& dataPath) {
    ProgressWindow progress(parent);
    AuditorExport out(db, dialogs, clock, &progress);
    return out.run(periodStart, periodEnd, paths::folderOf(dataPath));
}

} // namespace tb
