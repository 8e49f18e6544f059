// repeatfix_bench: starts the real main window exactly as the program does (initialise, create the
// form, run) and ends the process as soon as the listing has been painted, so that a clock around
// the process measures what a user waits for. It checks the result against the expected count, so
// a fast run that listed the wrong thing fails instead of scoring.
//
//   repeatfix_bench --expect N [--print FILE.pdf]
//
// The practice comes from the settings store like the program's (XDG_CONFIG_HOME). On stdout one
// line of internal timings in seconds from the start of main:
//   created=... shown=... painted=... [printed=... print_seconds=...]
// (created: the form exists; shown: FormShow has ended and the loop runs; painted: the listing is
// on screen.)
#include "Application.h"
#include "PrintDialog.h"
#include "Unit1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

double seconds(const QElapsedTimer &clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Notes when the report area is first painted and then ends the event loop, the way Exit would.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer &clock) : clock_(clock) {}

    std::optional<double> painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // The filter runs before the paint: the end of the paint is the next turn of the loop.
            QTimer::singleShot(0, this, [this] {
                painted = seconds(clock_);
                Application->Terminate();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &clock_;
    bool seen_ = false;
};

void fail(const QString &message) {
    std::fprintf(stderr, "repeatfix_bench: %s\n", qPrintable(message));
}

// A failure is shown by the standard error report, a modal box nobody answers here: say what it
// says and end the run instead of waiting forever.
void endOnModalBox() {
    auto *watchdog = new QTimer(qApp);
    QObject::connect(watchdog, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            const auto *box = qobject_cast<QMessageBox *>(modal);
            fail(QStringLiteral("the program shows \"%1\"")
                     .arg(box ? box->text() : modal->windowTitle()));
            std::_Exit(1);
        }
    });
    watchdog->start(100);
}

} // namespace

int main(int argc, char *argv[]) {
    QElapsedTimer clock;
    clock.start();
    QApplication qtApplication(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption expectOption(QStringLiteral("expect"),
                                          QStringLiteral("The number of bad entries listed."),
                                          QStringLiteral("N"));
    const QCommandLineOption printOption(QStringLiteral("print"),
                                         QStringLiteral("Then print the listing to this PDF file."),
                                         QStringLiteral("FILE"));
    parser.addOptions({expectOption, printOption});
    parser.process(qtApplication);
    bool countOk = false;
    const int expected = parser.value(expectOption).toInt(&countOk);
    if (!countOk || expected <= 0) {
        fail(QStringLiteral("--expect needs the number of bad entries (1 or more)"));
        return 2;
    }

    endOnModalBox();
    TApplication application;
    FirstPaint firstPaint(clock);
    double created = 0;
    double shown = 0;
    int status = 1;
    Application->Guard([&] {
        Application->Initialize();
        Application->CreateForm(Form1);
        created = seconds(clock);
        Form1->Memo1->viewport()->installEventFilter(&firstPaint);
        // Posted before the window is shown, taken by the loop's first turn: FormShow has ended.
        QTimer::singleShot(0, qApp, [&] { shown = seconds(clock); });
        status = Application->Run();
    });
    if (status != 0 || Form1 == nullptr || !firstPaint.painted) {
        fail(QStringLiteral("the window did not show its listing (status %1)").arg(status));
        return 1;
    }

    const QString label = Form1->Label1->text();
    const int lines = Form1->Memo1->document()->blockCount();
    if (label != QString::number(expected) + QStringLiteral(" bad repeat entries.") ||
        lines != expected) {
        fail(QStringLiteral("expected %1 entries, the window shows \"%2\" and %3 lines")
                 .arg(expected)
                 .arg(label)
                 .arg(lines));
        return 1;
    }

    std::printf("created=%.3f shown=%.3f painted=%.3f", created, shown, *firstPaint.painted);
    if (parser.isSet(printOption)) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(parser.value(printOption));
        const double start = seconds(clock);
        bool printed = false;
        Application->Guard([&] {
            PrintPlainText(*Form1->Memo1, printer, QStringLiteral("Quellmark"));
            printed = true;
        });
        if (!printed) {
            fail(QStringLiteral("printing failed"));
            return 1;
        }
        std::printf(" printed=%.3f print_seconds=%.3f", seconds(clock), seconds(clock) - start);
    }
    std::printf("\n");
    return 0;
}
