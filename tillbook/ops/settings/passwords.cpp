#include "passwords.h"

#include "change_log.h"
#include "cp1252.h"

namespace tb {

QString scramble(const QString& text, const QString& key, ScrambleDirection direction) {
    const QByteArray k = toCp1252(key);
    if (k.isEmpty())
        return {};
    int keyPos = 0;
    auto nextKey = [&]() -> unsigned char {
        ++keyPos;
        if (keyPos > k.size())
            keyPos = 1;
        return static_cast<unsigned char>(k[keyPos - 1]);
    };
    if (direction == ScrambleDirection::Encode) {
        const QByteArray t = toCp1252(text);
        QString out;
        for (const char c : t) {
            const int v = static_cast<unsigned char>(c) ^ nextKey();
            out += QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
        }
        return out;
    }
    QByteArray bytes;
    for (int p = 1; p <= text.size() / 2; ++p) {
        const unsigned char kc = nextKey();
        bool ok = false;
        const int v = text.mid(2 * p - 2, 2).toInt(&ok, 16);
        bytes += static_cast<char>((ok ? v : 0) ^ kc);
    }
    return fromCp1252(bytes);
}

QString passwordFromMemo(const QString& memo10) {
    if (memo10.isEmpty())
        return kDefaultPassword;
    bool wellFormed = memo10.size() % 2 == 0;
    for (const QChar c : memo10) {
        const bool hex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                         (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
                         (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
        wellFormed = wellFormed && hex;
    }
    if (!wellFormed)
        return memo10;
    const QString decoded = scramble(memo10, kScrambleKey, ScrambleDirection::Decode);
    // A decoded NUL cannot be typed; such a value was not written by us either.
    return decoded.contains(QChar(0)) ? memo10 : decoded;
}

bool PasswordGuard::allow() {
    if (current_ == kDefaultPassword)
        return true;
    return dialogs_.checkPassword(current_);
}

bool PasswordChange::submitOld(const QString& old) {
    if (old.isEmpty() || old != current_) {
        dialogs_.message(QStringLiteral("Falsches Passwort"), QStringLiteral("Fehler !"),
                         Icon::Critical);
        return false;
    }
    stage_ = Stage::New;
    return true;
}

bool PasswordChange::submitNew(const QString& first, const QString& repeated) {
    if (first.isEmpty() || first != repeated) {
        dialogs_.message(QStringLiteral("Passwort wurde nicht geändert"),
                         QStringLiteral("Fehler !"), Icon::Critical);
        return false;
    }
    // Stored, such a character would become "?", and the typed password would no longer fit
    // after the next start.
    const QString unusable = charactersOutsideCp1252(first);
    if (!unusable.isEmpty()) {
        QStringList each;
        for (const char32_t cp : unusable.toUcs4())
            each << QString::fromUcs4(&cp, 1);
        dialogs_.message(QStringLiteral("Passwort wurde nicht geändert: Diese Zeichen können in "
                                        "einem Passwort nicht verwendet werden: ") +
                             each.join(QLatin1Char(' ')) +
                             QStringLiteral("\nBitte verwenden Sie Buchstaben, Ziffern und "
                                            "Satzzeichen der westeuropäischen Schrift."),
                         QStringLiteral("Fehler !"), Icon::Critical);
        return false;
    }
    current_ = first;
    changelog::ReasonScope reason(settings_.database(), changelog::Reason::Password);
    settings_.setScrambledPassword(scramble(first, kScrambleKey, ScrambleDirection::Encode));
    settings_.save();
    dialogs_.message(QStringLiteral("Passwort wurde geändert"), QStringLiteral("Information"),
                     Icon::Information);
    stage_ = Stage::Done;
    return true;
}

} // namespace tb
