// Prints what GetCurrentPracticePath() returns in a fresh process: "value:<text>" and exit code
// 0, or "error:<message>" and exit code 1. QSettings keeps what it has read (and the types of
// what it has written) for the life of a process, so each reading needs a process of its own.
#include "PracticePath.h"

#include "Exception.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    try {
        const QByteArray out = "value:" + GetCurrentPracticePath().toUtf8();
        std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
        return 0;
    } catch (const Exception &error) {
        const QByteArray out = "error:" + error.Message().toUtf8();
        std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
        return 1;
    }
}
