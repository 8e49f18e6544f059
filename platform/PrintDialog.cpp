#include "PrintDialog.h"

#include "Exception.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QTextDocument>
#include <QWidget>

#include <memory>

namespace {

QWidget *OwnerWindow(const QObject *component) {
    for (QObject *owner = component->parent(); owner != nullptr; owner = owner->parent()) {
        if (owner->isWidgetType()) {
            return static_cast<QWidget *>(owner)->window();
        }
    }
    return nullptr;
}

QString Destination(const QPrinter &printer) {
    if (!printer.outputFileName().isEmpty()) {
        return QStringLiteral("the file \"%1\"").arg(printer.outputFileName());
    }
    if (!printer.printerName().isEmpty()) {
        return QStringLiteral("the printer \"%1\"").arg(printer.printerName());
    }
    return QStringLiteral("the printer (none is set up)");
}

} // namespace

TPrintDialog::TPrintDialog(QObject *owner) : QObject(owner) {}

TPrintDialog::~TPrintDialog() = default;

bool TPrintDialog::Execute() {
    QPrintDialog dialog(&printer_, OwnerWindow(this));
    return dialog.exec() == QDialog::Accepted;
}

void PrintPlainText(const QPlainTextEdit &edit, QPrinter &printer, const QString &title) {
    printer.setDocName(title);
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);

    if (printer.outputFormat() == QPrinter::NativeFormat && printer.printerName().isEmpty()) {
        throw Exception(QStringLiteral("Cannot print \"%1\": no printer is set up").arg(title));
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw Exception(
            QStringLiteral("Cannot print \"%1\" to %2").arg(title, Destination(printer)));
    }

    // A document without a page size would be printed by Qt with 2 cm margins and page numbers:
    // give a copy the exact page instead, laid out for the printer's resolution.
    const std::unique_ptr<QTextDocument> document(edit.document()->clone());
    document->documentLayout()->setPaintDevice(&printer);
    document->setDocumentMargin(0);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    document->setPageSize(page.size());

    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    const int pages = document->pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !printer.newPage()) {
            throw Exception(QStringLiteral("Cannot print page %1 of \"%2\" to %3")
                                .arg(QString::number(index + 1), title, Destination(printer)));
        }
        const qreal top = index * page.height();
        painter.save();
        painter.translate(0, -top);
        context.clip = QRectF(0, top, page.width(), page.height());
        document->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    if (!painter.end()) {
        throw Exception(
            QStringLiteral("Cannot finish printing \"%1\" to %2").arg(title, Destination(printer)));
    }
}
