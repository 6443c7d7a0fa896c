#include "io/recording_file.h"

#include <QFileInfo>

#include <cstring>
#include <span>

#include "io/reason_text.h"
#include "recording/recorded_time.h"

namespace sensor {
namespace {

constexpr qint64 kReadBytes = 64 * 1024;

std::span<const std::uint8_t> byte_span(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

QString RecordingFile::open(const QString& path) {
    path_ = path;
    format_ = RecordingFormat::Undecided;
    cut_.clear();
    const QFileInfo info(path);
    QString reason;
    if (!info.exists()) {
        reason = QStringLiteral("no such file");
    } else if (info.isDir()) {
        reason = QStringLiteral("it is a folder, not a capture file");
    } else {
        file_.setFileName(path);
        // Unbuffered: a look at the magic must not hold bytes that a file cut under the replay has lost.
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            reason = reason_text(file_.errorString());
        } else if (file_.isSequential()) {
            // A pipe or a device has no length, so there is nothing to pace against or restart.
            reason = QStringLiteral("it is not a regular file");
        } else if (file_.size() == 0) {
            reason = QStringLiteral("the file is empty");
        }
    }
    if (!reason.isEmpty()) {
        file_.close();
        return QStringLiteral("Cannot replay %1: %2.").arg(path, reason);
    }

    const QByteArray head = file_.read(static_cast<qint64>(kRecordingMagic.size()));
    const bool magic = head.size() == static_cast<qsizetype>(kRecordingMagic.size()) &&
                       std::memcmp(head.constData(), kRecordingMagic.data(), kRecordingMagic.size()) == 0;
    file_.seek(0);
    if (!magic) {
        format_ = RecordingFormat::Raw;
        received_ = file_.size();
        last_us_ = line_place_us(received_ - 1);
        return {};
    }

    // The whole recording once: how many bytes and how long it holds, and whether it was cut.
    RecordingReader scan;
    Record record;
    received_ = 0;
    for (bool more = true; more;) {
        const QByteArray bytes = file_.read(16 * kReadBytes);
        more = !bytes.isEmpty();
        if (more) scan.feed(byte_span(bytes));
        else scan.finish();
        while (scan.next(record))
            if (record.kind == RecordKind::Received) received_ += static_cast<qint64>(record.bytes.size());
    }
    QString refusal;
    const QString trouble = QString::fromStdString(scan.trouble(path.toStdString()));
    if (file_.error() != QFileDevice::NoError) {
        refusal = QStringLiteral("Cannot replay %1: %2.").arg(path, reason_text(file_.errorString()));
    } else if (scan.refused() || !scan.header_read()) {
        refusal = trouble;
    } else if (received_ == 0) {
        refusal = QStringLiteral("Cannot replay %1: it holds no bytes from the board.").arg(path);
    }
    if (!refusal.isEmpty()) {
        file_.close();
        return refusal;
    }
    format_ = RecordingFormat::Timed;
    header_ = scan.header();
    last_us_ = scan.last_us();
    cut_ = trouble;
    rewind();
    return {};
}

void RecordingFile::rewind() {
    file_.seek(0);
    reader_ = RecordingReader();
    read_to_end_ = false;
}

bool RecordingFile::next(Record& out) {
    for (;;) {
        if (reader_.next(out)) return true;
        if (read_to_end_) return false;
        const QByteArray more = file_.read(kReadBytes);
        if (more.isEmpty()) {
            reader_.finish();
            read_to_end_ = true;
            continue;
        }
        reader_.feed(byte_span(more));
    }
}

QString RecordingFile::read_error() const {
    return file_.error() != QFileDevice::NoError ? reason_text(file_.errorString()) : QString();
}

}  // namespace sensor
