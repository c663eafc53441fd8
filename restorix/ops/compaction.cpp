#include "compaction.h"

#include "cash_file.h"
#include "data_path_check.h"
#include "restore.h"
#include "work_marker.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace tb {

namespace {
// The plain compaction: the engine exports the whole book into temp. Fails on the first page
// it cannot read.
Result exportBook(const QString& path, PendingFile& temp,
                  std::optional<cashfile::RowCounts>& counts) {
    // The file carries the built-in password; one left open by a crash may not.
    Result why;
    std::unique_ptr<Database> db =
        cashfile::openWithEitherKey(path, cashfile::hasCashBookTables, nullptr, &why);
    if (!db)
        return why;
    why = {}; // a key tried before the one that fits
    counts = cashfile::countRows(*db);
    Statement attach = db->prepare(QStringLiteral("ATTACH DATABASE ? AS fresh KEY ?;"));
    attach.bind(1, temp.path());
    attach.bind(2, QString::fromLatin1(cashfile::builtInPassword()));
    if (!attach.run())
        why = attach.failure();
    else if (why = db->exec(QStringLiteral("SELECT sqlcipher_export('fresh');")); why)
        why = db->exec(QStringLiteral("DETACH DATABASE fresh;"));
    if (!why.ok()) {
        db.reset();
        temp.discard();
        return why;
    }
    return {};
}
} // namespace

Compaction::Report Compaction::compact(const QString& given, Progress& progress) {
    Report result;
    Result& r = result.file;
    const QString path = pathcheck::realPath(given);
    const QString temp = tempOf(path);
    if (!QFileInfo(path).isFile()) {
        r = fromErrno(ENOENT);
        return result;
    }
    cashfile::FileLock lock(path);
    if (r = lock.acquireOrBusy(); !r.ok())
        return result;
    if (QFileInfo::exists(temp)) {
        r = fromErrno(EEXIST);
        r.detail = QStringLiteral("Die Datei %1 ist von einem früheren Versuch noch "
                                  "vorhanden. Bitte prüfen und entfernen Sie sie. ")
                       .arg(temp) +
                   germanText(r);
        return result;
    }
    cashfile::WorkMarker marker(path, cashfile::WorkMarker::Work::Compaction);
    PendingFile fresh(path, temp, PendingFile::Mode::TargetsMode);
    progress.begin(QStringLiteral("Die Datenbank wird komprimiert …"));
    std::optional<cashfile::RowCounts> counts;
    r = exportBook(path, fresh, counts);
    // The old file goes only when the new one is whole on disk.
    if (r.ok())
        r = fresh.check([&](const QString& file) {
            return cashfile::verifyBook(file, cashfile::builtInPassword(), counts);
        });
    if (!r.ok() && r.kind == ErrorKind::Other) {
        // The engine could not read the file: a damaged page. What can be read is saved.
        fresh.discard();
        SalvageReport report;
        Result why;
        switch (Salvage::rebuild(path, temp, report, progress, &why)) {
        case Salvage::Outcome::Written:
            progress.begin(QStringLiteral("Die reparierte Datei wird geprüft …"));
            r = fresh.check([&](const QString& file) {
                return cashfile::verifyBook(file, cashfile::builtInPassword(), report.written);
            });
            break;
        case Salvage::Outcome::Unreadable:
            result.unreadable = true;
            [[fallthrough]];
        case Salvage::Outcome::Failed:
            r = why;
            break;
        }
        // The damaged file stays beside the new one, under a name no program deletes.
        if (r.ok()) {
            report.keptAs = cashfile::freeDamagedNameOf(path);
            r = Restore::keepCopy(path, report.keptAs);
        }
        if (r.ok())
            result.salvage = report;
    }
    if (r.ok())
        r = fresh.putInPlace([&](const QString& file) {
            marker.replacing(file);
            return Result{};
        });
    return result;
}

Compaction::Outcome Compaction::run(const QString& path) {
    const Report result = runner(QStringLiteral("Merowa"),
                                 [&](Progress& progress) { return compact(path, progress); });
    const Result& r = result.file;
    if (result.unreadable) {
        dialogs_.message(QStringLiteral("Die Datenbank\n%1\nist so beschädigt, dass sie nicht "
                                        "gelesen werden kann: %2\n\nEs konnte nichts gerettet "
                                        "werden; die Datei bleibt unverändert. Bitte stellen Sie "
                                        "die letzte Datensicherung mit Restorix wieder her.")
                             .arg(path, germanText(r)),
                         QStringLiteral("Merowa"), Icon::Critical);
        return Outcome::Failed;
    }
    if (!r.ok()) {
        dialogs_.message(QStringLiteral("Die Datenbank\n%1\nkonnte nicht repariert und komprimiert "
                                        "werden.\n\nFehler %2 - %3")
                             .arg(path)
                             .arg(r.code)
                             .arg(Restore::shortened(germanText(r))),
                         QStringLiteral("Merowa"), Icon::Critical);
        return Outcome::Failed;
    }
    const qint64 size = QFileInfo(pathcheck::realPath(path)).size();
    if (result.salvage) {
        dialogs_.message(result.salvage->text(path, size), QStringLiteral("Merowa"),
                         result.salvage->linesLost.empty() && result.salvage->settingsKept
                             ? Icon::Information
                             : Icon::Exclamation);
        return Outcome::Done;
    }
    dialogs_.message(QStringLiteral("Dateigröße: ") + QString::number(size) +
                         QStringLiteral(" repariert und komprimiert. Bitte starten Sie Tillbook "
                                        "neu."),
                     QStringLiteral("Merowa"), Icon::Information);
    return Outcome::Done;
}

} // namespace tb
