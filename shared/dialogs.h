#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

namespace tb {

enum class Icon { None, Information, Exclamation, Question, Critical };
// YesNoDefaultNo: as YesNo, with "Nein" the button Enter presses.
enum class Buttons { Ok, YesNo, OkCancel, YesNoDefaultNo };
enum class Answer { Ok, Yes, No, Cancel };

// Every message box, input box, file dialog, date picker and password prompt of both programs
// goes through this seam, so the rules around them run and are checked without a screen.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A message box. An empty title shows the program's name. Texts are always shown as plain
    // text: booking texts, remarks and paths may contain anything, markup included.
    virtual Answer message(const QString& text, const QString& title = {}, Icon icon = Icon::None,
                           Buttons buttons = Buttons::Ok) = 0;

    // An input box; nullopt when cancelled.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& preset) = 0;

    // File dialogs; an empty text when cancelled.
    virtual QString saveFile(const QString& title, const QString& preset,
                             const QString& filter) = 0;
    virtual QString openFile(const QString& title, const QString& folder,
                             const QString& filter) = 0;
    // A save dialog that only names a place (for copies made later): choosing a file that
    // exists asks nothing, as the choice itself writes nothing.
    virtual QString choosePlace(const QString& title, const QString& preset,
                                const QString& filter) {
        return saveFile(title, preset, filter);
    }

    // A folder dialog that starts in folder; an empty text when cancelled.
    virtual QString chooseFolder(const QString& title, const QString& folder) {
        Q_UNUSED(title);
        Q_UNUSED(folder);
        return {};
    }

    // The month calendar: true and date set when a date was chosen; date unchanged otherwise.
    virtual bool getDate(QDate& date, const QString& title = {}) = 0;

    // The password prompt: true when the typed text equalled the password.
    virtual bool checkPassword(const QString& currentPassword) = 0;

    // The printer choice: the printers the system lists (and "PDF-Datei"), the current one
    // selected, and the number of copies. The printer chosen becomes the current one, also
    // when the window is then cancelled; the result is the number of copies, 0 when cancelled.
    virtual int choosePrinter(QString& printer, int copies) {
        Q_UNUSED(printer);
        return copies;
    }

    // Runs after each of the program's own modal windows shown through the seam (the calendar,
    // the password prompt) has closed; the main window hangs its activation here. Plain
    // message and input boxes do not count.
    std::function<void()> afterModal;

  protected:
    void modalClosed() {
        if (afterModal)
            afterModal();
    }
};

// Dialogs without a screen, for tools and benchmarks that run the operations headless: every
// message gets the same answer, every other dialog is cancelled.
class HeadlessDialogs : public Dialogs {
  public:
    explicit HeadlessDialogs(Answer answer = Answer::Ok) : answer_(answer) {}
    Answer message(const QString&, const QString&, Icon, Buttons) override { return answer_; }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    bool getDate(QDate&, const QString&) override { return false; }
    bool checkPassword(const QString&) override { return false; }

  private:
    Answer answer_;
};

} // namespace tb
