#pragma once

#include "dialogs.h"

#include <deque>
#include <vector>

namespace tb::test {

struct RecordedMessage {
    QString text;
    QString title;
    Icon icon;
    Buttons buttons;
};

// Answers dialogs from a script and records every message box.
class ScriptedDialogs : public Dialogs {
  public:
    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    std::optional<QString> input(const QString&, const QString&, const QString&) override;
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    bool getDate(QDate& date, const QString& title) override;
    bool checkPassword(const QString& currentPassword) override;

    // Answers to Yes/No questions, in order; without one the answer is No.
    std::deque<Answer> answers;
    // Results of the calendar: a date or nothing (cancelled); without one it is cancelled.
    std::deque<std::optional<QDate>> dates;
    std::vector<QDate> datesOffered;
    std::vector<QString> dateTitles;
    // What the operator types into the password prompt.
    std::deque<QString> typedPasswords;
    int passwordPrompts = 0;
    std::vector<RecordedMessage> messages;

    const RecordedMessage& last() const { return messages.back(); }
};

} // namespace tb::test
