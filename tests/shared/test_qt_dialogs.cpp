#include "qt_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
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
