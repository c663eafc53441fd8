#include "qt_dialogs.h"

#include "scheduler.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTranslator>

namespace tb {

Answer QtDialogs::message(const QString& text, const QString& title, Icon icon, Buttons buttons) {
    QMessageBox box(parent_);
    box.setWindowTitle(title.isEmpty() ? appName_ : title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::None:
        break;
    }
    switch (buttons) {
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case Buttons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    const int r = box.exec();
    switch (buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoDefaultNo:
        return r == QMessageBox::Yes ? Answer::Yes : Answer::No;
    case Buttons::OkCancel:
        return r == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}

std::optional<QString> QtDialogs::input(const QString& prompt, const QString& title,
                                        const QString& preset) {
    QInputDialog box(parent_);
    box.setWindowTitle(title.isEmpty() ? appName_ : title);
    box.setInputMode(QInputDialog::TextInput);
    box.setLabelText(prompt);
    box.setTextValue(preset);
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

QString QtDialogs::saveFile(const QString& title, const QString& preset, const QString& filter) {
    return QFileDialog::getSaveFileName(parent_, title, preset, filter);
}

QString QtDialogs::choosePlace(const QString& title, const QString& preset, const QString& filter) {
    return QFileDialog::getSaveFileName(parent_, title, preset, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtDialogs::chooseFolder(const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(parent_, title, folder);
}

QString QtDialogs::openFile(const QString& title, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent_, title, folder, filter);
}

void installGermanTranslation() {
    static QTranslator translator;
    if (translator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void centreOnScreen(QWidget& window) {
    if (QScreen* s = QGuiApplication::primaryScreen())
        window.move(s->availableGeometry().center() - window.rect().center());
}

void waitForModalDialogs(TimerScheduler& scheduler) {
    scheduler.modalOpen = [] { return QApplication::activeModalWidget() != nullptr; };
}

} // namespace tb
