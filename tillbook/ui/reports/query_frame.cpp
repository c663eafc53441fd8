#include "query_frame.h"

#include "click_label.h"
#include "enter_presses.h"
#include "picture_button.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
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
            QStringLiteral("QLabel { background: white; border: 1px solid gray; padding: 2px; }"
                           " QLabel:focus { border: 2px solid rgb(0,90,200); padding: 1px; }"));
        l->setCursor(Qt::PointingHandCursor);
        l->actAsButton(); // the calendar opens with Enter, Space or Alt+Down as well
        return l;
    };
    start_ = period(QStringLiteral("vom"), "Label9");
    end_ = period(QStringLiteral("bis"), "Label10");
    connect(start_, &ClickLabel::clicked, this, &QueryFrame::periodStartClicked);
    connect(end_, &ClickLabel::clicked, this, &QueryFrame::periodEndClicked);
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
    combo4_->lineEdit()->setAccessibleName(combo4_->accessibleName());
    // Typing stays in the field; the list below it follows what was typed.
    auto* completer = new QCompleter(combo4_->model(), combo4_);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchStartsWith);
    combo4_->setCompleter(completer);
    combo4_->installEventFilter(this);
    combo4_->lineEdit()->installEventFilter(this);
    completer->popup()->installEventFilter(this);
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

int QueryFrame::matchingText(const QString& typed) const {
    if (typed.isEmpty())
        return -1;
    // The text as typed, in any case; otherwise the first text it begins.
    for (int i = 0; i < combo4_->count(); ++i)
        if (combo4_->itemText(i).compare(typed, Qt::CaseInsensitive) == 0)
            return i;
    for (int i = 0; i < combo4_->count(); ++i)
        if (combo4_->itemText(i).startsWith(typed, Qt::CaseInsensitive))
            return i;
    return -1;
}

void QueryFrame::chooseTyped() {
    QCompleter* completer = combo4_->completer();
    QString typed = combo4_->currentText();
    if (completer->popup()->isVisible()) {
        // A text picked in the list below the field is the one meant.
        const QModelIndex picked = completer->popup()->currentIndex();
        if (picked.isValid())
            typed = picked.data().toString();
        completer->popup()->hide();
    }
    const int index = matchingText(typed);
    if (index < 0)
        return; // nothing matches: nothing is listed
    combo4_->setCurrentIndex(index);
    emit textChosen(combo4_->itemText(index));
}

bool QueryFrame::eventFilter(QObject* o, QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return QFrame::eventFilter(o, e);
    auto* k = static_cast<QKeyEvent*>(e);
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    QWidget* popup = combo4_->completer()->popup();
    if (o == combo4_ || o == combo4_->lineEdit() || o == popup) {
        if (enter) {
            chooseTyped();
            return true;
        }
        if (k->key() == Qt::Key_Escape) {
            popup->hide();
            return true;
        }
    }
    return QFrame::eventFilter(o, e);
}

} // namespace tb
