#pragma once

#include <QString>

namespace tb {

// What kind of failure it was, decided from the codes (never from a text): how a caller
// handles a failure depends on this and on the codes only.
enum class ErrorKind { None, DiskFull, AccessDenied, NotFound, Other };

// The outcome of every operation that can fail: of the system's calls, of the database engine's
// work, or of a check of ours. The codes are kept as they came; the German text for a message
// is made where it is shown (germanText), so rewording it never changes how a failure is handled.
struct Result {
    ErrorKind kind = ErrorKind::None;
    int code = 0;       // the system's error number (errno); for the engine's errors the nearest
    int engineCode = 0; // the engine's extended result code when the engine failed, else 0
    QString systemText; // the system's or the engine's own text for it
    QString detail;     // our own words for it in German, when the codes do not say it
    bool ok() const { return kind == ErrorKind::None; }
    explicit operator bool() const { return ok(); }
};

// The message text: our own words when there are any, else the cause in German from the codes
// followed by the system's or the engine's text in brackets; "" for success and for a failure
// without any cause.
QString germanText(const Result& r);

// A check of ours found the file wrong (it is no cash book, it is incomplete): why in German.
Result finding(const QString& why);

// Maps an errno value to a result (success for 0).
Result fromErrno(int err);

// The engine's error as a result: its kind from the code (a full disk, a write the system
// refused, anything else), the code kept.
Result fromEngine(int code, const QString& engineText);

// The cause of a system error number in German ("Der Datenträger ist voll.").
QString germanReason(int err);

// An error of the database engine for messages: the cause in German ("Der Datenträger ist
// voll."), then the engine's own text in brackets.
QString germanDbError(int code, const QString& engineText);

} // namespace tb
