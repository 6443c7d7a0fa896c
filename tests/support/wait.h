// Waiting in tests: the Qt event loop runs until a condition holds; the deadline is only a guard.
#pragma once

#include <QTest>

#include <functional>

namespace sensor::testing {

inline bool wait_until(const std::function<bool()>& done, int deadline_ms = 5000) {
    return QTest::qWaitFor(done, deadline_ms);
}

}  // namespace sensor::testing
