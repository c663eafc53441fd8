#include "konten_steuerberater.h"

#include "enter_presses.h"
#include "key_filter.h"
#include "settings_record.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tb {

namespace {
const QString kDigits = QStringLiteral("0123456789");
const QColor kProblem(255, 192, 192);

// The editors of the table's account and tax-key cells take digits only, as the fields do.
class DigitsDelegate : public QStyledItemDelegate {
  public:
    DigitsDelegate(Dialogs& dialogs, QObject* parent)
        : QStyledItemDelegate(parent), dialogs_(dialogs) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        const int column = index.column();
        if (column != KontenSteuerberater::ColAccount && column != KontenSteuerberater::ColTaxKey)
            return nullptr;
        auto* e = new QLineEdit(parent);
        e->setMaxLength(column == KontenSteuerberater::ColAccount ? 9 : 4);
        e->installEventFilter(new NumericKeyFilter(kDigits, dialogs_, e));
        e->setAccessibleName(
            index.model()->headerData(column, Qt::Horizontal).toString() +
            QStringLiteral(" für „") +
            index.model()->index(index.row(), KontenSteuerberater::ColText).data().toString() +
            QStringLiteral("“"));
        return e;
    }

  private:
    Dialogs& dialogs_;
};

QString rateText(const QString& stored) {
    return stored.isEmpty() ? QString() : QStringLiteral(" (%1 %)").arg(stored);
}
} // namespace

QLineEdit* KontenSteuerberater::digits(const QString& value, const QString& name, int maxLength) {
    auto* f = new QLineEdit(value);
    f->setAccessibleName(name);
    f->setMaxLength(maxLength);
    f->installEventFilter(new NumericKeyFilter(kDigits, dialogs_, f));
    f->installEventFilter(this); // after the key filter, so Enter is seen here first
    connect(f, &QLineEdit::textChanged, this, &KontenSteuerberater::recheck);
    return f;
}

KontenSteuerberater::KontenSteuerberater(Database& db, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), db_(db), dialogs_(dialogs) {
    setObjectName(QStringLiteral("KontenSteuerberater"));
    setWindowTitle(QStringLiteral("Konten für den Steuerberater"));
    setStyleSheet(QStringLiteral("QDialog { background: rgb(215,235,255); }"));
    const SettingsRecord rates(&db_);

    advisor_ = digits({}, QStringLiteral("Beraternummer"), 7);
    client_ = digits({}, QStringLiteral("Mandantennummer"), 5);
    fyDay_ = digits({}, QStringLiteral("Beginn des Wirtschaftsjahres: Tag"), 2);
    fyMonth_ = digits({}, QStringLiteral("Beginn des Wirtschaftsjahres: Monat"), 2);
    for (QLineEdit* f : {fyDay_, fyMonth_})
        f->setMaximumWidth(40);
    length_ = digits({}, QStringLiteral("Sachkontenlänge"), 1);
    length_->setMaximumWidth(40);
    chart_ = new QComboBox;
    chart_->addItems(
        {AdvisorAccounts::chartName(Chart::Skr03), AdvisorAccounts::chartName(Chart::Skr04)});
    chart_->setAccessibleName(QStringLiteral("Kontenrahmen"));
    cash_ = digits({}, QStringLiteral("Kassenkonto"), 9);
    const QString labels[4] = {
        QStringLiteral("Einnahmen zum MwSt.-Satz 1") + rateText(rates.rate1()),
        QStringLiteral("Einnahmen zum MwSt.-Satz 2") + rateText(rates.rate2()),
        QStringLiteral("Ausgaben zum MwSt.-Satz 1") + rateText(rates.rate1()),
        QStringLiteral("Ausgaben zum MwSt.-Satz 2") + rateText(rates.rate2())};
    for (size_t i = 0; i < defaults_.size(); ++i)
        defaults_[i] = digits({}, labels[i], 9);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Beraternummer"), advisor_);
    form->addRow(QStringLiteral("Mandantennummer"), client_);
    auto* fy = new QHBoxLayout;
    fy->addWidget(new QLabel(QStringLiteral("Tag")));
    fy->addWidget(fyDay_);
    fy->addWidget(new QLabel(QStringLiteral("Monat")));
    fy->addWidget(fyMonth_);
    fy->addStretch();
    form->addRow(QStringLiteral("Beginn des Wirtschaftsjahres"), fy);
    form->addRow(QStringLiteral("Sachkontenlänge"), length_);
    form->addRow(QStringLiteral("Kontenrahmen"), chart_);
    form->addRow(QStringLiteral("Kassenkonto"), cash_);

    auto* automatic = new QGroupBox(
        QStringLiteral("Konten für Buchungstexte ohne eigenes Konto (Automatikkonten)"));
    auto* automaticForm = new QFormLayout(automatic);
    for (size_t i = 0; i < defaults_.size(); ++i)
        automaticForm->addRow(labels[i], defaults_[i]);

    table_ = new QTableWidget(0, 4);
    table_->setObjectName(QStringLiteral("Kontierung"));
    table_->setAccessibleName(QStringLiteral("Konten der Buchungstexte"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Buchungstext"), QStringLiteral("Konto"),
                                       QStringLiteral("Automatikkonto"),
                                       QStringLiteral("Steuerschlüssel")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(ColText, QHeaderView::Stretch);
    table_->horizontalHeader()->setMinimumSectionSize(80);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::DoubleClicked);
    // Tab leaves the table; the arrows move inside it.
    table_->setTabKeyNavigation(false);
    table_->setItemDelegate(new DigitsDelegate(dialogs_, table_));
    table_->installEventFilter(this);
    table_->setMinimumHeight(220);
    connect(table_, &QTableWidget::itemChanged, this, &KontenSteuerberater::recheck);
    auto* tableLabel =
        new QLabel(QStringLiteral("Konten der Buchungstexte (leer: das Automatikkonto oben nach "
                                  "Richtung und Steuersatz)"));
    tableLabel->setWordWrap(true);

    hint_ = new QLabel;
    hint_->setObjectName(QStringLiteral("Hinweis"));
    hint_->setAccessibleName(QStringLiteral("Hinweis"));
    hint_->setWordWrap(true);
    hint_->setTextFormat(Qt::PlainText);
    hint_->setStyleSheet(QStringLiteral("color: rgb(192,0,0);"));
    // Room for two lines, so a message does not push the table about.
    hint_->setMinimumHeight(2 * hint_->fontMetrics().lineSpacing() + 4);
    hint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    save_ = new QPushButton(QStringLiteral("Speichern"));
    cancel_ = new QPushButton(QStringLiteral("Abbrechen"));
    for (QPushButton* b : {save_, cancel_}) {
        b->setAccessibleName(b->text());
        b->setAutoDefault(false);
        enterPresses(b);
    }
    connect(save_, &QPushButton::clicked, this, &KontenSteuerberater::save);
    connect(cancel_, &QPushButton::clicked, this, &KontenSteuerberater::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(automatic);
    layout->addWidget(tableLabel);
    layout->addWidget(table_, 1);
    layout->addWidget(hint_);
    layout->addLayout(buttons);

    QWidget* order[] = {advisor_,     client_, fyDay_,       fyMonth_,     length_,
                        chart_,       cash_,   defaults_[0], defaults_[1], defaults_[2],
                        defaults_[3], table_,  save_,        cancel_};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    fill(AdvisorAccounts::load(db_));
    connect(chart_, &QComboBox::currentIndexChanged, this, &KontenSteuerberater::chartChosen);
    stored_ = current();
    // The window is fitted to its content when shown; the table gets room all the same.
    setMinimumSize(680, 640);
    advisor_->setFocus();
}

void KontenSteuerberater::fill(const AdvisorSettings& s) {
    filling_ = true;
    advisor_->setText(s.advisor);
    client_->setText(s.client);
    fyDay_->setText(s.fyDay);
    fyMonth_->setText(s.fyMonth);
    length_->setText(s.accountLength);
    chart_->setCurrentIndex(s.chart == Chart::Skr04 ? 1 : 0);
    cash_->setText(s.cash);
    for (size_t i = 0; i < defaults_.size(); ++i)
        defaults_[i]->setText(s.defaults[i]);

    QHash<QString, TextAccount> mapped;
    for (const TextAccount& t : s.texts)
        mapped.insert(t.text, t);
    const QStringList texts = AdvisorAccounts::bookingTexts(db_);
    table_->setRowCount(static_cast<int>(texts.size()));
    for (int row = 0; row < texts.size(); ++row) {
        const TextAccount t = mapped.value(texts[row], TextAccount{texts[row], {}, false, {}});
        auto* text = new QTableWidgetItem(t.text);
        text->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        auto* automatic = new QTableWidgetItem;
        automatic->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        automatic->setCheckState(t.automatic ? Qt::Checked : Qt::Unchecked);
        table_->setItem(row, ColText, text);
        table_->setItem(row, ColAccount, new QTableWidgetItem(t.account));
        table_->setItem(row, ColAutomatic, automatic);
        table_->setItem(row, ColTaxKey, new QTableWidgetItem(t.taxKey));
    }
    if (table_->rowCount() > 0)
        table_->setCurrentCell(0, ColAccount);
    filling_ = false;
    recheck();
}

AdvisorSettings KontenSteuerberater::current() const {
    AdvisorSettings s;
    s.advisor = advisor_->text();
    s.client = client_->text();
    s.fyDay = fyDay_->text();
    s.fyMonth = fyMonth_->text();
    s.accountLength = length_->text();
    s.chart = chart_->currentIndex() == 1 ? Chart::Skr04 : Chart::Skr03;
    s.cash = cash_->text();
    for (size_t i = 0; i < defaults_.size(); ++i)
        s.defaults[i] = defaults_[i]->text();
    // Every row, so a problem's row is the table's row; the save keeps those with content.
    for (int row = 0; row < table_->rowCount(); ++row)
        s.texts.push_back({table_->item(row, ColText)->text(),
                           table_->item(row, ColAccount)->text().trimmed(),
                           table_->item(row, ColAutomatic)->checkState() == Qt::Checked,
                           table_->item(row, ColTaxKey)->text().trimmed()});
    return s;
}

void KontenSteuerberater::chartChosen(int index) {
    if (filling_)
        return;
    AdvisorSettings s = current();
    // The chart of the fields before the choice: the one not chosen now.
    s.chart = index == 1 ? Chart::Skr03 : Chart::Skr04;
    AdvisorAccounts::switchChart(s, index == 1 ? Chart::Skr04 : Chart::Skr03);
    cash_->setText(s.cash);
    for (size_t i = 0; i < defaults_.size(); ++i)
        defaults_[i]->setText(s.defaults[i]);
}

void KontenSteuerberater::recheck() {
    if (filling_)
        return;
    const auto p = AdvisorAccounts::check(current());
    hint_->setText(p ? p->text : QString());
    auto mark = [&](QLineEdit* f, bool bad) {
        f->setStyleSheet(bad ? QStringLiteral("background: rgb(255,192,192);") : QString());
    };
    using F = AdvisorField;
    const F field = p ? p->field : F::Advisor;
    mark(advisor_, p && field == F::Advisor);
    mark(client_, p && field == F::Client);
    mark(fyDay_, p && field == F::FiscalYear);
    mark(fyMonth_, p && field == F::FiscalYear);
    mark(length_, p && field == F::AccountLength);
    mark(cash_, p && field == F::Cash);
    for (size_t i = 0; i < defaults_.size(); ++i)
        mark(defaults_[i], p && static_cast<int>(field) ==
                                    static_cast<int>(F::ReceiptRate1) + static_cast<int>(i));
    // The table's cells: only the one at fault is coloured (without telling recheck again).
    filling_ = true;
    for (int row = 0; row < table_->rowCount(); ++row)
        for (int column : {ColAccount, ColTaxKey}) {
            const bool bad = p && p->row == row &&
                             ((column == ColAccount && field == F::TextAccount) ||
                              (column == ColTaxKey && field == F::TextTaxKey));
            QTableWidgetItem* item = table_->item(row, column);
            if (bad != (item->background().color() == kProblem))
                item->setBackground(bad ? QBrush(kProblem) : QBrush());
        }
    filling_ = false;
}

void KontenSteuerberater::focusProblem(const AdvisorProblem& p) {
    using F = AdvisorField;
    QWidget* w = nullptr;
    switch (p.field) {
    case F::Advisor:
        w = advisor_;
        break;
    case F::Client:
        w = client_;
        break;
    case F::FiscalYear:
        w = fyDay_;
        break;
    case F::AccountLength:
        w = length_;
        break;
    case F::Cash:
        w = cash_;
        break;
    case F::TextAccount:
    case F::TextTaxKey:
        table_->setCurrentCell(p.row, p.field == F::TextAccount ? ColAccount : ColTaxKey);
        table_->setFocus();
        return;
    default:
        w = defaults_[static_cast<size_t>(static_cast<int>(p.field) -
                                          static_cast<int>(F::ReceiptRate1))];
    }
    w->setFocus();
    if (auto* f = qobject_cast<QLineEdit*>(w))
        f->selectAll();
}

bool KontenSteuerberater::save() {
    AdvisorProblem p;
    switch (AdvisorAccounts(db_, dialogs_).save(current(), &p)) {
    case AdvisorAccounts::Outcome::Saved:
        stored_ = current();
        QDialog::accept();
        return true;
    case AdvisorAccounts::Outcome::Invalid:
        focusProblem(p);
        return false;
    case AdvisorAccounts::Outcome::Failed:
        return false;
    }
    return false;
}

void KontenSteuerberater::reject() {
    if (current() != stored_ &&
        dialogs_.message(QStringLiteral("Die Änderungen an den Konten für den Steuerberater sind "
                                        "noch nicht gespeichert. Sollen sie gespeichert werden?"),
                         QStringLiteral("Konten für den Steuerberater"), Icon::Question,
                         Buttons::YesNo) == Answer::Yes) {
        save();
        return;
    }
    QDialog::reject();
}

bool KontenSteuerberater::eventFilter(QObject* o, QEvent* e) {
    if (e->type() != QEvent::KeyPress)
        return QDialog::eventFilter(o, e);
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return QDialog::eventFilter(o, e);
    // Enter moves on: from a field to the next one, in the table one row down.
    if (o == table_) {
        // (An open cell editor has the key itself: Enter there closes it.)
        const int row = table_->currentRow();
        if (row + 1 < table_->rowCount())
            table_->setCurrentCell(row + 1, std::max(table_->currentColumn(), 0));
        return true;
    }
    if (qobject_cast<QLineEdit*>(o)) {
        focusNextChild();
        return true;
    }
    return QDialog::eventFilter(o, e);
}

} // namespace tb
