#include "entry_panel.h"

#include "enter_presses.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace tb {

namespace {
// Only the field itself: its right-click menu is a child of it and keeps the menu colours.
const QString kYellow = QStringLiteral("QLineEdit { background: rgb(255,255,0); }");
const QString kWhite = QStringLiteral("QLineEdit { background: rgb(255,255,255); }");

bool isEnter(const QKeyEvent* k) {
    return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
}

// Focus that moves because another window came up or a list popped open is no leaving of the
// field: the operator did not go anywhere.
bool counts(const QEvent* e) {
    const auto reason = static_cast<const QFocusEvent*>(e)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}
} // namespace

QString EntryPanel::stateText(State s) {
    switch (s) {
    case State::Neuanlage:
        return QStringLiteral("Neuanlage");
    case State::Bearbeiten:
        return QStringLiteral("Daten bearbeiten");
    case State::Stornieren:
        return QStringLiteral("Eintrag stornieren");
    }
    return {};
}

EntryPanel::EntryPanel(BookingEntry& entry, QWidget* parent) : QFrame(parent), entry_(entry) {
    setObjectName(QStringLiteral("Frame1"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    const QStringList names{"Status",  "Buchungstext", "Bemerkung", "erledigt", "Einnahme",
                            "Ausgabe", "MwSt.-Satz",   "MwSt.",     "Beleg"};
    for (int i = 0; i < 9; ++i) {
        auto* f = new QLineEdit(this);
        f->setObjectName(QStringLiteral("Text5_%1").arg(i));
        f->setAccessibleName(names[i]);
        f->installEventFilter(this);
        fields_[static_cast<size_t>(i)] = f;
        if (i == kStatusField || i == kDoneField || i == kRateField || i == kVatField)
            f->hide(); // holders the operator does not see
    }
    for (int i : {kReceiptField, kPaymentField, kNumberField})
        field(i)->setAlignment(Qt::AlignRight);

    rate_ = new QComboBox(this);
    rate_->setEditable(true);
    rate_->setObjectName(QStringLiteral("Combo1"));
    rate_->setAccessibleName(QStringLiteral("MwSt.-Satz"));
    connect(rate_, &QComboBox::activated, this, [this] {
        EntryValues v = values();
        entry_.rateChosen(v);
        setValues(v);
    });
    rate2_ = new QComboBox(this);
    rate2_->setObjectName(QStringLiteral("Combo2"));
    rate2_->setAccessibleName(QStringLiteral("MwSt.-Satz 2"));
    rate2_->setEditable(true);
    vatBox_ = new QLineEdit(this);
    vatBox_->setObjectName(QStringLiteral("Text6"));
    vatBox_->setAccessibleName(QStringLiteral("MwSt.-Betrag"));
    vatBox2_ = new QLineEdit(this);
    vatBox2_->setObjectName(QStringLiteral("Text7"));
    vatBox2_->setAccessibleName(QStringLiteral("MwSt.-Betrag 2"));
    for (QLineEdit* box : {vatBox_, vatBox2_}) {
        box->setAlignment(Qt::AlignRight);
        connect(box, &QLineEdit::editingFinished, this,
                [box] { box->setText(BookingEntry::reformatAmount(box->text())); });
    }
    // The editable choices are heard by their captions, not by the rate standing in them.
    for (QComboBox* c : {rate_, rate2_})
        c->lineEdit()->setAccessibleName(c->accessibleName());
    rate2_->hide();
    vatBox2_->hide();

    stateLabel_ = new QLabel(this);
    stateLabel_->setObjectName(QStringLiteral("Label1"));
    stateLabel_->setAlignment(Qt::AlignCenter);
    stateLabel_->setAccessibleName(QStringLiteral("Status"));
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(QStringLiteral("Label11"));
    countLabel_->setAccessibleName(QStringLiteral("Buchungen"));
    hint_ = new QLabel(QStringLiteral("Eintrag speichern mit Enter"), this);
    hint_->setObjectName(QStringLiteral("Label12"));
    hint_->hide();

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(text);
        b->setAutoDefault(false);
        enterPresses(b);
        return b;
    };
    save_ = button(QStringLiteral("speichern"), "Command6");
    save_->installEventFilter(this); // the hint while it has the focus
    cancel_ = button(QStringLiteral("abbrechen"), "Command7");
    deleteLine_ = button(QStringLiteral("Zeile löschen"), "Command4");
    storno_ = button(QStringLiteral("Stornieren"), "Command20");
    connect(save_, &QPushButton::clicked, this, &EntryPanel::saveClicked);
    connect(cancel_, &QPushButton::clicked, this, &EntryPanel::cancelClicked);
    connect(deleteLine_, &QPushButton::clicked, this, &EntryPanel::deleteLineClicked);
    connect(storno_, &QPushButton::clicked, this, &EntryPanel::stornoClicked);
    deleteLine_->hide();
    storno_->hide();
    setState(State::Bearbeiten);
    QFrame::setVisible(false);
}

EntryValues EntryPanel::values() const {
    EntryValues v = hidden_;
    for (int i : {kTextField, kRemarkField, kReceiptField, kPaymentField, kNumberField})
        v.field(EntryField(i)) = field(i)->text();
    v.rate = rate_->currentText();
    v.rate2 = rate2_->currentText();
    v.vatBox = vatBox_->text();
    v.vatBox2 = vatBox2_->text();
    v.twoRates = twoRates_;
    return v;
}

void EntryPanel::setValues(const EntryValues& v) {
    hidden_ = v;
    for (int i = 0; i < 9; ++i)
        field(i)->setText(v.field(EntryField(i)));
    rate_->setEditText(v.rate);
    rate2_->setEditText(v.rate2);
    vatBox_->setText(v.vatBox);
    vatBox2_->setText(v.vatBox2);
}

void EntryPanel::clearForNewLine() {
    EntryValues v = values();
    v.line = BookingLine();
    // A VAT amount left over from the line shown before must not go into the new one.
    v.vatBox.clear();
    v.vatBox2.clear();
    setValues(v);
}

void EntryPanel::setState(State s) {
    state_ = s;
    stateLabel_->setText(stateText(s));
    const QColor c = s == State::Neuanlage ? QColor(192, 255, 192) : QColor(255, 192, 192);
    stateLabel_->setStyleSheet(
        QStringLiteral("background: %1; border: 1px solid gray;").arg(c.name()));
    stateLabel_->setProperty("stateColor", c);
}

void EntryPanel::setMode(Mode m, bool serviceCode) {
    switch (m) {
    case Mode::NewLine:
        show();
        clearForNewLine();
        setState(State::Neuanlage);
        setFieldsEnabled(true);
        save_->show();
        storno_->hide();
        setTwoRates(false);
        return;
    case Mode::AsState:
        if (state_ == State::Neuanlage) {
            setFieldsEnabled(true);
            if (serviceCode)
                deleteLine_->show();
            save_->setVisible(serviceCode);
            storno_->hide();
            return;
        }
        setFieldsEnabled(false);
        save_->hide();
        storno_->show();
        return;
    case Mode::Unlocked:
        setFieldsEnabled(true);
        save_->show();
        storno_->hide();
        return;
    }
}

void EntryPanel::close() {
    dismiss();
    deleteLine_->hide();
    setState(State::Bearbeiten);
}

void EntryPanel::offerLineDeletion(bool on) {
    deleteLine_->setVisible(on);
}

void EntryPanel::showLine(const EntryValues& v, int lineCount, bool serviceCode) {
    setValues(v);
    setLineCount(lineCount);
    setTwoRates(v.twoRates);
    if (serviceCode) {
        deleteLine_->show();
        field(kNumberField)->setEnabled(true);
    }
}

void EntryPanel::followInTabOrder(QWidget* before) {
    QWidget::setTabOrder(before, storno_);
    QWidget::setTabOrder(storno_, save_);
    QWidget::setTabOrder(save_, cancel_);
    QWidget::setTabOrder(cancel_, deleteLine_);
}

void EntryPanel::focusField(EntryField f) {
    field(f)->setFocus();
}

void EntryPanel::takeOverText(const QString& text, const QString& rate) {
    field(kTextField)->setText(text);
    if (rate_->currentText().isEmpty())
        setRate(rate);
}

void EntryPanel::setFieldsEnabled(bool on) {
    for (int i : {kNumberField, kTextField, kRemarkField, kDoneField, kReceiptField, kPaymentField})
        field(i)->setEnabled(on);
    for (QWidget* w : std::initializer_list<QWidget*>{rate_, rate2_, vatBox_, vatBox2_})
        w->setEnabled(on);
}

void EntryPanel::setTwoRates(bool on) {
    twoRates_ = on;
    rate2_->setVisible(on);
    vatBox2_->setVisible(on && columnOn_[2]);
    rate_->setEnabled(!on);
    rate2_->setEnabled(!on);
}

void EntryPanel::setRates(const QString& rate1, const QString& rate2) {
    const int index = rate_->currentIndex();
    const QString text = rate_->currentText();
    rate_->clear();
    rate_->addItems({rate1, rate2, QStringLiteral("0")});
    if (index < 0)
        rate_->setCurrentIndex(-1);
    rate_->setEditText(text);
}

void EntryPanel::setRate(const QString& rate) {
    rate_->setEditText(rate);
}

void EntryPanel::setLineCount(int lines) {
    countLabel_->setText(QString::number(lines) + QStringLiteral(" Buchungen"));
}

void EntryPanel::setColumnVisible(int k, bool on) {
    if (k < 1 || k > 5)
        return;
    columnOn_[static_cast<size_t>(k)] = on;
    // Column 2 is the second tax column: its box only ever shows for a two-rate line. The
    // ninth column repeats the receipt number, whose field stays under "Beleg".
    switch (k) {
    case 1:
        vatBox_->setVisible(on);
        break;
    case 2:
        vatBox2_->setVisible(on && twoRates_);
        break;
    case 3:
        field(kReceiptField)->setVisible(on);
        break;
    case 4:
        field(kPaymentField)->setVisible(on);
        break;
    default:
        break;
    }
}

void EntryPanel::placeUnder(const std::function<QRect(int)>& columnRect) {
    const int top = 30;
    const int h = 24;
    auto under = [&](QWidget* w, int column) {
        const QRect c = columnRect(column);
        w->setGeometry(c.x(), top, c.width(), h);
    };
    under(field(kNumberField), 0);
    under(field(kTextField), 2);
    under(field(kRemarkField), 3);
    under(vatBox_, 4);
    under(vatBox2_, 5);
    under(field(kReceiptField), 6);
    under(field(kPaymentField), 7);
    const QRect dateColumn = columnRect(1);
    rate_->setGeometry(dateColumn.x(), top, dateColumn.width(), h);
    rate2_->setGeometry(dateColumn.x(), top + h + 4, dateColumn.width(), h);
    stateLabel_->setGeometry(8, 4, 160, 22);
    countLabel_->setGeometry(180, 4, 160, 22);
    hint_->setGeometry(360, 4, 250, 22);
    const int by = height() - 34;
    int bx = width() - 8;
    for (QPushButton* b : {cancel_, save_}) {
        bx -= 110;
        b->setGeometry(bx, by, 104, 28);
    }
    storno_->setGeometry(bx - 110, by, 104, 28);
    deleteLine_->setGeometry(8, by, 120, 28);
}

bool EntryPanel::focusNextPrevChild(bool next) {
    // Tab stays in the panel: through the fields to "speichern", "abbrechen" and round again,
    // so a line is never left unsaved by a Tab too many.
    const std::array<QWidget*, 14> order{field(kTextField),
                                         field(kRemarkField),
                                         field(kReceiptField),
                                         field(kPaymentField),
                                         field(kNumberField),
                                         rate_,
                                         vatBox_,
                                         rate2_,
                                         vatBox2_,
                                         deleteLine_,
                                         storno_,
                                         save_,
                                         cancel_,
                                         nullptr};
    std::vector<QWidget*> stops;
    for (QWidget* w : order)
        if (w && w->isVisibleTo(this) && w->isEnabled())
            stops.push_back(w);
    QWidget* focus = QApplication::focusWidget();
    auto at = std::find_if(stops.begin(), stops.end(), [focus](QWidget* w) {
        return focus && (w == focus || w->isAncestorOf(focus));
    });
    if (stops.empty() || at == stops.end())
        return QFrame::focusNextPrevChild(next);
    const auto n = static_cast<long>(stops.size());
    const long i = ((at - stops.begin()) + (next ? 1 : -1) + n) % n;
    stops[static_cast<size_t>(i)]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void EntryPanel::dismiss() {
    hide();
    emit dismissed();
}

bool EntryPanel::eventFilter(QObject* o, QEvent* e) {
    if (o == save_) {
        if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)
            hint_->setVisible(e->type() == QEvent::FocusIn);
        return false;
    }
    for (int i = 0; i < 9; ++i) {
        if (o != field(i))
            continue;
        switch (e->type()) {
        case QEvent::FocusIn:
            // The colour follows the focus however it came; the rules only run when the
            // operator moved it.
            for (QLineEdit* other : fields_)
                other->setStyleSheet(other == field(i) ? kYellow : kWhite);
            if (counts(e))
                fieldFocusIn(i);
            break;
        case QEvent::FocusOut:
            if (counts(e))
                fieldFocusOut(i);
            break;
        case QEvent::KeyPress:
            return fieldKey(i, static_cast<QKeyEvent*>(e));
        default:
            break;
        }
    }
    return QFrame::eventFilter(o, e);
}

bool EntryPanel::fieldKey(int f, QKeyEvent* k) {
    if (isEnter(k)) {
        switch (f) {
        case kTextField:
            field(kRemarkField)->setFocus();
            break;
        case kRemarkField:
            field(kReceiptField)->setFocus();
            break;
        case kReceiptField:
            field(kPaymentField)->setFocus();
            break;
        case kPaymentField:
        case kNumberField:
            save_->setFocus();
            break;
        default:
            break;
        }
        return true;
    }
    const int key = k->key();
    const bool navigation = key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Shift ||
                            key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Escape;
    if (f == kTextField) {
        if (navigation)
            return false;
        // The booking text is never typed: any key opens the picker.
        emit bookingTextWanted();
        return true;
    }
    if (f == kReceiptField || f == kPaymentField || f == kNumberField) {
        if (navigation || key == Qt::Key_Backspace || key == Qt::Key_Left || key == Qt::Key_Right ||
            key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Delete)
            return false;
        QLineEdit* edit = field(f);
        if (BookingEntry::isAmountKey(k->text()))
            edit->insert(BookingEntry::normalizeAmountInput(edit->text(), k->text()));
        return true;
    }
    return false;
}

void EntryPanel::fieldFocusIn(int f) {
    QLineEdit* edit = field(f);
    QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    EntryValues v = values();
    entry_.fieldEntered(f, v);
    if (f == kNumberField)
        field(kNumberField)->setText(v.line.number);
}

void EntryPanel::fieldFocusOut(int f) {
    EntryValues v = values();
    entry_.fieldLeft(v);
    field(f)->setStyleSheet(kWhite);
    if ((f == kReceiptField || f == kPaymentField) && !isHidden() && !closing_) {
        if (!entry_.amountFieldLeft(v)) {
            setValues(v);
            dismiss();
            return;
        }
    }
    setValues(v);
}

void EntryPanel::follow(EntryController& e) {
    connect(&e, &EntryController::modeWanted, this, &EntryPanel::setMode);
    connect(&e, &EntryController::stateWanted, this, &EntryPanel::setState);
    connect(&e, &EntryController::panelShowWanted, this, &QWidget::show);
    connect(&e, &EntryController::panelCloseWanted, this, &EntryPanel::close);
    connect(&e, &EntryController::panelDismissWanted, this, &EntryPanel::dismiss);
    connect(&e, &EntryController::valuesWanted, this, &EntryPanel::setValues);
    connect(&e, &EntryController::textTakenOver, this, &EntryPanel::takeOverText);
    connect(&e, &EntryController::lineDeletionOffered, this, &EntryPanel::offerLineDeletion);
    connect(&e, &EntryController::fieldFocusWanted, this, &EntryPanel::focusField);
    connect(&e, &EntryController::lineShown, this, &EntryPanel::showLine);
    connect(&e, &EntryController::entryKept, this, &EntryPanel::returnFocus);
}

void EntryPanel::returnFocus() {
    // Also when a calendar came up in between.
    QWidget* back = focusWidget();
    if (QApplication::activeModalWidget())
        return;
    if (back && isAncestorOf(back) && back->isEnabled())
        back->setFocus(Qt::ActiveWindowFocusReason);
    else
        focusField(kRemarkField);
}

} // namespace tb
