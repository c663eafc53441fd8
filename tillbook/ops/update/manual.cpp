#include "manual.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace tb {

QStringList manualCandidates(const QString& programFolder) {
    const QDir dir(programFolder);
    return {QDir::cleanPath(dir.filePath(manualFileName())),
            QDir::cleanPath(dir.filePath(QStringLiteral("../share/tillbook/") + manualFileName()))};
}

QString findManual(const QString& programFolder) {
    for (const QString& candidate : manualCandidates(programFolder)) {
        const QFileInfo f(candidate);
        if (f.isFile())
            return f.canonicalFilePath();
    }
    return {};
}

void openOnDesktop(const QString& path, std::function<void()> failed) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        failed();
        return;
    }
    // Owned by nobody: the opener may wait for the viewer, and the viewer must outlive the
    // run. It deletes itself when it ends while the run goes on.
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({path});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0)
                             failed();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError e) {
                         if (e != QProcess::FailedToStart)
                             return;
                         failed();
                         process->deleteLater();
                     });
    process->start();
}

QString manualMissingMessage(const QString& programFolder) {
    return QStringLiteral("Die Anleitung %1 wurde nicht gefunden. Gesucht wurde hier:\n%2")
        .arg(manualFileName(), manualCandidates(programFolder).join(QLatin1Char('\n')));
}

QString manualNotOpenedMessage(const QString& path) {
    return QStringLiteral("Die Anleitung konnte nicht geöffnet werden:\n%1\n\nFür PDF-Dateien ist "
                          "kein Anzeigeprogramm eingerichtet (oder xdg-open fehlt). Installieren "
                          "Sie einen PDF-Betrachter, zum Beispiel Evince oder Okular, oder öffnen "
                          "Sie die Datei selbst.")
        .arg(path);
}

} // namespace tb
