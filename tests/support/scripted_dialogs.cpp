#include "scripted_dialogs.h"

namespace tb::test {

Answer ScriptedDialogs::message(const QString& text, const QString& title, Icon icon,
                                Buttons buttons) {
    messages.push_back({text, title, icon, buttons});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers.empty())
        return buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<QString> ScriptedDialogs::input(const QString& prompt, const QString& title,
                                              const QString& preset) {
    inputPrompts.push_back(prompt + QLatin1Char('|') + title + QLatin1Char('|') + preset);
    if (inputs.empty())
        return std::nullopt;
    const auto r = inputs.front();
    inputs.pop_front();
    return r;
}

static QString nextFile(std::deque<QString>& files) {
    if (files.empty())
        return {};
    const QString f = files.front();
    files.pop_front();
    return f;
}

QString ScriptedDialogs::saveFile(const QString& title, const QString& preset,
                                  const QString& filter) {
    fileDialogs.push_back({title, preset, filter});
    return nextFile(files);
}

QString ScriptedDialogs::chooseFolder(const QString& title, const QString& folder) {
    fileDialogs.push_back({title, folder, {}});
    return nextFile(files);
}

QString ScriptedDialogs::openFile(const QString& title, const QString& folder,
                                  const QString& filter) {
    fileDialogs.push_back({title, folder, filter});
    return nextFile(files);
}

bool ScriptedDialogs::getDate(QDate& date, const QString& title) {
    datesOffered.push_back(date);
    dateTitles.push_back(title);
    std::optional<QDate> d;
    if (!dates.empty()) {
        d = dates.front();
        dates.pop_front();
    }
    if (d)
        date = *d;
    modalClosed();
    return d.has_value();
}

bool ScriptedDialogs::checkPassword(const QString& currentPassword) {
    ++passwordPrompts;
    QString typed;
    const bool any = !typedPasswords.empty();
    if (any) {
        typed = typedPasswords.front();
        typedPasswords.pop_front();
    }
    modalClosed();
    return any && typed == currentPassword;
}

} // namespace tb::test

namespace tb::test {

int ScriptedDialogs::choosePrinter(QString& printer, int copies) {
    copiesOffered.push_back(copies);
    if (printerAnswers.empty())
        return 0;
    const PrinterAnswer a = printerAnswers.front();
    printerAnswers.pop_front();
    if (!a.printer.isEmpty())
        printer = a.printer;
    modalClosed();
    return a.copies;
}

} // namespace tb::test
