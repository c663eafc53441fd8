// Turns the manual's chapters (Markdown) and the pictures of the windows into the PDF the help
// menu opens:
//   make_manual --pictures DIR --version TEXT --date TEXT --out PDF CHAPTER.md...
// Every chapter ("## ...") starts on a new page; "@INHALT@" alone in a paragraph becomes the
// table of contents with page numbers; "@VERSION@" and "@STAND@" become the program's version
// and date. A picture ![...](name.png) is taken from DIR; a missing picture fails the build.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <cstdio>
#include <memory>

namespace {

constexpr double kMm = 96.0 / 25.4;   // layout units (1/96 inch) per millimetre
constexpr double kPictureDpi = 150.0; // how large a screen pixel appears on paper
constexpr double kLeft = 20 * kMm, kRight = 20 * kMm, kTop = 18 * kMm, kBottom = 22 * kMm;
const QString kContents = QStringLiteral("@INHALT@");

struct Args {
    QString pictures, version, date, out;
    QStringList chapters;
};

bool parse(const QStringList& a, Args& args) {
    for (int i = 1; i < a.size(); ++i) {
        auto next = [&](QString& into) {
            if (i + 1 >= a.size())
                return false;
            into = a[++i];
            return true;
        };
        if (a[i] == QLatin1String("--pictures")  ? !next(args.pictures)
            : a[i] == QLatin1String("--version") ? !next(args.version)
            : a[i] == QLatin1String("--date")    ? !next(args.date)
            : a[i] == QLatin1String("--out")     ? !next(args.out)
                                                 : (args.chapters << a[i], false))
            return false;
    }
    return !args.out.isEmpty() && !args.chapters.isEmpty();
}

// Pictures at one scale (a pixel is 1/150 inch), narrower than the text, centred.
void placePictures(QTextDocument& doc, const QMap<QString, QImage>& pictures, double maxWidth) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        bool picture = false;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            QTextCharFormat f = frag.charFormat();
            if (!f.isImageFormat())
                continue;
            QTextImageFormat img = f.toImageFormat();
            const QImage& image = pictures[img.name()];
            double w = image.width() * 96.0 / kPictureDpi;
            double h = image.height() * 96.0 / kPictureDpi;
            if (w > maxWidth) {
                h *= maxWidth / w;
                w = maxWidth;
            }
            img.setWidth(w);
            img.setHeight(h);
            QTextCursor c(&doc);
            c.setPosition(frag.position());
            c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(img);
            picture = true;
        }
        if (picture) {
            QTextCursor c(b);
            QTextBlockFormat bf = b.blockFormat();
            bf.setAlignment(Qt::AlignHCenter);
            bf.setTopMargin(6);
            bf.setBottomMargin(2);
            c.setBlockFormat(bf);
        }
    }
}

// Chapters begin on a new page, and so do the headings (by their number in the document)
// that would otherwise stand alone at the foot of a page.
void breakPages(QTextDocument& doc, const QSet<int>& headingsOnNewPage) {
    int heading = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat bf = b.blockFormat();
        if (bf.headingLevel() == 0)
            continue;
        if (bf.headingLevel() == 2 || headingsOnNewPage.contains(heading)) {
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(b).setBlockFormat(bf);
        }
        ++heading;
    }
}

int pageOf(QTextDocument& doc, const QTextBlock& b);

// The page on which the first line of what follows a heading ends (a table: its first row).
int pageOfFollowing(QTextDocument& doc, const QTextBlock& b) {
    const double page = doc.pageSize().height();
    if (QTextTable* table = QTextCursor(b).currentTable()) {
        const QRectF r = doc.documentLayout()->frameBoundingRect(table);
        return static_cast<int>((r.top() + page / 40) / page) + 1;
    }
    const QTextLayout* l = b.layout();
    if (!l || l->lineCount() == 0)
        return pageOf(doc, b);
    const QTextLine first = l->lineAt(0);
    return static_cast<int>((l->position().y() + first.y() + first.height()) / page) + 1;
}

// Headings whose following text begins on the next page.
QSet<int> lonelyHeadings(QTextDocument& doc) {
    QSet<int> lonely;
    int heading = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() == 0)
            continue;
        if (b.next().isValid() && pageOfFollowing(doc, b.next()) != pageOf(doc, b))
            lonely.insert(heading);
        ++heading;
    }
    return lonely;
}

struct Chapter {
    QString title;
    QTextBlock block;
};

QList<Chapter> chapters(QTextDocument& doc) {
    QList<Chapter> list;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 2)
            list.push_back({b.text(), b});
    return list;
}

// The table of contents in place of its marker, with the chapters' page numbers ("00" while
// they are not known yet).
void insertContents(QTextDocument& doc, const QList<Chapter>& list, const QStringList& pages) {
    QTextCursor c = doc.find(kContents);
    if (c.isNull())
        return;
    c.removeSelectedText();
    QTextTableFormat tf;
    tf.setBorder(0);
    tf.setCellPadding(2);
    tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    tf.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 90),
                                  QTextLength(QTextLength::PercentageLength, 10)});
    QTextTable* table = c.insertTable(static_cast<int>(list.size()), 2, tf);
    for (int i = 0; i < list.size(); ++i) {
        table->cellAt(i, 0).firstCursorPosition().insertText(list[i].title);
        QTextCursor page = table->cellAt(i, 1).firstCursorPosition();
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        page.setBlockFormat(right);
        page.insertText(i < pages.size() ? pages[i] : QStringLiteral("00"));
    }
}

int pageOf(QTextDocument& doc, const QTextBlock& b) {
    const double y = doc.documentLayout()->blockBoundingRect(b).top();
    return static_cast<int>(y / doc.pageSize().height()) + 1;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    Args args;
    if (!parse(QCoreApplication::arguments(), args)) {
        std::fprintf(stderr, "usage: make_manual --pictures DIR --version TEXT --date TEXT "
                             "--out PDF CHAPTER.md...\n");
        return 2;
    }
    QString markdown;
    for (const QString& name : args.chapters) {
        QFile in(name);
        if (!in.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "make_manual: cannot read %s\n", qPrintable(name));
            return 1;
        }
        markdown += QString::fromUtf8(in.readAll()) + QStringLiteral("\n\n");
    }
    markdown.replace(QStringLiteral("@VERSION@"), args.version);
    markdown.replace(QStringLiteral("@STAND@"), args.date);

    QMap<QString, QImage> pictures;
    QStringList missing;
    static const QRegularExpression picture(QStringLiteral(R"(!\[[^\]]*\]\(([^)\s]+)\))"));
    for (auto it = picture.globalMatch(markdown); it.hasNext();) {
        const QString name = it.next().captured(1);
        QImage image(args.pictures + QLatin1Char('/') + name);
        if (image.isNull())
            missing << name;
        pictures[name] = image;
    }
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "make_manual: no picture %s in %s\n",
                     qPrintable(missing.join(QStringLiteral(", "))), qPrintable(args.pictures));
        return 1;
    }

    QPdfWriter pdf(args.out);
    pdf.setTitle(QStringLiteral("Tillbook – Anleitung"));
    pdf.setCreator(QStringLiteral("Tillbook"));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    const double scale = pdf.resolution() / 96.0; // device pixels per layout unit
    const QSizeF page = QPageSize(QPageSize::A4).size(QPageSize::Millimeter) * kMm;
    const QSizeF body(page.width() - kLeft - kRight, page.height() - kTop - kBottom);

    // Laid out until nothing moves: the page of each chapter goes into the table of contents,
    // a heading left alone at the foot of a page goes to the next.
    auto layOut = [&](QTextDocument& doc, const QStringList& pages, const QSet<int>& breaks) {
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF(10.5);
        doc.setDefaultFont(font);
        doc.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
        for (auto it = pictures.cbegin(); it != pictures.cend(); ++it)
            doc.addResource(QTextDocument::ImageResource, QUrl(it.key()), it.value());
        placePictures(doc, pictures, body.width());
        insertContents(doc, chapters(doc), pages);
        breakPages(doc, breaks);
        doc.documentLayout()->setPaintDevice(&pdf);
        doc.setPageSize(body * scale);
        QStringList found;
        for (const Chapter& c : chapters(doc))
            found << QString::number(pageOf(doc, c.block));
        return found;
    };
    QStringList chapterPages;
    QSet<int> breaks;
    auto doc = std::make_unique<QTextDocument>();
    for (int pass = 0;; ++pass) {
        doc = std::make_unique<QTextDocument>();
        const QStringList found = layOut(*doc, chapterPages, breaks);
        const QSet<int> lonely = lonelyHeadings(*doc);
        if (found == chapterPages && lonely.isEmpty())
            break;
        if (pass == 8) {
            std::fprintf(stderr, "make_manual: the pages do not settle\n");
            return 1;
        }
        chapterPages = found;
        breaks += lonely;
    }

    QPainter p(&pdf);
    p.setRenderHint(QPainter::LosslessImageRendering);
    p.setRenderHint(QPainter::Antialiasing);
    const int pages = doc->pageCount();
    const double bodyH = body.height() * scale;
    QFont small(QStringLiteral("Arial"));
    small.setPointSizeF(8);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            pdf.newPage();
        p.save();
        p.translate(kLeft * scale, kTop * scale - i * bodyH);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = QRectF(0, i * bodyH, body.width() * scale, bodyH);
        p.setClipRect(ctx.clip);
        doc->documentLayout()->draw(&p, ctx);
        p.restore();
        // The foot of the page: what the book is, and the page.
        const double footY = (page.height() - kBottom + 8 * kMm) * scale;
        p.setPen(QPen(QColor(150, 150, 150), 0.3 * kMm * scale));
        p.drawLine(QPointF(kLeft * scale, footY), QPointF((page.width() - kRight) * scale, footY));
        p.setFont(small);
        p.setPen(QColor(90, 90, 90));
        const QRectF foot(kLeft * scale, footY + 1.5 * kMm * scale, body.width() * scale,
                          6 * kMm * scale);
        p.drawText(
            foot, Qt::AlignLeft | Qt::AlignTop,
            QStringLiteral("Tillbook – Anleitung, %1, Stand %2").arg(args.version, args.date));
        p.drawText(foot, Qt::AlignRight | Qt::AlignTop,
                   QStringLiteral("Seite %1 von %2").arg(i + 1).arg(pages));
    }
    return p.end() ? 0 : 1;
}
