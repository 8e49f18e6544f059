#pragma once

#include <QObject>
#include <QPrinter>

class QPlainTextEdit;
class QWidget;

// The standard print dialog as a component: Execute shows it over the component's printer, which
// keeps the user's choice for the printing that follows.
class TPrintDialog : public QObject {
    Q_OBJECT

public:
    explicit TPrintDialog(QObject *owner = nullptr);
    ~TPrintDialog() override;

    // Shows the dialog with its default options, modal; true when the user confirmed.
    bool Execute();

    QPrinter &Printer() { return printer_; }

private:
    QPrinter printer_{QPrinter::HighResolution};
};

// Prints the text of `edit` on `printer` as the job `title` (the name in the print queue, the
// title of a PDF; never printed on the page). The text fills the whole page, with no margins,
// header, footer or page numbers, over as many pages as it needs. Raises an Exception naming the
// printer or file when printing cannot start or a page cannot be added.
void PrintPlainText(const QPlainTextEdit &edit, QPrinter &printer, const QString &title);
