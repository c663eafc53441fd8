#include "result.h"

#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <utility>

namespace tb {

QString germanText(const Result& r) {
    if (!r.detail.isEmpty())
        return r.detail;
    if (r.ok())
        return {};
    if (r.engineCode != 0)
        return germanDbError(r.engineCode, r.systemText);
    if (r.systemText.isEmpty()) // a failure nobody gave a cause for
        return {};
    return germanReason(r.code) + QStringLiteral(" (") + r.systemText + QLatin1Char(')');
}

QString germanReason(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Der Datenträger ist voll.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert: Es fehlt die Berechtigung.");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case ENOENT:
        return QStringLiteral("Die Datei oder der Ordner ist nicht vorhanden.");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner.");
    case EISDIR:
        return QStringLiteral("Der Pfad ist ein Ordner.");
    case EIO:
        return QStringLiteral("Lese- oder Schreibfehler auf dem Datenträger.");
    case EBUSY:
        return QStringLiteral("Die Datei ist in Benutzung.");
    case ENOTEMPTY:
        return QStringLiteral("Der Ordner ist nicht leer.");
    case ENAMETOOLONG:
        return QStringLiteral("Der Pfad ist zu lang.");
    case ELOOP:
        return QStringLiteral("Zu viele symbolische Verknüpfungen im Pfad.");
    case EXDEV:
        return QStringLiteral("Datei und Ziel liegen auf verschiedenen Datenträgern.");
    default:
        return QStringLiteral("Systemfehler %1.").arg(err);
    }
}

Result fromErrno(int err) {
    Result r;
    r.code = err;
    r.systemText = QString::fromLocal8Bit(std::strerror(err));
    switch (err) {
    case 0:
        r.kind = ErrorKind::None;
        break;
    case ENOSPC:
    case EDQUOT:
        r.kind = ErrorKind::DiskFull;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        r.kind = ErrorKind::AccessDenied;
        break;
    case ENOENT:
    case ENOTDIR:
        r.kind = ErrorKind::NotFound;
        break;
    default:
        r.kind = ErrorKind::Other;
    }
    return r;
}

Result finding(const QString& why) {
    Result r;
    r.kind = ErrorKind::Other;
    r.code = EIO;
    r.systemText = why;
    r.detail = why;
    return r;
}

// Errors passed on by a function (the export into a rewrite) arrive as SQLITE_ERROR with the
// engine's own text of the cause: the code of that cause.
static int causeOf(int code, const QString& engineText) {
    if ((code & 0xff) != SQLITE_ERROR)
        return code;
    static const std::pair<const char*, int> known[] = {
        {"disk is full", SQLITE_FULL},       {"readonly database", SQLITE_READONLY},
        {"not a database", SQLITE_NOTADB},   {"disk I/O error", SQLITE_IOERR},
        {"database is locked", SQLITE_BUSY}, {"malformed", SQLITE_CORRUPT},
        {"unable to open", SQLITE_CANTOPEN}, {"out of memory", SQLITE_NOMEM},
    };
    for (const auto& [text, c] : known)
        if (engineText.contains(QLatin1String(text)))
            code = c;
    return code;
}

QString germanDbError(int code, const QString& engineText) {
    QString cause;
    code = causeOf(code, engineText);
    switch (code & 0xff) {
    case SQLITE_FULL:
        cause = QStringLiteral("Der Datenträger ist voll.");
        break;
    case SQLITE_READONLY:
        cause = QStringLiteral("Die Datei ist schreibgeschützt.");
        break;
    case SQLITE_PERM:
    case SQLITE_AUTH:
        cause = QStringLiteral("Zugriff verweigert: Es fehlt die Berechtigung.");
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        cause = QStringLiteral("Die Datei wird von einem anderen Programm benutzt.");
        break;
    case SQLITE_NOTADB:
        cause = QStringLiteral("Die Datei ist kein Kassenbuch oder das Passwort passt nicht.");
        break;
    case SQLITE_CORRUPT:
        cause = QStringLiteral("Die Datei ist beschädigt.");
        break;
    case SQLITE_CANTOPEN:
        cause = QStringLiteral("Die Datei kann nicht geöffnet werden.");
        break;
    case SQLITE_IOERR:
        cause = QStringLiteral("Lese- oder Schreibfehler auf dem Datenträger.");
        break;
    case SQLITE_NOMEM:
        cause = QStringLiteral("Der Arbeitsspeicher reicht nicht aus.");
        break;
    case SQLITE_CONSTRAINT:
        cause = QStringLiteral("Der Eintrag verletzt eine Regel der Datenbank.");
        break;
    default:
        cause = QStringLiteral("Datenbankfehler %1.").arg(code);
    }
    return engineText.isEmpty() ? cause
                                : cause + QStringLiteral(" (") + engineText + QLatin1Char(')');
}

Result fromEngine(int code, const QString& engineText) {
    Result r;
    r.engineCode = code;
    r.systemText = engineText;
    if (code == SQLITE_OK) // asked although nothing failed: said as the engine's code 0
        r.detail = germanDbError(code, engineText);
    switch (causeOf(code, engineText) & 0xff) {
    case SQLITE_FULL:
        r.kind = ErrorKind::DiskFull;
        r.code = ENOSPC;
        break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        r.kind = ErrorKind::AccessDenied;
        r.code = EACCES;
        break;
    default:
        r.kind = ErrorKind::Other;
        r.code = EIO;
    }
    return r;
}

} // namespace tb
