#include "ui/print_job.h"

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <variant>

#include "actions/session.h"
#include "ui/bitmap_image.h"
#include "ui/print_window.h"

namespace cw {

namespace {

// printPage puts the whole picture on one page.
constexpr int kPagesPerJob = 1;

// The file a job goes to, or else the printer's name.
QString printTarget(const QPrinter& printer) {
    return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

// Qt tells only that the printer failed; a job that goes to a file can be
// told why by the file system.
QString printFailure(const QPrinter& printer) {
    const QString file = printer.outputFileName();
    QString why = printer.printerState() == QPrinter::Aborted ? "the job was cancelled"
                                                               : "the printer reported an error";
    if (!file.isEmpty()) {
        QFile probe(file);
        const bool existed = probe.exists();
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) why = probe.errorString();
        else if (!existed) probe.remove();
    }
    return QString(kPrintFailed).arg(printTarget(printer), why);
}

} // namespace

void printDisplayedPicture(Session& s, PrintWindow& options, bool imageWindowVisible) {
    if (!s.imageWindowOpen || !s.ws || !imageWindowVisible) return;
    if (options.exec() != QDialog::Accepted) return;
    QPrinter& printer = options.printer();
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    const Workspace& ws = *s.ws;
    const auto placed = placePicture(options.options(), ws.width, ws.height, page.width(), page.height());
    if (const auto* why = std::get_if<std::string>(&placed)) {
        s.messages.error(*why);
        return;
    }
    const PrintPlacement p = std::get<PrintPlacement>(placed);
    printer.setDocName(kPrintJobTitle);
    if (const auto failure = printPage(printer, bitmapImage(ws.display), QRect(p.x, p.y, p.width, p.height)))
        s.messages.error(failure->toStdString());
    else
        s.host.status(QString(kPrintedStatus).arg(kPagesPerJob).arg(printTarget(printer)).toStdString());
}

std::optional<QString> printPage(QPrinter& printer, const QImage& picture, const QRect& where) {
    QPainter painter;
    if (!painter.begin(&printer)) return printFailure(printer);
    painter.drawImage(where, picture);
    const bool ended = painter.end();
    // A spooler that turns the job down after it has been handed over shows
    // only in the printer's state.
    const QPrinter::PrinterState state = printer.printerState();
    if (!ended || state == QPrinter::Error || state == QPrinter::Aborted) return printFailure(printer);
    return std::nullopt;
}

} // namespace cw
