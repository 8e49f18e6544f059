#pragma once

#include <QCoreApplication>
#include <QTimer>

// Ends a loop that would otherwise never end, so that a fault fails the test instead of hanging.
class LoopSafety {
public:
    LoopSafety() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        timer_.start(30000);
    }

private:
    QTimer timer_;
};
