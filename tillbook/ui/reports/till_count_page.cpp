#include "till_count_page.h"

#include "print_layout.h"

#include "booking_entry.h"
#include "value_display.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace tb {

TillCountPage::TillCountPage(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("TillCountPage"));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    auto bold = [](const QString& text) {
        auto* l = new QLabel(text);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        return l;
    };
    grid->addWidget(bold(QStringLiteral("Scheine")), 0, 0, 1, 5);
    int row = 1;
    const auto& captions = TillCount::captions();
    for (int i = 0; i < TillCount::kLines; ++i) {
        const int line = i + 1;
        if (line == 8)
            grid->addWidget(bold(QStringLiteral("Münzen")), row++, 0, 1, 5);
        auto* count = new QLineEdit;
        count->setObjectName(QStringLiteral("Text2_%1").arg(line));
        count->setAccessibleName(QStringLiteral("Anzahl ") + captions[static_cast<size_t>(i)]);
        count->setProperty("arrayIndex", line);
        count->setMaximumWidth(70);
        count->setAlignment(Qt::AlignRight);
        count->installEventFilter(this);
        counts_[static_cast<size_t>(i)] = count;
        auto* total = new QLabel;
        total->setObjectName(QStringLiteral("Label39_%1").arg(line));
        total->setMinimumWidth(90);
        total->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        totals_[static_cast<size_t>(i)] = total;
        auto* denomination = new QLabel(captions[static_cast<size_t>(i)]);
        denomination->setObjectName(QStringLiteral("Label38_%1").arg(line));
        denomination->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(count, row, 0);
        grid->addWidget(new QLabel(QStringLiteral("x")), row, 1);
        grid->addWidget(denomination, row, 2);
        grid->addWidget(new QLabel(QStringLiteral("=")), row, 3);
        grid->addWidget(total, row, 4);
        connect(count, &QLineEdit::textChanged, this, [this, line] { countEdited(line); });
        ++row;
    }
    auto figure = [&](const QString& caption, const char* name, int r) {
        auto* l = new ValueDisplay(caption, ValueDisplay::Colour::RedWhenNegative);
        l->setObjectName(QLatin1String(name));
        l->setMinimumWidth(110);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding: 1px "
                                        "4px; font-weight: bold;"));
        l->setValue(QStringLiteral("0,00"));
        grid->addWidget(new QLabel(caption), r, 6);
        grid->addWidget(l, r, 7);
        return l;
    };
    counted_ = figure(QStringLiteral("Zählprotokoll (ist):"), "Label41", 2);
    expected_ = figure(QStringLiteral("Kassenbestand (soll):"), "Label43", 3);
    difference_ = figure(QStringLiteral("Differenz:"), "Label44", 4);
    connect(counted_, &ValueDisplay::clicked, this, [this] {
        dialogs_.message(QStringLiteral("Bitte geben Sie die Anzahl der Scheine und Münzen ein"),
                         QStringLiteral("KAssenaufnahme"), Icon::Information);
        countField(1)->setFocus();
    });
    print_ = new QPushButton(QStringLiteral("Zählprotokoll drucken"));
    print_->setObjectName(QStringLiteral("Command16"));
    print_->setAccessibleName(print_->text());
    print_->setAutoDefault(false);
    connect(print_, &QPushButton::clicked, this, &TillCountPage::printClicked);
    grid->addWidget(print_, 6, 6, 1, 2);
    store_ = new QPushButton(QStringLiteral("Zählung speichern"));
    store_->setObjectName(QStringLiteral("cmdZaehlungSpeichern"));
    store_->setAccessibleName(store_->text());
    store_->setAutoDefault(false);
    connect(store_, &QPushButton::clicked, this, &TillCountPage::storeClicked);
    grid->addWidget(store_, 7, 6, 1, 2);
    grid->setColumnStretch(5, 1);
    grid->setColumnStretch(8, 1);
    grid->setRowStretch(row, 1);
}

bool TillCountPage::serviceCode() const {
    return countField(1)->text() == kServiceCode;
}

void TillCountPage::setExpected(Money balance) {
    expected_->setMoney(balance);
}

TillCount::Texts TillCountPage::counts() const {
    TillCount::Texts t;
    for (size_t i = 0; i < t.size(); ++i)
        t[i] = counts_[i]->text();
    return t;
}

TillFigures TillCountPage::figures() const {
    TillFigures f;
    f.counts = counts();
    f.lineTotals = lineTotals();
    f.expected = expected_->text();
    f.counted = counted_->text();
    f.difference = difference_->text();
    f.storedTitle = storedTitle_;
    return f;
}

TillCount::Texts TillCountPage::lineTotals() const {
    TillCount::Texts t;
    for (size_t i = 0; i < t.size(); ++i)
        t[i] = totals_[i]->text();
    return t;
}

void TillCountPage::countEdited(int line) {
    QLineEdit* field = countField(line);
    const QString why = TillCount::refusal(line, field->text());
    if (!why.isEmpty()) {
        // Refused as typed: the field keeps its last count and the focus.
        {
            const QSignalBlocker quiet(field);
            field->setText(accepted_[static_cast<size_t>(line - 1)]);
        }
        dialogs_.message(why, QStringLiteral("Fehler"), Icon::Critical);
        field->setFocus();
        return;
    }
    accepted_[static_cast<size_t>(line - 1)] = field->text();
    storedTitle_.clear(); // the fields no longer show the kept count
    QLabel* total = lineTotal(line);
    total->setText(TillCount::lineTotal(line, countField(line)->text(), total->text()));
    total->setAccessibleDescription(total->text());
    counted_->setMoney(TillCount::countedTotal(lineTotals()));
    emit countChanged();
}

void TillCountPage::showDifference() {
    difference_->setMoney(TillCount::difference(counted_->text(), expected_->text()));
}

bool TillCountPage::eventFilter(QObject* o, QEvent* e) {
    for (int line = 1; line <= TillCount::kLines; ++line) {
        QLineEdit* f = countField(line);
        if (o != f)
            continue;
        if (e->type() == QEvent::FocusIn) {
            f->setStyleSheet(QStringLiteral("QLineEdit { background: rgb(255,255,0); }"));
            QTimer::singleShot(0, f, &QLineEdit::selectAll);
        } else if (e->type() == QEvent::FocusOut &&
                   static_cast<QFocusEvent*>(e)->reason() != Qt::ActiveWindowFocusReason) {
            f->setStyleSheet(QStringLiteral("QLineEdit { background: rgb(255,255,255); }"));
        } else if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                countField(line % TillCount::kLines + 1)->setFocus();
                return true;
            }
        }
    }
    return QWidget::eventFilter(o, e);
}

} // namespace tb
