#pragma once

#include "cp1252.h"
#include "dialogs.h"
#include "settings_record.h"

#include <QString>

namespace tb {

inline const QString kDefaultPassword = QStringLiteral("Hutwart");
inline const QString kScrambleKey = QStringLiteral("QM-Lert");

enum class ScrambleDirection { Encode, Decode };

// XOR with the key used cyclically over Windows-1252 codes; encoded text is two upper-case
// hexadecimal digits per character.
QString scramble(const QString& text, const QString& key, ScrambleDirection direction);

// The current password for a stored Memo10: the default for an empty column, the decoded text
// for a proper sequence of hexadecimal pairs. Anything else was not written by this program;
// it is taken as the password itself, so the protection stays on rather than falling open.
QString passwordFromMemo(const QString& memo10);

// Stands in front of a protected function.
class AccessGuard {
  public:
    virtual ~AccessGuard() = default;
    // True when the function may run. Every call asks again.
    virtual bool allow() = 0;
};

// The password guard: no prompt while the current password is the default one; otherwise the
// prompt must be passed, once per protected call.
class PasswordGuard : public AccessGuard {
  public:
    explicit PasswordGuard(Dialogs& dialogs) : dialogs_(dialogs) {}
    void setCurrentPassword(const QString& p) { current_ = p; }
    const QString& currentPassword() const { return current_; }
    bool allow() override;

  private:
    Dialogs& dialogs_;
    QString current_ = kDefaultPassword;
};

// The two stages of changing the password, without a window.
class PasswordChange {
  public:
    PasswordChange(Dialogs& dialogs, SettingsRecord& settings, QString current)
        : dialogs_(dialogs), settings_(settings), current_(std::move(current)) {}
    enum class Stage { Old, New, Done };
    Stage stage() const { return stage_; }
    const QString& currentPassword() const { return current_; }
    // Stage 1: true when the old password fits.
    bool submitOld(const QString& old);
    // Stage 2: true when the new password was stored.
    bool submitNew(const QString& first, const QString& repeated);

  private:
    Dialogs& dialogs_;
    SettingsRecord& settings_;
    QString current_;
    Stage stage_ = Stage::Old;
};

} // namespace tb
