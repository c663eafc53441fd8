#include "printing.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace tb {

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
    const bool pdf = printerName == pdfEntry();
    QPrinter printer(QPrinter::HighResolution);
    if (pdf) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile);
    } else {
        const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
        if (info.isNull())
            return fail(
                QStringLiteral("Der Drucker „%1“ ist nicht (mehr) vorhanden.").arg(printerName));
        printer.setPrinterName(printerName);
        printer.setOutputFormat(QPrinter::NativeFormat);
    }
    printer.setDocName(jobName);
    printer.setFullPage(true);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4),
                    doc.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
    QPainter painter;
    if (!painter.begin(&printer))
        return fail(QStringLiteral("Der Drucker „%1“ kann nicht drucken.").arg(printerName));
    // Millimetres from the page's top left corner.
    const double perMm = printer.resolution() / 25.4;
    QPen pen(Qt::black);
    pen.setWidthF(0.25 * perMm);
    for (size_t i = 0; i < doc.pages.size(); ++i) {
        if (i > 0 && !printer.newPage())
            return fail(QStringLiteral("Der Drucker „%1“ meldet einen Fehler.").arg(printerName));
        const Page& page = doc.pages[i];
        painter.setPen(pen);
        for (const PageRule& r : page.rules)
            painter.drawLine(QPointF(r.x1 * perMm, r.y * perMm),
                             QPointF(r.x2 * perMm, r.y * perMm));
        for (const PageText& t : page.texts) {
            QFont font(doc.font);
            font.setPointSizeF(t.size);
            font.setBold(t.bold);
            painter.setFont(font);
            const QFontMetricsF m(font, &printer);
            double x = t.x * perMm;
            if (t.right)
                x -= m.horizontalAdvance(t.text);
            painter.drawText(QPointF(x, t.y * perMm + m.ascent()), t.text);
        }
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return fail(QStringLiteral("Der Drucker „%1“ meldet einen Fehler.").arg(printerName));
    return true;
}

} // namespace tb
