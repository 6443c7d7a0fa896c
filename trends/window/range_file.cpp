// The export written piece by piece into the output file.
#include "trends/window/range_file.h"

#include "trends/window/output_file.h"

namespace sensor {

QString save_range_csv(const History& history, std::int64_t begin_ns, std::int64_t end_ns, const ExportOptions& options,
                       const QString& path) {
    const QString reason = write_output_file(path, [&](QIODevice& file) {
        return export_range(history, begin_ns, end_ns, options, [&](std::string_view piece) {
            return file.write(piece.data(), static_cast<qint64>(piece.size())) == static_cast<qint64>(piece.size());
        });
    });
    if (reason.isEmpty()) return {};
    return QStringLiteral("Cannot export the frames to %1: %2. Choose a folder that exists and that you may write to, on a disk "
                          "with room.")
        .arg(path, reason);
}

}  // namespace sensor
