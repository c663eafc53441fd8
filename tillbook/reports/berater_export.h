#pragma once

#include "advisor_batch.h"

class QWidget;

namespace tb {

// "Datei → Export für den Steuerberater …": the booking batch of the query period, with the
// busy cursor and a progress bar when it takes longer than a second. The save dialog starts in
// the data file's folder.
AdvisorBatch::Outcome exportForAdvisor(QWidget* parent, Database& db, Dialogs& dialogs,
                                       const Clock& clock, const QString& periodStart,
                                       const QString& periodEnd, const QString& dataPath);

} // namespace tb
