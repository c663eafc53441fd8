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
