#include "manual.h"

#include <QDir>
#include <QFileInfo>

namespace tb {

QString findManual(const QString& programFolder) {
    const QDir dir(programFolder);
    for (const QString& candidate :
         {dir.filePath(manualFileName()),
          dir.filePath(QStringLiteral("../share/doc/tillbook/") + manualFileName())}) {
        const QFileInfo f(candidate);
        if (f.isFile())
            return f.canonicalFilePath();
    }
    return {};
}

} // namespace tb
