#pragma once

#include <QGuiApplication>

// Shows the busy cursor over the application for its lifetime, also when a failure passes
// through: the user sees that a long scan is working, and never a cursor left busy after it.
class TBusyCursor {
public:
    TBusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor &) = delete;
    TBusyCursor &operator=(const TBusyCursor &) = delete;
};
