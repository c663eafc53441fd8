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
    QString saveFile(const QString& title, const QString& preset, const QString& filter) override;
    QString openFile(const QString& title, const QString& folder, const QString& filter) override;
    QString chooseFolder(const QString& title, const QString& folder) override;
    bool getDate(QDate& date, const QString& title) override;
    bool checkPassword(const QString& currentPassword) override;
    int choosePrinter(QString& printer, int copies) override;

    // Answers to Yes/No and OK/Cancel questions, in order; without one the answer is No or
    // Cancel.
    std::deque<Answer> answers;
    // Results of the calendar: a date or nothing (cancelled); without one it is cancelled.
    std::deque<std::optional<QDate>> dates;
    std::vector<QDate> datesOffered;
    std::vector<QString> dateTitles;
    // What the file and folder dialogs return, in order; without one they are cancelled (""). What
    // they were opened with is kept.
    std::deque<QString> files;
    struct FileDialogCall {
        QString title, preset, filter;
    };
    std::vector<FileDialogCall> fileDialogs;
    // What the input box returns, in order; without one it is cancelled.
    std::deque<std::optional<QString>> inputs;
    std::vector<QString> inputPrompts;
    // The printer choice: the printer chosen (empty: the current one stays) and the copies.
    struct PrinterAnswer {
        QString printer;
        int copies = 1;
    };
    std::deque<PrinterAnswer> printerAnswers;
    std::vector<int> copiesOffered;
    // What the operator types into the password prompt.
    std::deque<QString> typedPasswords;
    int passwordPrompts = 0;
    std::vector<RecordedMessage> messages;

    const RecordedMessage& last() const { return messages.back(); }
};

} // namespace tb::test
