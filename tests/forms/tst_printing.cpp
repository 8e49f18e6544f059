// Printing the report area: the real print dialog answered as a user would, and the printout
// read back from the PDF it makes.
#include "Application.h"
#include "DialogAnswerer.h"
#include "Exception.h"
#include "PdfProbe.h"
#include "PrintDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList ListingLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) {
        lines.append(QStringLiteral("C%1 Name: Patient %1 Provider: DR%2 12/30/99 ")
                         .arg(i, 5, 10, QLatin1Char('0'))
                         .arg(i % 7));
    }
    return lines;
}

QStringList Trimmed(const QStringList &lines) {
    QStringList result;
    for (const QString &line : lines) {
        result.append(line.trimmed());
    }
    return result;
}

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { application_ = std::make_unique<TApplication>(); }
    void cleanup() { application_.reset(); }

    void printsEveryLineOnTheWholePage_data() {
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<bool>("severalPages");
        QTest::newRow("placeholder") << 0 << false;
        QTest::newRow("one entry") << 1 << false;
        QTest::newRow("long listing") << 400 << true;
    }

    void printsEveryLineOnTheWholePage() {
        QFETCH(int, lineCount);
        QFETCH(bool, severalPages);
        const QStringList lines =
            lineCount == 0 ? QStringList{QStringLiteral("Memo1")} : ListingLines(lineCount);
        QPlainTextEdit memo;
        memo.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        memo.setPlainText(lines.join(QLatin1Char('\n')));

        QTemporaryDir out;
        QVERIFY(out.isValid());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(out.filePath(QStringLiteral("listing.pdf")));
        PrintPlainText(memo, printer, QStringLiteral("Quellmark"));

        const PdfProbe pdf(printer.outputFileName());
        QCOMPARE(pdf.Info(QStringLiteral("Title")), QStringLiteral("Quellmark"));
        QCOMPARE(pdf.Pages() > 1, severalPages);
        // Every line, in order, and nothing else: no title, header, footer or page number.
        QCOMPARE(pdf.Lines(), Trimmed(lines));
        // Each page is filled top to bottom: a page ends only where the next one takes over.
        int next = 0;
        for (int page = 1; page <= pdf.Pages(); ++page) {
            const QStringList onPage = pdf.Lines(page);
            QVERIFY(!onPage.isEmpty());
            QCOMPARE(onPage.first(), lines.at(next).trimmed());
            next += onPage.size();
        }
        QCOMPARE(next, lines.size());
        // No margin of Qt's own (2 cm, about 57 points) around the text.
        const QPointF topLeft = pdf.FirstWordTopLeft();
        QVERIFY2(
            topLeft.x() > -1 && topLeft.x() < 5 && topLeft.y() > -1 && topLeft.y() < 5,
            qPrintable(QStringLiteral("first word at %1,%2 pt").arg(topLeft.x()).arg(topLeft.y())));
    }

    void printingThatCannotStartIsAnError_data() {
        QTest::addColumn<bool>("toDirectory");
        QTest::newRow("output file is a directory") << true;
        QTest::newRow("no printer") << false;
    }

    void printingThatCannotStartIsAnError() {
        QFETCH(bool, toDirectory);
        QTemporaryDir out;
        QVERIFY(out.isValid());
        QPlainTextEdit memo;
        memo.setPlainText(QStringLiteral("Memo1"));
        QPrinter printer(QPrinter::HighResolution);
        if (toDirectory) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(out.path());
        } else {
            printer.setOutputFormat(QPrinter::NativeFormat);
            printer.setPrinterName(QString());
        }
        try {
            PrintPlainText(memo, printer, QStringLiteral("Quellmark"));
            QFAIL("printing that cannot start reported success");
        } catch (const Exception &failure) {
            QVERIFY2(failure.Message().contains(QStringLiteral("Quellmark")),
                     qPrintable(failure.Message()));
            if (toDirectory) {
                QVERIFY2(failure.Message().contains(out.path()), qPrintable(failure.Message()));
            }
        }
        QCOMPARE(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }

    void printDialogAnswers_data() {
        QTest::addColumn<bool>("accept");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }

    void printDialogAnswers() {
        QFETCH(bool, accept);
        QTemporaryDir out;
        QVERIFY(out.isValid());
        const QString file = out.filePath(QStringLiteral("chosen.pdf"));
        TPrintDialog dialog;
        dialog.Printer().setOutputFileName(file);

        DialogAnswerer answerer;
        answerer.Expect(accept ? DialogAnswerer::Accept() : DialogAnswerer::Reject());
        QCOMPARE(dialog.Execute(), accept);
        QCOMPARE(answerer.Seen().size(), 1);
        QCOMPARE(answerer.Seen().first().className, QStringLiteral("QPrintDialog"));
        // The user's choice stays with the printer for the printing that follows.
        QCOMPARE(dialog.Printer().outputFileName(), file);
        QCOMPARE(dialog.Printer().outputFormat(), QPrinter::PdfFormat);
        QVERIFY(!QFileInfo::exists(file));
    }

private:
    std::unique_ptr<TApplication> application_;
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
