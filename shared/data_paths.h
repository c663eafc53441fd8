#pragma once

#include <QString>

namespace tb::paths {

// Settings keys of section "Startup".
inline const QString kDataPathKey = QStringLiteral("Datenpfad");
inline const QString kBackupKey = QStringLiteral("Sicherung");
inline const QString kPeriodStartKey = QStringLiteral("Kas_Sel1");
inline const QString kPeriodEndKey = QStringLiteral("Kas_Sel2");

// The data file's name: the default data path and the backup path end in it, and the backup
// folder is the backup path less as many characters as it has.
inline const QString kDataFileName = QStringLiteral("Tillbook.kas");

// The home folder with a trailing "/": the stand-in where the desktop names no documents folder.
QString homeFolder();

// Default data path of Tillbook: shared documents folder + "/Tillbook - Daten/Tillbook.kas";
// for an empty folder the home folder (with its trailing "/") is used, so the path then carries
// a doubled separator, which the file system tolerates.
QString tillbookDefaultDataPath(const QString& commonDocuments);

// Restorix has no fallback: an empty folder gives a path beginning with "/Tillbook - Daten".
QString restorixDefaultDataPath(const QString& commonDocuments);

// The stored path with its last three characters replaced by "kas". A stored value too short
// to carry an extension cannot name a data file; the default is used instead.
QString effectiveDataPath(const QString& stored, const QString& defaultPath);

// "Backup Tillbook" in the home folder, with trailing "/", and the default backup copy in it.
QString defaultBackupFolder();
QString defaultBackupPath();

// The weekday copy beside a backup path: its last three characters become "ka" and the digit,
// 1 for Sunday to 7 for Saturday.
QString weekdayCopyOf(const QString& backupPath, int digit);

// Everything up to and including the last "/".
QString folderOf(const QString& path);

// True when an export chosen at `target` would take the place of a cash book or one of its
// copies: a name ending in ".kas" or ".ka1" to ".ka7" (any case), or the open book itself
// reached through another name (a link).
bool isCashBookFile(const QString& target, const QString& bookPath);

} // namespace tb::paths
