#include "work_marker.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sys/stat.h>

namespace tb::cashfile {

namespace {
const QString kRestore = QStringLiteral("Wiederherstellung");
const QString kCompaction = QStringLiteral("Komprimierung");

// The identity of a file: it stays with the file through a rename, and a file renamed over
// it has another one.
QString identityOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("-");
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

void writeLine(const QString& marker, const QString& line, QIODevice::OpenMode mode) {
    QFile f(marker);
    if (f.open(QIODevice::WriteOnly | mode))
        f.write((line + QLatin1Char('\n')).toUtf8());
}
} // namespace

QString WorkMarker::pathFor(const QString& dataFile) {
    return dataFile + QStringLiteral(".restorix");
}

WorkMarker::WorkMarker(const QString& dataFile, Work work) : path_(pathFor(dataFile)) {
    writeLine(path_,
              (work == Work::Restore ? kRestore : kCompaction) + QStringLiteral("\nvorher ") +
                  identityOf(dataFile),
              QIODevice::Truncate);
}

WorkMarker::~WorkMarker() {
    QFile::remove(path_);
}

void WorkMarker::replacing(const QString& newFile) {
    // Appended in one write: a kill leaves the line whole or not there.
    writeLine(path_, QStringLiteral("neu ") + identityOf(newFile), QIODevice::Append);
}

std::optional<WorkMarker::Interrupted> WorkMarker::find(const QString& dataFile) {
    QFile f(pathFor(dataFile));
    if (!QFileInfo(f.fileName()).isFile() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(f.read(4096)).split(QLatin1Char('\n'));
    Interrupted what;
    what.work = lines.value(0) == kCompaction ? Work::Compaction : Work::Restore;
    QString before, after;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("vorher ")))
            before = line.mid(7);
        else if (line.startsWith(QLatin1String("neu ")))
            after = line.mid(4);
    }
    const QString now = identityOf(dataFile);
    what.hadFile = !before.isEmpty() && before != QLatin1String("-");
    if (!after.isEmpty() && now == after)
        what.outcome = Interrupted::Done;
    else if (!before.isEmpty() && now == before)
        what.outcome = Interrupted::NotDone;
    return what;
}

void WorkMarker::clear(const QString& dataFile) {
    QFile::remove(pathFor(dataFile));
}

QString WorkMarker::message(const Interrupted& what, const QString& dataFile) {
    const bool restore = what.work == Work::Restore;
    switch (what.outcome) {
    case Interrupted::NotDone:
        if (restore)
            return QStringLiteral("Die Wiederherstellung aus einer Sicherheitskopie wurde "
                                  "unterbrochen: Restorix wurde beendet, bevor die Kopie "
                                  "zurückgeschrieben war.\n\nDie Wiederherstellung hat nicht "
                                  "stattgefunden. ") +
                   (what.hadFile ? QStringLiteral("Das Kassenbuch\n%1\nist die Datei von vor der "
                                                  "Wiederherstellung, unverändert. ")
                                       .arg(dataFile)
                                 : QString()) +
                   QStringLiteral("Um die Sicherheitskopie zurückzuschreiben, wiederholen Sie "
                                  "die Wiederherstellung mit Restorix.");
        return QStringLiteral("Das Komprimieren und Reparieren des Kassenbuchs wurde "
                              "unterbrochen: Restorix wurde beendet, bevor die neue Datei "
                              "fertig war.\n\nDas Kassenbuch\n%1\nist die Datei von vorher, "
                              "unverändert.")
            .arg(dataFile);
    case Interrupted::Done:
        if (restore)
            return QStringLiteral("Restorix wurde während der Wiederherstellung beendet, "
                                  "nachdem die Sicherheitskopie vollständig zurückgeschrieben "
                                  "war.\n\nDas Kassenbuch\n%1\nist die wiederhergestellte "
                                  "Datei. Der Datenstand von vor der Wiederherstellung ist als\n"
                                  "%2\naufbewahrt.")
                .arg(dataFile, keptBeforeRestoreOf(dataFile));
        return QStringLiteral("Restorix wurde beim Komprimieren und Reparieren beendet, nachdem "
                              "die neue Datei vollständig war.\n\nDas Kassenbuch\n%1\nist die "
                              "neue, komprimierte Datei.")
            .arg(dataFile);
    case Interrupted::Unknown:
        break;
    }
    return QStringLiteral("Restorix wurde während einer %1 unterbrochen, und das Kassenbuch\n%2\n"
                          "wurde seitdem verändert. Bitte prüfen Sie, ob es den erwarteten "
                          "Datenstand hat.")
        .arg(restore ? QStringLiteral("Wiederherstellung") : QStringLiteral("Reparatur"), dataFile);
}

QString keptBeforeRestoreOf(const QString& dataFile) {
    return dataFile + QStringLiteral(".vor-Wiederherstellung");
}

QString freeDamagedNameOf(const QString& dataFile) {
    const QString base = dataFile + QStringLiteral(".beschaedigt");
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QStringLiteral("-%1").arg(n);
    return name;
}

} // namespace tb::cashfile
