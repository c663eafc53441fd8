#pragma once

#include "passwords.h"

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
