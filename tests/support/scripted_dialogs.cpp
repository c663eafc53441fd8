#include "scripted_dialogs.h"

namespace tb::test {

Answer ScriptedDialogs::message(const QString& text, const QString& title, Icon icon,
                                Buttons buttons) {
    messages.push_back({text, title, icon, buttons});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers.empty())
        return Answer::No;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<QString> ScriptedDialogs::input(const QString&, const QString&, const QString&) {
    return std::nullopt;
}

bool ScriptedDialogs::getDate(QDate& date, const QString&) {
    datesOffered.push_back(date);
    if (dates.empty())
        return false;
    const auto d = dates.front();
    dates.pop_front();
    if (!d)
        return false;
    date = *d;
    return true;
}

bool ScriptedDialogs::checkPassword(const QString& currentPassword) {
    ++passwordPrompts;
    if (typedPasswords.empty())
        return false;
    const QString typed = typedPasswords.front();
    typedPasswords.pop_front();
    return typed == currentPassword;
}

} // namespace tb::test
