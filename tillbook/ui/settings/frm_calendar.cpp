#include "frm_calendar.h"

#include "calendar_math.h"
#include "qt_dialogs.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace tb {

namespace {
constexpr int kGridWidth = 7 * 34 + 1;
constexpr int kGridHeight = 6 * 24 + 1;

// "<<" and ">>": a press moves one month, a double click one more.
class MonthArrow : public QLabel {
  public:
    MonthArrow(const QString& text, int step, frmCalendar* owner)
        : QLabel(text), step_(step), owner_(owner) {
        setAlignment(Qt::AlignCenter);
        setFixedWidth(28);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(text);
        QFont f = font();
        f.setBold(true);
        setFont(f);
    }

  protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton)
            owner_->moveMonths(step_);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton)
            owner_->moveMonths(step_);
    }

  private:
    int step_;
    frmCalendar* owner_;
};
} // namespace

frmCalendar::frmCalendar(QWidget* parent) : QDialog(parent), today_(QDate::currentDate()) {
    setObjectName(QStringLiteral("frmCalendar"));
    setWindowTitle(QStringLiteral("Tillbook"));
    current_ = today_;

    auto* top = new QHBoxLayout;
    caption_ = new QLabel;
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setAccessibleName(QStringLiteral("Monat"));
    QFont cf = caption_->font();
    cf.setBold(true);
    caption_->setFont(cf);
    top->addWidget(new MonthArrow(QStringLiteral("<<"), -1, this));
    top->addWidget(caption_, 1);
    top->addWidget(new MonthArrow(QStringLiteral(">>"), 1, this));

    auto* header = new QHBoxLayout;
    header->setSpacing(0);
    auto* so = new QLabel(QStringLiteral("So"));
    so->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    so->setFixedWidth(34);
    so->setAlignment(Qt::AlignCenter);
    // One text over the six columns after Sunday, blanks as they stand.
    auto* rest = new QLabel(QStringLiteral("Mo    Di     Mi     Do    Fr    Sa  "));
    rest->setObjectName(QStringLiteral("Label2"));
    rest->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
    // In a fixed-pitch font of this size the names fall over their columns.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(9);
    rest->setFont(fixed);
    rest->setFixedWidth(6 * 34);
    rest->setContentsMargins(12, 0, 0, 0);
    header->addWidget(so);
    header->addWidget(rest);
    header->addStretch();

    grid_ = new CalendarGrid(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(header);
    layout->addWidget(grid_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    updateCaption();
    grid_->setFocus();
}

bool frmCalendar::GetDate(QDate& date, const QString& title, QWidget* parent) {
    frmCalendar dlg(parent);
    if (!title.isEmpty())
        dlg.setWindowTitle(title);
    dlg.setCurrentDate(date.isValid() ? date : QDate::currentDate());
    dlg.adjustSize();
    centreOnScreen(dlg);
    dlg.exec();
    if (!dlg.chosen())
        return false;
    date = dlg.currentDate();
    return true;
}

void frmCalendar::setCurrentDate(const QDate& d) {
    if (!d.isValid())
        return;
    current_ = d;
    updateCaption();
    grid_->update();
}

void frmCalendar::setToday(const QDate& d) {
    today_ = d;
    grid_->update();
}

QString frmCalendar::monthCaption() const {
    return QLocale(QLocale::German).toString(current_, QStringLiteral("MMMM yyyy"));
}

void frmCalendar::updateCaption() {
    caption_->setText(monthCaption());
}

void frmCalendar::choose() {
    chosen_ = true;
    accept();
}

void frmCalendar::moveMonths(int months) {
    setCurrentDate(calendar::addMonths(current_, months));
}

void frmCalendar::mousePressEvent(QMouseEvent* e) {
    // A click on the window outside the grid closes it without choosing.
    if (!grid_->geometry().contains(e->position().toPoint()))
        reject();
}

void frmCalendar::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(e);
}

CalendarGrid::CalendarGrid(frmCalendar* owner)
    : QWidget(owner), owner_(owner), cellW_((kGridWidth - 1) / 7), cellH_((kGridHeight - 1) / 6) {
    setFixedSize(kGridWidth, kGridHeight);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Kalender"));
    setAutoFillBackground(true);
}

QRect CalendarGrid::cellRect(int day) const {
    const QDate d(owner_->currentDate().year(), owner_->currentDate().month(), day);
    const calendar::Cell c = calendar::cellOf(d);
    return QRect(c.column * cellW_, c.row * cellH_, cellW_, cellH_);
}

bool CalendarGrid::isBold(int day) const {
    const QDate cur = owner_->currentDate();
    const QDate today = owner_->today();
    return cur.year() == today.year() && cur.month() == today.month() && day == today.day();
}

void CalendarGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QDate cur = owner_->currentDate();
    const QFont normal = font();
    QFont bold = normal;
    bold.setBold(true);
    for (int d = 1; d <= cur.daysInMonth(); ++d) {
        p.setFont(isBold(d) ? bold : normal);
        p.setPen(palette().text().color());
        p.drawText(cellRect(d), Qt::AlignCenter, QString::number(d));
    }
    // The mark: four lines around the cell, from the bottom-left corner up, right, down and
    // back, shadow first and highlight after, so the cell looks sunken.
    const QRect r = cellRect(cur.day()).adjusted(0, 0, -1, -1);
    p.setPen(QPen(palette().color(QPalette::Shadow), 1));
    p.drawLine(r.bottomLeft(), r.topLeft());
    p.drawLine(r.topLeft(), r.topRight());
    p.setPen(QPen(palette().color(QPalette::Light), 1));
    p.drawLine(r.topRight(), r.bottomRight());
    p.drawLine(r.bottomRight(), r.bottomLeft());
}

void CalendarGrid::keyPressEvent(QKeyEvent* e) {
    const QDate cur = owner_->currentDate();
    switch (e->key()) {
    case Qt::Key_Right:
        owner_->setCurrentDate(cur.addDays(1));
        break;
    case Qt::Key_Left:
        owner_->setCurrentDate(cur.addDays(-1));
        break;
    case Qt::Key_Down:
        owner_->setCurrentDate(cur.addDays(7));
        break;
    case Qt::Key_Up:
        owner_->setCurrentDate(cur.addDays(-7));
        break;
    case Qt::Key_PageDown:
        owner_->moveMonths(1);
        break;
    case Qt::Key_PageUp:
        owner_->moveMonths(-1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        owner_->choose();
        break;
    case Qt::Key_Escape:
        owner_->reject();
        break;
    default:
        QWidget::keyPressEvent(e);
    }
}

void CalendarGrid::mousePressEvent(QMouseEvent* e) {
    const QDate cur = owner_->currentDate();
    const QPoint pos = e->position().toPoint();
    const int day = calendar::dayAt(cur, pos.x(), pos.y(), cellW_, cellH_);
    if (day > 0)
        owner_->setCurrentDate(QDate(cur.year(), cur.month(), day));
    pressed_ = e->button() == Qt::LeftButton;
}

void CalendarGrid::mouseReleaseEvent(QMouseEvent* e) {
    // A completed left click chooses the marked date, also after a press on an empty cell.
    if (pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        owner_->choose();
    pressed_ = false;
}

void CalendarGrid::mouseDoubleClickEvent(QMouseEvent*) {
    owner_->choose();
}

} // namespace tb
