#include "day_column.h"

#include "data_view_model.h"
#include "enter_presses.h"
#include "row_grid.h"
#include "schema.h"
#include "value_display.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

namespace tb {

namespace {
// The day list ends this far above the bottom of the window, whatever its size: 900 twips of
// the original layout, the room of the two day buttons.
constexpr int kBelowDayList = 60;
} // namespace

DayColumn::DayColumn(QWidget* surface, int designHeight, DayPresenter& day,
                     DayController& controller, QObject* parent)
    : QObject(parent), surface_(surface), day_(day), controller_(controller) {
    build(designHeight);
    connect(&controller_, &DayController::dayShown, this, &DayColumn::showDay);
    connect(&controller_, &DayController::daysReread, this, &DayColumn::reload);
    connect(&controller_, &DayController::dayListFocusWanted, list_, [this] { list_->setFocus(); });
    connect(&day_, &DayPresenter::totalsChanged, this,
            [this](const DayTotals& t) { dayAmount_->setMoney(t.dayAmount()); });
    connect(&day_, &DayPresenter::balanceChanged, this, [this](Money balance) {
        model_->repaintColours();
        balance_->setMoney(balance);
    });
    connect(&day_, &DayPresenter::carriedInChanged, carriedIn_, &ValueDisplay::setMoney);
}

void DayColumn::build(int designHeight) {
    auto display = [this](const QString& caption, const char* name, ValueDisplay::Colour colour,
                          int x, int y, int w, int h) {
        auto* d = new ValueDisplay(caption, colour, surface_);
        d->setObjectName(QLatin1String(name));
        d->setGeometry(x, y, w, h);
        return d;
    };
    auto label = [this](const QString& text, const char* name, int x, int y, int w, int h) {
        auto* l = new QLabel(text, surface_);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(x, y, w, h);
        return l;
    };
    using Colour = ValueDisplay::Colour;
    // The day's date and weekday; a click on the date finds or creates a day.
    date_ = display(QStringLiteral("Datum"), "Text1", Colour::Plain, 10, 10, 120, 24);
    connect(date_, &ValueDisplay::clicked, &controller_, &DayController::findOrCreate);
    date_->setCursor(Qt::PointingHandCursor);
    date_->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding: 2px;"
                                        " font-weight: bold;"));
    weekday_ = display(QStringLiteral("Wochentag"), "Label3", Colour::Plain, 134, 10, 60, 24);
    weekday_->setAlignment(Qt::AlignCenter);
    label(QStringLiteral("Kassenbestand vom  Vortag:"), "Label4", 10, 38, 184, 18);
    carriedIn_ = display(QStringLiteral("Kassenbestand vom  Vortag:"), "Label5", Colour::Plain, 10,
                         56, 184, 22);
    label(QStringLiteral("Tagesbetrag:"), "Label6", 10, 82, 184, 18);
    dayAmount_ =
        display(QStringLiteral("Tagesbetrag:"), "Text3", Colour::RedWhenNegative, 10, 100, 184, 22);
    label(QStringLiteral("aktueller Bestand (Soll):"), "Label7", 10, 126, 184, 18);
    balance_ = display(QStringLiteral("aktueller Bestand (Soll):"), "Label8",
                       Colour::RedWhenNegative, 10, 144, 184, 24);
    for (ValueDisplay* d : {carriedIn_, dayAmount_, balance_}) {
        d->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        d->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding: 1px "
                                        "4px; font-weight: bold;"));
        d->setValue(QStringLiteral("0,00"));
    }

    CashDays& days = day_.days();
    model_ = new DataViewModel(days.view(), {schema::Days::date}, {QStringLiteral("Datum")}, this);
    // A day that ends below zero shows its date in red.
    model_->setRowColour([this, &days](int row) {
        const auto end =
            day_.runningBalance().endOfDay(days.view().valueAt(row, schema::Days::date));
        return end && *end < Money() ? QColor(Qt::red) : QColor();
    });
    list_ = new RowGrid(surface_);
    list_->setObjectName(QStringLiteral("DBGrid1"));
    list_->setModel(model_);
    list_->setAccessibleName(QStringLiteral("Datum"));
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setGeometry(10, 176, 184, designHeight - 176 - kBelowDayList);
    connect(list_, &QTableView::clicked, this,
            [this](const QModelIndex& i) { controller_.chooseRow(i.row()); });
    // Keys move the current day with the highlight (a press of the mouse is handled as the
    // click it becomes).
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (!syncing_ && now.isValid() && QGuiApplication::mouseButtons() == Qt::NoButton)
                    controller_.chooseRow(now.row());
            });
    connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, &controller_,
            &DayController::findOrCreate);

    const int y = designHeight - kBelowDayList;
    findDay_ = new QPushButton(QStringLiteral("Tag suchen oder anlegen (F3)"), surface_);
    findDay_->setObjectName(QStringLiteral("Command1"));
    findDay_->setGeometry(10, y + 3, 184, 26);
    deleteDay_ = new QPushButton(QStringLiteral("Tag löschen"), surface_);
    deleteDay_->setObjectName(QStringLiteral("Command2"));
    deleteDay_->setGeometry(10, y + 31, 184, 26);
    for (QPushButton* b : {findDay_, deleteDay_}) {
        b->setAccessibleName(b->text());
        b->setAutoDefault(false);
        enterPresses(b);
    }
    connect(findDay_, &QPushButton::clicked, &controller_, &DayController::findOrCreate);
    connect(deleteDay_, &QPushButton::clicked, &controller_, &DayController::deleteDay);
}

void DayColumn::showDay(const QString& date, const QString& weekday, int row) {
    date_->setValue(date);
    weekday_->setValue(weekday);
    selectRow(row);
}

void DayColumn::selectRow(int row) {
    syncing_ = true;
    if (row >= 0 && row < model_->rowCount())
        list_->selectRow(row);
    syncing_ = false;
}

void DayColumn::reload() {
    // The model shows the re-read rows; the highlight goes back onto the current day.
    syncing_ = true;
    model_->reload();
    syncing_ = false;
    selectRow(day_.days().view().position());
}

void DayColumn::layout() {
    const int listTop = list_->y();
    const int listBottom = surface_->height() - kBelowDayList;
    list_->setGeometry(list_->x(), listTop, list_->width(), listBottom - listTop);
    findDay_->setGeometry(findDay_->x(), listBottom + 3, findDay_->width(), 26);
    deleteDay_->setGeometry(deleteDay_->x(), listBottom + 31, deleteDay_->width(), 26);
}

} // namespace tb
