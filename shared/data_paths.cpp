#include "data_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace tb::paths {

namespace {
const QString kDataTail = QStringLiteral("/Tillbook - Daten/") + kDataFileName;
}

QString homeFolder() {
    QString home = QDir::homePath();
    if (!home.endsWith(QLatin1Char('/')))
        home += QLatin1Char('/');
    return home;
}

QString tillbookDefaultDataPath(const QString& commonDocuments) {
    const QString base = commonDocuments.isEmpty() ? homeFolder() : commonDocuments;
    return base + kDataTail;
}

QString restorixDefaultDataPath(const QString& commonDocuments) {
    return commonDocuments + kDataTail;
}

QString effectiveDataPath(const QString& stored, const QString& defaultPath) {
    const QString fileName = stored.mid(stored.lastIndexOf(QLatin1Char('/')) + 1);
    if (stored.trimmed().isEmpty() || fileName.size() < 4)
        return defaultPath;
    return stored.left(stored.size() - 3) + QStringLiteral("kas");
}

QString defaultBackupFolder() {
    return homeFolder() + QStringLiteral("Backup Tillbook/");
}

QString defaultBackupPath() {
    return defaultBackupFolder() + kDataFileName;
}

QString weekdayCopyOf(const QString& backupPath, int digit) {
    return backupPath.left(backupPath.size() - 3) + QStringLiteral("ka") + QString::number(digit);
}

QString folderOf(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool isCashBookFile(const QString& target, const QString& bookPath) {
    static const QRegularExpression kBookSuffix(QStringLiteral("^ka[s1-7]$"));
    const QFileInfo chosen(target);
    if (kBookSuffix.match(chosen.suffix().toLower()).hasMatch())
        return true;
    const QString real = chosen.canonicalFilePath();
    return !real.isEmpty() && real == QFileInfo(bookPath).canonicalFilePath();
}

} // namespace tb::paths
