#include "query_frame.h"

#include "click_label.h"
#include "enter_presses.h"
#include "picture_button.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tb {

QueryFrame::QueryFrame(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Frame2"));
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 4);
    auto period = [this](const QString& name, const char* objectName) {
        auto* l = new ClickLabel(this);
        l->setObjectName(QLatin1String(objectName));
        l->setAccessibleName(name);
        l->setTextFormat(Qt::PlainText);
        l->setStyleSheet(
            QStringLiteral("background: white; border: 1px solid gray; padding: 2px;"));
        l->setCursor(Qt::PointingHandCursor);
        return l;
    };
    start_ = period(QStringLiteral("vom"), "Label9");
    end_ = period(QStringLiteral("bis"), "Label10");
    start_->clicked = [this] { emit periodStartClicked(); };
    end_->clicked = [this] { emit periodEndClicked(); };
    grid->addWidget(new QLabel(QStringLiteral("vom")), 0, 0);
    grid->addWidget(start_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("bis")), 0, 2);
    grid->addWidget(end_, 0, 3);

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(text);
        b->setAutoDefault(false);
        enterPresses(b);
        return b;
    };
    listAll_ = button(QStringLiteral("alle Positionen anzeigen"), "Command11");
    allTimes_ = button(QStringLiteral("alle Zeiten"), "Command14");
    connect(listAll_, &QPushButton::clicked, this, &QueryFrame::listAllClicked);
    connect(allTimes_, &QPushButton::clicked, this, &QueryFrame::allTimesClicked);
    grid->addWidget(listAll_, 0, 4);
    grid->addWidget(allTimes_, 0, 5);

    grid->addWidget(new QLabel(QStringLiteral("nach Buchungstext selektieren")), 1, 0, 1, 2);
    combo4_ = new QComboBox(this);
    combo4_->setObjectName(QStringLiteral("Combo4"));
    combo4_->setAccessibleName(QStringLiteral("nach Buchungstext selektieren"));
    combo4_->setEditable(true);
    combo4_->setInsertPolicy(QComboBox::NoInsert);
    combo4_->installEventFilter(this);
    combo4_->lineEdit()->installEventFilter(this);
    connect(combo4_, &QComboBox::activated, this,
            [this](int index) { emit textChosen(combo4_->itemText(index)); });
    grid->addWidget(combo4_, 1, 2, 1, 2);

    print_ = new PictureButton(PictureButton::Picture::Printer,
                               QStringLiteral("Kassenbuch drucken"), this);
    print_->setObjectName(QStringLiteral("Command12"));
    export_ = new PictureButton(PictureButton::Picture::Export, QStringLiteral("CSV-Export"), this);
    export_->setObjectName(QStringLiteral("Image1"));
    connect(print_, &PictureButton::clicked, this, &QueryFrame::printClicked);
    connect(export_, &PictureButton::clicked, this, &QueryFrame::exportClicked);
    grid->addWidget(print_, 1, 4, Qt::AlignLeft);
    grid->addWidget(export_, 1, 5, Qt::AlignLeft);
    grid->setColumnStretch(6, 1);
}

void QueryFrame::setPeriod(const QString& start, const QString& end) {
    start_->setText(start);
    start_->setAccessibleDescription(start);
    end_->setText(end);
    end_->setAccessibleDescription(end);
}

void QueryFrame::setTexts(const QStringList& texts) {
    combo4_->clear();
    combo4_->addItems(texts);
    clearSelectedText();
}

void QueryFrame::clearSelectedText() {
    combo4_->setCurrentIndex(-1);
    combo4_->setEditText(QString());
}

bool QueryFrame::eventFilter(QObject* o, QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return QFrame::eventFilter(o, e);
    auto* k = static_cast<QKeyEvent*>(e);
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    if (o == combo4_ || o == combo4_->lineEdit()) {
        // Enter and Escape do nothing here; any other key opens the list and is then typed.
        if (enter || k->key() == Qt::Key_Escape)
            return true;
        const bool typing = !k->text().isEmpty() && k->text().at(0).isPrint();
        if (typing && !combo4_->view()->isVisible())
            combo4_->showPopup();
    }
    return QFrame::eventFilter(o, e);
}

} // namespace tb
