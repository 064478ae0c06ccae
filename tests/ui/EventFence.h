#pragma once

#include <QTest>
#include <QTimer>

/// Runs the event loop until everything posted, or timed to run at once, before the call
/// has run: a fence to check what must not happen, in place of a sleep.
inline bool PassPendingEvents()
{
    bool passed = false;
    QTimer::singleShot(0, [&passed] { passed = true; });
    return QTest::qWaitFor([&passed] { return passed; });
}
