#include "printing.h"

#include "file_copy.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <cstring>
#include <cups/cups.h>

namespace tb {

namespace {

// The gap a cut text leaves before the next column.
constexpr double kCellGapMm = 1.5;

// Paints the document on the writer's pages; false when a page could not be started.
bool paint(const PrintDocument& doc, QPdfWriter& writer) {
    writer.setResolution(1200);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                     doc.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF()));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    // Millimetres from the page's top left corner.
    const double perMm = writer.resolution() / 25.4;
    QPen pen(Qt::black);
    pen.setWidthF(0.25 * perMm);
    for (size_t i = 0; i < doc.pages.size(); ++i) {
        if (i > 0 && !writer.newPage())
            return false;
        const Page& page = doc.pages[i];
        painter.setPen(pen);
        for (const PageRule& r : page.rules)
            painter.drawLine(QPointF(r.x1 * perMm, r.y * perMm),
                             QPointF(r.x2 * perMm, r.y * perMm));
        // Every text measured in the font it is printed in, its left edge in device units.
        std::vector<QFont> fonts;
        std::vector<double> left;
        fonts.reserve(page.texts.size());
        left.reserve(page.texts.size());
        for (const PageText& t : page.texts) {
            QFont font(doc.font);
            font.setPointSizeF(t.size);
            font.setBold(t.bold);
            const double x = t.x * perMm;
            left.push_back(t.right ? x - QFontMetricsF(font, &writer).horizontalAdvance(t.text)
                                   : x);
            fonts.push_back(font);
        }
        for (size_t k = 0; k < page.texts.size(); ++k) {
            const PageText& t = page.texts[k];
            const QFontMetricsF m(fonts[k], &writer);
            QString shown = t.text;
            if (t.clipAt > 0 && !shown.isEmpty()) {
                // A cell ends before its column's end and before whatever its row holds to its
                // right: a figure is never printed over.
                double end = t.clipAt * perMm;
                for (size_t o = 0; o < page.texts.size(); ++o)
                    if (o != k && page.texts[o].y == t.y && !page.texts[o].text.isEmpty() &&
                        left[o] > left[k])
                        end = std::min(end, left[o]);
                const double room = end - kCellGapMm * perMm - left[k];
                if (m.horizontalAdvance(shown) > room)
                    shown = room > 0 ? m.elidedText(shown, Qt::ElideRight, room) : QString();
            }
            painter.setFont(fonts[k]);
            painter.drawText(QPointF(left[k], t.y * perMm + m.ascent()), shown);
        }
    }
    return painter.end();
}

// Why the queue would take no job now: it is gone, or it refuses jobs. Empty when it takes them.
QString refusal(const QString& printerName) {
    const QByteArray name = printerName.toLocal8Bit();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest)
        return PrintMessages::printerGone(printerName);
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const bool refuses = accepting && std::strcmp(accepting, "false") == 0;
    cupsFreeDests(1, dest);
    return refuses ? PrintMessages::notAccepting(printerName) : QString();
}

// Hands the PDF to the print system as one job; empty when the job was created and took the
// whole document, otherwise what went wrong.
QString submit(const QByteArray& pdf, const QString& printerName, const QString& jobName) {
    const QByteArray name = printerName.toLocal8Bit();
    const QByteArray title = jobName.toUtf8();
    cups_option_t* options = nullptr;
    const int count = cupsAddOption("media", "A4", 0, &options);
    const int job =
        cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), title.constData(), count, options);
    cupsFreeOptions(count, options);
    if (job <= 0)
        return PrintMessages::jobRefused(printerName, QString::fromUtf8(cupsLastErrorString()));
    http_status_t sent = cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), job,
                                           title.constData(), CUPS_FORMAT_PDF, 1);
    if (sent == HTTP_STATUS_CONTINUE)
        sent = cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData(),
                                    static_cast<size_t>(pdf.size()));
    const bool finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, name.constData()) == IPP_STATUS_OK;
    if (sent == HTTP_STATUS_CONTINUE && finished)
        return {};
    const QString why = QString::fromUtf8(cupsLastErrorString());
    cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), job, 0);
    return PrintMessages::printerFailed(printerName, why);
}

} // namespace

QStringList Printing::printers() {
    QStringList list = QPrinterInfo::availablePrinterNames();
    list << pdfEntry();
    return list;
}

QString& Printing::currentPrinter() {
    static QString printer = [] {
        const QString d = QPrinterInfo::defaultPrinterName();
        return d.isEmpty() ? pdfEntry() : d;
    }();
    return printer;
}

bool Printing::print(const PrintDocument& doc, const QString& printerName, const QString& pdfFile,
                     const QString& jobName, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (printerName == pdfEntry()) {
        // Written beside the chosen name and renamed when whole: a file that could not be
        // written to its end never stands under that name.
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        bool painted = false;
        {
            QPdfWriter writer(&buffer);
            writer.setTitle(jobName);
            painted = paint(doc, writer);
        }
        if (!painted)
            return fail(PrintMessages::pdfNotWritten(pdfFile, buffer.errorString()));
        const Result written = writeWholeFile(pdfFile, pdf);
        if (!written.ok())
            return fail(PrintMessages::pdfNotWritten(pdfFile, germanText(written)));
        return true;
    }
    if (const QString no = refusal(printerName); !no.isEmpty())
        return fail(no);
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(jobName);
        if (!paint(doc, writer))
            return fail(PrintMessages::printerFailed(printerName));
    }
    const QString why = submit(pdf, printerName, jobName);
    return why.isEmpty() || fail(why);
}

} // namespace tb
