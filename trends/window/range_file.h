// Writes the frames of a time range as a CSV file, all or nothing, and says in one sentence why
// when it cannot.
#pragma once

#include <QString>

#include <cstdint>

#include "trends/history.h"
#include "trends/range_export.h"

namespace sensor {

// Returns an empty string, or "Cannot export the frames to PATH: REASON. Choose a folder that
// exists and that you may write to, on a disk with room."
QString save_range_csv(const History& history, std::int64_t begin_ns, std::int64_t end_ns, const ExportOptions& options,
                       const QString& path);

}  // namespace sensor
