// What an action wrote to standard error, for tests of what the programs say there (and how often).
#pragma once

#include <QString>

#include <functional>

namespace sensor::testing {

// Runs `action` with standard error sent to a file of `folder`, and returns what it wrote.
QString stderr_of(const QString& folder, const std::function<void()>& action);

}  // namespace sensor::testing
