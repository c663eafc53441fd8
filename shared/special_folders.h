#pragma once

#include <QString>

namespace tb {

// Looks up the folder the desktop shares for documents once and keeps the answer for the run.
// On Linux that is the user's documents folder; empty when the platform does not name one.
class Windowsverzeichnisse {
  public:
    static const QString& commonDocuments();
};

} // namespace tb
