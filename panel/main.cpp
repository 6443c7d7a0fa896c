// sensor-panel: the operator panel for the sensor board on a serial line.
// Exit status 0 after the window closes or on SIGINT/SIGTERM, 1 when there is no display, 2 on a
// usage error.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <optional>

#include "eval/log_file.h"
#include "link/serial_link.h"
#include "panel/panel_session.h"
#include "panel/quit_signals.h"
#include "sim/simulated_connection.h"

namespace {

struct CommandLine {
    sensor::PanelOptions panel;
    QString port;
    bool demo = false;
};

constexpr const char* kUsage = "Usage: sensor-panel [--port NAME] [--log PATH] [--demo] [--help] [--version]";

void usage_error(const QString& sentence) {
    std::fprintf(stderr, "sensor-panel: %s\n%s\n", qUtf8Printable(sentence), kUsage);
}

// Reads the command line before any window exists, so --help and usage errors work without a
// display. Returns the options, or the exit status when the program is to end here.
std::optional<CommandLine> parse_command_line(int argc, char** argv, int* exit_status) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sensor-panel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SENSOR_PANEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The operator panel for the sensor board on a serial line (19200 baud, 8N1).\n"
                       "While a run is on (after START) every 50th frame is appended to the log as one CSV line.\n"
                       "A port that cannot be opened or is lost is retried every 2 s; the status line says why.\n"
                       "Exit status: 0 when the window closes or on SIGINT/SIGTERM, 1 when there is no display,\n"
                       "2 on a usage error."));
    const QCommandLineOption port_option(
        QStringLiteral("port"),
        QStringLiteral("Serial port of the board, a device path or a name (default: %1).")
            .arg(sensor::SerialLink::default_port()),
        QStringLiteral("NAME"));
    const QCommandLineOption log_option(
        QStringLiteral("log"),
        QStringLiteral("File the run's lines are appended to (default: %1).").arg(sensor::LogFile::default_path()),
        QStringLiteral("PATH"));
    const QCommandLineOption demo_option(
        QStringLiteral("demo"), QStringLiteral("Run against a simulated board inside the panel instead of a port."));
    parser.addOption(port_option);
    parser.addOption(log_option);
    parser.addOption(demo_option);
    const QCommandLineOption help_option = parser.addHelpOption();
    const QCommandLineOption version_option = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments())) {
        usage_error(parser.errorText());
        *exit_status = 2;
        return std::nullopt;
    }
    if (parser.isSet(help_option) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        *exit_status = 0;
        return std::nullopt;
    }
    if (parser.isSet(version_option)) {
        std::printf("sensor-panel %s\n", SENSOR_PANEL_VERSION);
        *exit_status = 0;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        usage_error(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().front()));
        *exit_status = 2;
        return std::nullopt;
    }
    if (parser.isSet(demo_option) && parser.isSet(port_option)) {
        usage_error(QStringLiteral("--port cannot be given with --demo: the demo brings its own board."));
        *exit_status = 2;
        return std::nullopt;
    }

    CommandLine options;
    options.port = parser.value(port_option);
    options.panel.log_path = parser.value(log_option);
    options.demo = parser.isSet(demo_option);
    return options;
}

bool display_available() {
#ifdef Q_OS_LINUX
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    int exit_status = 0;
    const std::optional<CommandLine> options = parse_command_line(argc, argv, &exit_status);
    if (!options) return exit_status;

    if (!display_available()) {
        std::fprintf(stderr, "sensor-panel: No display to open the window on: neither DISPLAY nor WAYLAND_DISPLAY is set. "
                             "Start it from a desktop session, or under xvfb-run for a virtual display.\n");
        return 1;
    }
    QApplication app(argc, argv);
    sensor::quit_on_signals(&app);
    QApplication::setApplicationName(QStringLiteral("sensor-panel"));
    QApplication::setApplicationVersion(QStringLiteral(SENSOR_PANEL_VERSION));

    std::unique_ptr<sensor::BoardConnection> connection;
    if (options->demo)
        connection = std::make_unique<sensor::SimulatedConnection>();
    else
        connection = std::make_unique<sensor::SerialLink>(options->port);
    sensor::PanelSession session(options->panel, std::move(connection));
    session.start();
    session.form().show();
    const int status = QApplication::exec();
    session.shutdown();
    return status;
}
