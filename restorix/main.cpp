#include "data_paths.h"
#include "qt_dialogs.h"
#include "settings_store.h"
#include "special_folders.h"

#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QVBoxLayout>

// The recovery tool. For now it shows where the data file and the backup copy are.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tillbook"));
    QApplication::setApplicationName(QStringLiteral("Restorix"));
    tb::installGermanTranslation();

    tb::SettingsStore store;
    const QString section = tb::SettingsStore::startup();
    const QString defaultPath =
        tb::paths::restorixDefaultDataPath(tb::Windowsverzeichnisse::commonDocuments());
    const QString dataPath = store.get(section, tb::paths::kDataPathKey, defaultPath);
    const QString backupPath =
        store.get(section, tb::paths::kBackupKey, tb::paths::defaultBackupPath());

    QMainWindow window;
    window.setObjectName(QStringLiteral("Restorix"));
    window.setWindowTitle(QStringLiteral("Restorix"));
    auto* central = new QWidget;
    central->setStyleSheet(QStringLiteral("background: rgb(215,235,255);"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Datenpfad:"), new QLabel(dataPath));
    form->addRow(QStringLiteral("Sicherung:"), new QLabel(backupPath));
    auto* quit = new QPushButton(QStringLiteral("Beenden"));
    QObject::connect(quit, &QPushButton::clicked, &window, &QMainWindow::close);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(form);
    layout->addStretch();
    layout->addWidget(quit);
    window.setCentralWidget(central);
    window.resize(560, 200);
    window.show();
    return app.exec();
}
