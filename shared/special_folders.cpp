#include "special_folders.h"

#include <QStandardPaths>

namespace tb {

const QString& Windowsverzeichnisse::commonDocuments() {
    static const QString folder = [] {
        QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        return path;
    }();
    return folder;
}

} // namespace tb
