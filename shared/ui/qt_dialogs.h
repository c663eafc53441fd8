#pragma once

#include "dialogs.h"

class QWidget;

namespace tb {

class TimerScheduler;

// The real dialogs: Qt's message box, input dialog and file dialogs, in German. Every text is
// shown as plain text, never as markup.
class QtDialogs : public Dialogs {
  public:
    explicit QtDialogs(QString appName) : appName_(std::move(appName)) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    QWidget* parent() const { return parent_; }
    const QString& appName() const { return appName_; }

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& preset) override;
    QString saveFile(const QString& title, const QString& preset, const QString& filter) override;
    QString openFile(const QString& title, const QString& folder, const QString& filter) override;
    QString choosePlace(const QString& title, const QString& preset,
                        const QString& filter) override;
    QString chooseFolder(const QString& title, const QString& folder) override;
    bool getDate(QDate&, const QString&) override { return false; }
    bool checkPassword(const QString&) override { return false; }

  private:
    QString appName_;
    QWidget* parent_ = nullptr;
};

// Loads Qt's German texts ("Ja", "Nein", "Abbrechen") into the application.
void installGermanTranslation();

// Dialog windows centre themselves on the screen when they open.
void centreOnScreen(QWidget& window);

// Deferred jobs that fall due while one of the program's modal dialogs is open wait for it.
void waitForModalDialogs(TimerScheduler& scheduler);

} // namespace tb
