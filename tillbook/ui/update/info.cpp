#include "info.h"

#include "desktop.h"

#include "enter_presses.h"
#include "version_check.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tb {

namespace {
const QColor kGrey(212, 208, 200);

QLabel* plain(const QString& text) {
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    return l;
}
} // namespace

EngravedTitle::EngravedTitle(QString text, QWidget* parent)
    : QWidget(parent), text_(std::move(text)), font_(QStringLiteral("Arial"), 24, QFont::Bold) {
    setAccessibleName(text_);
}

QSize EngravedTitle::sizeHint() const {
    const QFontMetrics m(font_);
    return {m.horizontalAdvance(text_) + 8, m.height() + 4};
}

void EngravedTitle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font_);
    const QFontMetrics m(font_);
    // Grey behind and one pixel (15 twips) lower, white in front.
    p.setPen(QColor(128, 128, 128));
    p.drawText(QPointF(2, m.ascent() + 2 + 1), text_);
    p.setPen(Qt::white);
    p.drawText(QPointF(2, m.ascent() + 2), text_);
}

QString Info::disclaimer() {
    return QStringLiteral("Für die Richtigkeit der Berechnungen in diesem Programm übernehmen wir "
                          "keine Gewährleistung. Der Benutzer dieses Programmes muß sich daher von "
                          "der Korrektheit der  Rechnungsbeträge sowie der Buchungsdaten "
                          "überzeugen. Für Schäden, die durch die Benutzung dieser Software "
                          "hervorgerufen werden, übernehmen wir keine Verantwortung.");
}

QStringList Info::programLines() {
    return {QStringLiteral("Tillbook – Kassenbuch Bargeschäfte, mit Restorix"),
            VersionCheck::installedVersion() + QStringLiteral(", Stand: ") +
                VersionCheck::releaseDate(),
            QStringLiteral("Copyright © ") + QStringLiteral(TILLBOOK_COPYRIGHT),
            QStringLiteral("Lizenz: ") + QStringLiteral(TILLBOOK_LICENCE) +
                QStringLiteral(" (GPL-3.0-or-later). Tillbook ist freie Software; Sie dürfen "
                               "es weitergeben und verändern. Es gibt keine Gewährleistung.")};
}

QString Info::webAddress() {
    return VersionCheck::serverBase();
}

Info::Info(Desktop* desktop, QWidget* parent)
    : QDialog(parent), desktop_(desktop ? *desktop : QtDesktop::instance()) {
    setObjectName(QStringLiteral("Info"));
    setWindowTitle(QStringLiteral("Info"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kGrey);
    setPalette(pal);

    auto* version = plain(VersionCheck::installedVersion());
    version->setObjectName(QStringLiteral("Label2"));
    version->setStyleSheet(QStringLiteral("color: rgb(128,0,128);"));
    auto* stand = plain(QStringLiteral("Stand:"));
    auto* date = plain(VersionCheck::releaseDate());
    for (QLabel* l : {stand, date})
        l->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    auto* head = new QHBoxLayout;
    head->addWidget(new EngravedTitle(QStringLiteral("Tillbook")));
    head->addStretch();
    auto* versionBox = new QVBoxLayout;
    versionBox->addWidget(version);
    auto* standRow = new QHBoxLayout;
    standRow->addWidget(stand);
    standRow->addWidget(date);
    versionBox->addLayout(standRow);
    head->addLayout(versionBox);

    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    auto* notice = plain(disclaimer());
    notice->setWordWrap(true);
    auto* noticePage = new QWidget;
    auto* noticeLayout = new QVBoxLayout(noticePage);
    noticeLayout->addWidget(notice);
    noticeLayout->addStretch();
    tabs_->addTab(noticePage, QStringLiteral("Hinweis"));

    // The program itself: what it is, its version, copyright and licence, and the server it
    // asks for new versions.
    auto* maker = new QWidget;
    auto* makerLayout = new QVBoxLayout(maker);
    for (const QString& line : programLines()) {
        QLabel* l = plain(line);
        l->setWordWrap(true);
        makerLayout->addWidget(l);
    }
    auto link = [this](const QString& text, const QString& url) {
        auto* l = new QLabel(
            QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text.toHtmlEscaped()));
        l->setTextFormat(Qt::RichText);
        l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        l->setAccessibleName(text);
        connect(l, &QLabel::linkActivated, this, [this](const QString& u) { desktop_.openUrl(u); });
        return l;
    };
    makerLayout->addWidget(plain(QStringLiteral("Update-Server:")));
    makerLayout->addWidget(link(webAddress(), webAddress()));
    makerLayout->addStretch();
    tabs_->addTab(maker, QStringLiteral("Programm"));
    tabs_->setStyleSheet(
        QStringLiteral("QTabWidget::pane, QWidget { background: rgb(212,208,200); }"));

    // The web address once more, under the tabs: blue, red and bold under the pointer.
    web_ = plain(webAddress());
    web_->setObjectName(QStringLiteral("Label5"));
    web_->setCursor(Qt::PointingHandCursor);
    web_->setAccessibleName(webAddress());
    web_->installEventFilter(this);
    hover(false);

    ok_ = new QPushButton(QStringLiteral("&OK"));
    ok_->setAccessibleName(QStringLiteral("OK"));
    enterPresses(ok_);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(tabs_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(web_);
    bottom->addStretch();
    bottom->addWidget(ok_);
    layout->addLayout(bottom);
    resize(460, 320);
}

void Info::hover(bool on) {
    QFont f(QStringLiteral("Arial"));
    f.setBold(on);
    web_->setFont(f);
    web_->setStyleSheet(on ? QStringLiteral("color: rgb(255,0,0);")
                           : QStringLiteral("color: rgb(0,0,255);"));
    web_->setProperty("hovered", on);
}

void Info::showEvent(QShowEvent* e) {
    tabs_->setCurrentIndex(0); // the first tab at every opening
    QDialog::showEvent(e);
}

bool Info::eventFilter(QObject* o, QEvent* e) {
    if (o == web_) {
        if (e->type() == QEvent::Enter)
            hover(true);
        else if (e->type() == QEvent::Leave)
            hover(false);
        else if (e->type() == QEvent::MouseButtonRelease)
            desktop_.openUrl(webAddress());
    }
    return QDialog::eventFilter(o, e);
}

} // namespace tb
