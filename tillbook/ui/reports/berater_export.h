#pragma once

#include "advisor_batch.h"
#include "auditor_export.h"

class QWidget;

namespace tb {

// "Datei → Export für den Steuerberater …": the booking batch of the query period, with the
// busy cursor and a progress bar when it takes longer than a second. The save dialog starts in
// the data file's folder.
AdvisorBatch::Outcome exportForAdvisor(QWidget* parent, Database& db, Dialogs& dialogs,
                                       const Clock& clock, const QString& periodStart,
                                       const QString& periodEnd, const QString& dataPath);

// "Datei → Export für die Betriebsprüfung …": the auditor's export of the query period, with
// a progress bar when it takes longer than a second. The folder dialog starts in the data
// file's folder.
AuditorExport::Outcome exportForAuditor(QWidget* parent, Database& db, Dialogs& dialogs,
                                        const Clock& clock, const QString& periodStart,
                                        const QString& periodEnd, const QString& dataPath);

} // namespace tb
