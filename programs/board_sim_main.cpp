// sensor-board-sim: the simulated board on a pseudo-terminal for manual runs and tests, or a
// capture of its frames in a file for sensor-decode.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>

#include "io/reason_text.h"
#include "programs/quit_signals.h"
#include "sim/board_model.h"
#include "sim/pty/pty_board.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kRunError = 1;

constexpr const char* kUsage =
    "Usage: sensor-board-sim [--rate BYTES_PER_S | --flood] [--link PATH] [--seed N] [--capture FILE [--frames N]]";

// One sentence and one line of usage; --help has the rest.
int usage_error(const QCommandLineParser&, QString sentence) {
    if (!sentence.endsWith('.')) sentence += '.';
    std::fprintf(stderr, "sensor-board-sim: %s\n%s\n", qUtf8Printable(sentence), kUsage);
    return kUsageError;
}

int capture(const QString& path, unsigned long long frames, std::uint32_t seed) {
    sensor::BoardModel model(seed);
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(frames * sensor::kFrameLength));
    for (unsigned long long i = 0; i < frames; ++i) {
        const sensor::EncodedFrame f = sensor::encode_frame(model.next_frame());
        bytes.append(reinterpret_cast<const char*>(f.data()), static_cast<qsizetype>(f.size()));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "sensor-board-sim: Cannot write the capture %s: %s.\n", qUtf8Printable(path),
                     qUtf8Printable(sensor::reason_text(file.errorString())));
        return kRunError;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sensor-board-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SENSOR_PANEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The simulated sensor board on a pseudo-terminal. Prints the device path as the first line, "
        "then streams frames and obeys command messages until interrupted."));
    const QCommandLineOption help_option = parser.addHelpOption();
    const QCommandLineOption version_option = parser.addVersionOption();
    const QCommandLineOption rate_option(QStringLiteral("rate"),
        QStringLiteral("Bytes a second on the line (1920 is 19200 baud 8N1)."), QStringLiteral("BYTES_PER_S"));
    const QCommandLineOption flood_option(QStringLiteral("flood"),
        QStringLiteral("Send frames as fast as the pseudo-terminal takes them."));
    const QCommandLineOption link_option(QStringLiteral("link"),
        QStringLiteral("Also make a symbolic link to the device at PATH, removed on exit."), QStringLiteral("PATH"));
    const QCommandLineOption seed_option(QStringLiteral("seed"),
        QStringLiteral("Seed of the board's readings (the same seed gives the same readings)."), QStringLiteral("N"));
    const QCommandLineOption capture_option(QStringLiteral("capture"),
        QStringLiteral("Write frames to FILE instead of serving a pseudo-terminal."), QStringLiteral("FILE"));
    const QCommandLineOption frames_option(QStringLiteral("frames"),
        QStringLiteral("Frames to write with --capture (default 1130, ten seconds of line)."), QStringLiteral("N"));
    parser.addOptions({rate_option, flood_option, link_option, seed_option, capture_option, frames_option});

    if (!parser.parse(QCoreApplication::arguments())) return usage_error(parser, parser.errorText());
    if (parser.isSet(help_option)) parser.showHelp(0);
    // Qt prints its own options too, and ends the program.
    if (parser.isSet(QStringLiteral("help-all"))) parser.process(QCoreApplication::arguments());
    if (parser.isSet(version_option)) parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return usage_error(parser, QStringLiteral("Unexpected argument: %1.").arg(parser.positionalArguments().first()));

    sensor::PtyBoardOptions options;
    if (parser.isSet(rate_option)) {
        bool ok = false;
        options.bytes_per_second = parser.value(rate_option).toDouble(&ok);
        if (!ok || !(options.bytes_per_second > 0) || options.bytes_per_second > 1e9)
            return usage_error(parser, QStringLiteral("The rate must be a number of bytes a second above 0, not \"%1\".")
                                           .arg(parser.value(rate_option)));
        if (parser.isSet(flood_option))
            return usage_error(parser, QStringLiteral("--rate and --flood cannot be used together."));
    }
    options.flood = parser.isSet(flood_option);
    if (parser.isSet(seed_option)) {
        bool ok = false;
        options.seed = parser.value(seed_option).toUInt(&ok);
        if (!ok)
            return usage_error(parser, QStringLiteral("The seed must be a whole number from 0 to 4294967295, not \"%1\".")
                                           .arg(parser.value(seed_option)));
    }
    unsigned long long frames = 1130;
    if (parser.isSet(frames_option)) {
        bool ok = false;
        frames = parser.value(frames_option).toULongLong(&ok);
        if (!ok || frames == 0 || frames > 100'000'000ULL)
            return usage_error(parser, QStringLiteral("The number of frames must be a whole number from 1 to 100000000, not \"%1\".")
                                           .arg(parser.value(frames_option)));
        if (!parser.isSet(capture_option))
            return usage_error(parser, QStringLiteral("--frames needs --capture FILE."));
    }
    if (parser.isSet(capture_option)) return capture(parser.value(capture_option), frames, options.seed);

    if (!sensor::quit_on_signals(&app)) {
        std::fprintf(stderr, "sensor-board-sim: Cannot set up the handling of Ctrl-C and kill.\n");
        return kRunError;
    }

    sensor::PtyBoard board(options);
    QString error;
    if (!board.start(&error)) {
        std::fprintf(stderr, "sensor-board-sim: %s\n", qUtf8Printable(error));
        return kRunError;
    }
    if (parser.isSet(link_option) && !board.make_link(parser.value(link_option), &error)) {
        std::fprintf(stderr, "sensor-board-sim: %s\n", qUtf8Printable(error));
        return kRunError;
    }
    std::printf("%s\n", qPrintable(board.device_path()));
    std::fflush(stdout);

    app.exec();
    board.stop();
    return 0;
}
