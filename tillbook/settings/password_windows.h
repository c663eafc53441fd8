#pragma once

#include "dialogs.h"
#include "settings_record.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tb {

// The password prompt: closes granted as soon as the typed text equals the password.
class Passwort_check : public QDialog {
    Q_OBJECT
  public:
    explicit Passwort_check(QString currentPassword, QWidget* parent = nullptr);
    bool granted() const { return granted_; }
    QLineEdit* field() const { return field_; }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    QString password_;
    bool granted_ = false;
    QLineEdit* field_;
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

class Passwort_aendern : public QDialog {
    Q_OBJECT
  public:
    Passwort_aendern(Dialogs& dialogs, SettingsRecord& settings, const QString& current,
                     QWidget* parent = nullptr);
    const PasswordChange& change() const { return change_; }
    QLineEdit* field1() const { return field1_; }
    QLineEdit* field2() const { return field2_; }
    QLabel* label1() const { return label1_; }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void confirmOld();
    void confirmNew();
    PasswordChange change_;
    QLabel* label1_;
    QLabel* label2_;
    QLineEdit* field1_;
    QLineEdit* field2_;
    QPushButton* ok1_;
    QPushButton* ok2_;
};

} // namespace tb
