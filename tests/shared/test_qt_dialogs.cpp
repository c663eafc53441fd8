#include "progress_window.h"
#include "qt_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tb;

namespace {
long residentKb() {
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : 0;
}

// What the box the seam showed said, and how.
struct Shown {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QString title;
};
} // namespace

TEST(QtDialogs, TextsFromTheDataFileAreShownAsPlainText) {
    QtDialogs dialogs("Tillbook");
    const QString image = "Soll Bild <img src=\"/dev/zero\"> neu anlgelegt werden ?";
    const QString bold = "<b>fett</b> <GmbH>";
    const long before = residentKb();
    QElapsedTimer clock;
    clock.start();
    for (const QString& text : {image, bold}) {
        Shown seen;
        QTimer::singleShot(0, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen.text = box->text();
            seen.format = box->textFormat();
            seen.title = box->windowTitle();
            box->done(QMessageBox::No);
        });
        dialogs.message(text, text + " nicht gefunden", Icon::Question, Buttons::YesNo);
        EXPECT_EQ(seen.text, text);
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.title, text + " nicht gefunden");
    }
    // Rendered as markup, the first would read /dev/zero as an image for ever.
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_LT(residentKb() - before, 50 * 1024);

    Shown prompt;
    QTimer::singleShot(0, [&prompt] {
        auto* in = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(in, nullptr);
        for (QLabel* l : in->findChildren<QLabel*>())
            if (!l->text().isEmpty()) {
                prompt.text = l->text();
                prompt.format = l->textFormat();
            }
        in->reject();
    });
    EXPECT_FALSE(dialogs.input(bold, "Titel", "1").has_value());
    EXPECT_EQ(prompt.text, bold);
    EXPECT_EQ(prompt.format, Qt::PlainText);
}

TEST(QtDialogs, ChoosingAPlaceWhereACopyIsAsksNothing) {
    QTemporaryDir dir;
    const QString existing = dir.path() + "/Tillbook.kas";
    QFile(existing).open(QIODevice::WriteOnly);
    QtDialogs dialogs("Tillbook");
    QString folderShown;
    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        folderShown = d->directory().absolutePath();
        // Qt's question "existiert bereits" would open on top of it.
        QTimer::singleShot(300, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = true;
                box->done(QMessageBox::Yes);
            }
        });
        d->selectFile(existing);
        QMetaObject::invokeMethod(d, "accept");
    });
    const QString chosen =
        dialogs.choosePlace("Sicherungspfad wählen", existing, "Kassenbuch (*.kas)");
    EXPECT_EQ(folderShown, dir.path());
    EXPECT_EQ(chosen, existing);
    EXPECT_FALSE(asked);
}

TEST(ProgressWindow, ABusyCursorAtOnceAndTheWindowOnlyForLongWork) {
    QWidget parent;
    parent.show();
    struct Seen {
        bool busy = false, shown = false;
        QString text;
        int maximum = -1, value = -1;
    } seen;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (const QCursor* c = QApplication::overrideCursor())
            seen.busy = seen.busy || c->shape() == Qt::WaitCursor;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "Fortschritt" && w->isVisible()) {
                seen.shown = true;
                seen.text = w->findChild<QLabel*>()->text();
                seen.maximum = w->findChild<QProgressBar*>()->maximum();
                seen.value = w->findChild<QProgressBar*>()->value();
            }
    });
    probe.start();
    const int result = runWithProgress<int>(
        &parent, "Merowa",
        [](Progress& p) {
            p.begin("Die Seiten der Datei werden geprüft …", 10);
            p.step(5);
            QThread::msleep(400);
            return 42;
        },
        100);
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(seen.busy);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(seen.text, "Die Seiten der Datei werden geprüft …");
    EXPECT_EQ(seen.value * 2, seen.maximum);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    seen = {};
    EXPECT_EQ(runWithProgress<int>(&parent, "Merowa", [](Progress&) { return 1; }), 1);
    QApplication::processEvents();
    EXPECT_FALSE(seen.shown);
}

TEST(ProgressWindow, AbbrechenStopsWorkThatCanStopAndOnlyThatWork) {
    QWidget parent;
    parent.show();
    // Clicks "Abbrechen" (or presses Escape) as soon as the window shows it, through the
    // window system's window as a real click arrives.
    bool offered = false;
    bool escape = false;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "Fortschritt" && w->isVisible())
                for (auto* b : w->findChildren<QPushButton*>())
                    if (b->text() == "Abbrechen" && b->isEnabled()) {
                        offered = true;
                        if (escape)
                            QTest::keyClick(w->windowHandle(), Qt::Key_Escape);
                        else
                            QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {},
                                              b->mapTo(w, b->rect().center()));
                    }
    });
    probe.start();
    auto work = [](Progress& p) {
        p.begin("Das Änderungsprotokoll wird geprüft …", 0);
        int n = 0;
        while (n < 500 && p.step(++n))
            QThread::msleep(10);
        return n;
    };
    EXPECT_LT(runWithProgress<int>(&parent, "Prüfen", work, 50, true), 500);
    EXPECT_TRUE(offered);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    offered = false;
    escape = true;
    EXPECT_LT(runWithProgress<int>(&parent, "Prüfen", work, 50, true), 500);
    EXPECT_TRUE(offered);

    // Work that cannot stop midway shows no button.
    offered = false;
    EXPECT_EQ(runWithProgress<int>(
                  &parent, "Kopieren",
                  [](Progress& p) {
                      for (int i = 0; i < 20; ++i) {
                          p.step(i);
                          QThread::msleep(10);
                      }
                      return 1;
                  },
                  50),
              1);
    EXPECT_FALSE(offered);
}
