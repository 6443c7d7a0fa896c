// sensor-decode: the panel's frame path without the window. Feeds a raw byte capture to the same
// core the panel runs, from start-up, and prints the measurement cells of each decoded frame.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "panel/panel_logic.h"

namespace {

constexpr const char* kDescription =
    "Decodes a raw capture of the sensor board's serial stream, as the panel would from start-up.\n"
    "For every zero byte (the end of a frame) it writes one line to standard output: the texts of\n"
    "the measurement cells Text1(0) to Text1(15) in index order, separated by \",\", with \".\" as the\n"
    "decimal separator. Fields: 0 IR reading module 1, 1 time of flight module 1, 2 IR reading\n"
    "module 2, 3 time of flight module 2, 4 IR reading module 3, 5 time of flight module 3,\n"
    "6-8 ultrasonic distance (m) modules 1-3, 9-10 ground readings, 11-13 IR distance (cm) or\n"
    "ERR/OK modules 1-3, 14-15 ground verdicts black/white.\n"
    "Exit status: 0 done, 1 the capture could not be read or the output not written, 2 usage error.";

int usage_error(const QString& sentence, const QCommandLineParser& parser) {
    std::fprintf(stderr, "sensor-decode: %s\n\n%s", qPrintable(sentence), qPrintable(parser.helpText()));
    return 2;
}

void write_line(const sensor::CellStore& cells, std::string& out) {
    for (std::size_t i = 0; i < cells.Text1.size(); ++i) {
        if (i) out += ',';
        out += cells.Text1[i];
    }
    out += '\n';
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("sensor-decode");
    QCoreApplication::setApplicationVersion(SENSOR_PANEL_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("capture", "Raw byte capture to decode; standard input when absent or \"-\".",
                                 "[capture]");
    if (!parser.parse(app.arguments())) return usage_error(parser.errorText() + ".", parser);
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet("version")) {
        std::printf("sensor-decode %s\n", SENSOR_PANEL_VERSION);
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() > 1) return usage_error("Give at most one capture file.", parser);

    const bool from_stdin = args.isEmpty() || args.front() == "-";
    const QByteArray path = from_stdin ? QByteArray("standard input") : QFile::encodeName(args.front());
    std::FILE* in = from_stdin ? stdin : std::fopen(path.constData(), "rb");
    if (!in) {
        std::fprintf(stderr, "sensor-decode: Cannot read %s: %s.\n", path.constData(), std::strerror(errno));
        return 1;
    }

    sensor::PanelLogic panel('.');
    panel.Load();
    std::vector<unsigned char> chunk(1 << 16);
    std::string out;
    int status = 0;
    for (;;) {
        const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
        for (std::size_t i = 0; i < n; ++i) {
            if (panel.receive(chunk[i]).frame_ended) write_line(panel.cells(), out);
        }
        if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) break;
        out.clear();
        if (n < chunk.size()) {
            if (std::ferror(in)) {
                std::fprintf(stderr, "sensor-decode: Cannot read %s: %s.\n", path.constData(), std::strerror(errno));
                status = 1;
            }
            break;
        }
    }
    if (!from_stdin) std::fclose(in);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "sensor-decode: Cannot write standard output: %s.\n", std::strerror(errno));
        return 1;
    }
    return status;
}
