// sensor-panel: the operator panel for the sensor board on a serial line.
// Exit status 0 after the window closes or on SIGINT/SIGTERM, 1 when no display can be reached,
// 2 on a usage error.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "io/log_file.h"
#include "io/platform_serial_link.h"
#include "io/replay_source.h"
#include "session/panel_session.h"
#include "session/sentences.h"
#include "programs/quit_signals.h"
#include "io/simulated_connection.h"
#ifdef Q_OS_WIN
#include "programs/windows_console.h"
#endif

namespace {

struct CommandLine {
    sensor::PanelOptions panel;
    QString port;      // empty: the one last chosen, or port 1
    bool port_given = false;
    bool log_given = false;
    bool demo = false;
    QString record;  // the raw recording's file, from the start
    QString replay;  // a capture to replay instead of a port
    double speed = 1;
};

constexpr const char* kUsage =
    "Usage: sensor-panel [--port NAME | --demo | --replay FILE [--speed X]] [--log PATH] [--log-times] [--record FILE] [--trends]";

void usage_error(const QString& sentence) {
    std::fprintf(stderr, "sensor-panel: %s\n%s\n", qUtf8Printable(sentence), kUsage);
}

// The demo's made-up readings go to a file of their own, beside the real log.
QString demo_log_path() {
    const QFileInfo real(sensor::LogFile::default_path());
    return QDir(real.absolutePath()).filePath(real.completeBaseName() + QStringLiteral("-demo.csv"));
}

// Reads the command line before any window exists, so --help and usage errors work without a
// display. Returns the options, or the exit status when the program is to end here.
std::optional<CommandLine> parse_command_line(int argc, char** argv, int* exit_status) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sensor-panel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SENSOR_PANEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The operator panel for the sensor board on a serial line (19200 baud, 8N1).\n"
        "The port is chosen in the Port menu and remembered; --port overrides it for one run.\n"
        "While a run is on (after START) every 50th frame is appended to the log as one CSV line;\n"
        "the Log menu shows the file, chooses another and turns logging off and on.\n"
        "A port that cannot be opened or is lost is retried every 2 s; the status bar says why.\n"
        "Exit status: 0 when the window closes or on SIGINT/SIGTERM, 1 when no display can be\n"
        "reached, 2 on a usage error."));
    const QCommandLineOption port_option(
        QStringLiteral("port"),
        QStringLiteral("Serial port of the board for this run, a device path or a name (default: the one last "
                       "chosen in the Port menu, else %1).")
            .arg(sensor::PlatformSerialLink::default_port()),
        QStringLiteral("NAME"));
    const QCommandLineOption log_option(
        QStringLiteral("log"),
        QStringLiteral("File the run's lines are appended to (default: the one last chosen in the Log menu, else %1; "
                       "with --demo, %2).")
            .arg(sensor::LogFile::default_path(), demo_log_path()),
        QStringLiteral("PATH"));
    const QCommandLineOption demo_option(
        QStringLiteral("demo"), QStringLiteral("Run against a simulated board inside the panel instead of a port."));
    const QCommandLineOption record_option(
        QStringLiteral("record"),
        QStringLiteral("Record every byte received, with its time, and the commands and markers, to FILE (replaced if "
                       "it exists), for --replay and sensor-decode."),
        QStringLiteral("FILE"));
    const QCommandLineOption replay_option(
        QStringLiteral("replay"),
        QStringLiteral("Replay a recording through the panel instead of a port, at its own pace (a plain byte capture at "
                       "the line rate)."),
        QStringLiteral("FILE"));
    const QCommandLineOption speed_option(
        QStringLiteral("speed"),
        QStringLiteral("Replay speed: 0.25, 1, 4, 16, or max for as fast as the panel takes it (default 1)."),
        QStringLiteral("X"));
    parser.addOption(port_option);
    parser.addOption(log_option);
    parser.addOption(demo_option);
    parser.addOption(record_option);
    parser.addOption(replay_option);
    parser.addOption(speed_option);
    const QCommandLineOption log_times_option(
        QStringLiteral("log-times"),
        QStringLiteral("Start each log line with its UTC time, the run clock and the frame number, and end it with the "
                       "markers set since the line before, for this run (Log > Time columns remembers it)."));
    parser.addOption(log_times_option);
    const QCommandLineOption trends_option(
        QStringLiteral("trends"),
        QStringLiteral("Open the Trends window (plots of every reading over time) at start; View > Trends (Ctrl+T) opens "
                       "it later."));
    parser.addOption(trends_option);
    const QCommandLineOption help_option = parser.addHelpOption();
    const QCommandLineOption version_option = parser.addVersionOption();

    const auto fail = [exit_status](const QString& sentence) {
        usage_error(sentence);
        *exit_status = 2;
        return std::nullopt;
    };
    if (!parser.parse(QCoreApplication::arguments())) return fail(parser.errorText());
    // Qt prints its own options too, and ends the program.
    if (parser.isSet(QStringLiteral("help-all"))) parser.process(QCoreApplication::arguments());
    if (parser.isSet(help_option)) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        *exit_status = 0;
        return std::nullopt;
    }
    if (parser.isSet(version_option)) {
        std::printf("sensor-panel %s\n", SENSOR_PANEL_VERSION);
        *exit_status = 0;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().front()));
    if (parser.isSet(demo_option) && parser.isSet(port_option))
        return fail(QStringLiteral("--port cannot be given with --demo: the demo brings its own board."));
    if (parser.isSet(port_option) && parser.value(port_option).trimmed().isEmpty())
        return fail(QStringLiteral("--port needs a port name, such as /dev/ttyUSB0 or COM3."));
    if (parser.isSet(log_option) && parser.value(log_option).trimmed().isEmpty())
        return fail(QStringLiteral("--log needs a file name, such as runs.csv."));
    if (parser.isSet(replay_option) && (parser.isSet(port_option) || parser.isSet(demo_option)))
        return fail(QStringLiteral("--replay cannot be given with --port or --demo: the capture is the board."));
    if (parser.isSet(replay_option) && parser.value(replay_option).trimmed().isEmpty())
        return fail(QStringLiteral("--replay needs a recording, such as run.rec."));
    if (parser.isSet(record_option) && parser.value(record_option).trimmed().isEmpty())
        return fail(QStringLiteral("--record needs a file name, such as run.rec."));
    double speed = 1;
    if (parser.isSet(speed_option)) {
        const QString text = parser.value(speed_option);
        bool ok = true;
        speed = text == QStringLiteral("max") ? sensor::ReplaySource::kFastest : text.toDouble(&ok);
        if (!ok || !sensor::ReplaySource::offered_speed(speed))
            return fail(QStringLiteral("--speed takes 0.25, 1, 4, 16 or max, not \"%1\".").arg(text));
        if (!parser.isSet(replay_option)) return fail(QStringLiteral("--speed needs --replay FILE."));
    }

    CommandLine options;
    options.port = parser.value(port_option);
    options.port_given = parser.isSet(port_option);
    options.panel.log_path = parser.value(log_option);
    options.log_given = parser.isSet(log_option);
    options.demo = parser.isSet(demo_option);
    options.record = parser.value(record_option);
    options.replay = parser.value(replay_option);
    options.speed = speed;
    options.panel.trends = parser.isSet(trends_option);
    options.panel.log_times = parser.isSet(log_times_option);
    return options;
}

bool display_named() {
#ifdef Q_OS_LINUX
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

// While the window system is being reached, Qt's own complaints are held back: a window that
// cannot be opened is said in one sentence, with its true cause, and ends the program with
// status 1, not an abort.
QStringList startup_complaints;

QString window_failure_sentence() {
    const QString all = startup_complaints.join(QLatin1Char('\n'));
    static const QRegularExpression missing_plugin(QStringLiteral("Could not find the Qt platform plugin \"([^\"]*)\""));
    static const QRegularExpression available(QStringLiteral("Available platform plugins are: ([^\n]*?)\\.?\\s*(\n|$)"));
    if (const QRegularExpressionMatch plugin = missing_plugin.match(all); plugin.hasMatch()) {
        const QString plugins = available.match(all).captured(1);
        return QStringLiteral("Cannot open the window: QT_QPA_PLATFORM names the window system \"%1\", which this Qt does "
                              "not have%2. Unset QT_QPA_PLATFORM, or set it to one it has (xcb or wayland on a desktop).")
            .arg(plugin.captured(1), plugins.isEmpty() ? QString() : QStringLiteral(" (it has: %1)").arg(plugins));
    }
    const QString display = qEnvironmentVariable("DISPLAY", qEnvironmentVariable("WAYLAND_DISPLAY"));
    return QStringLiteral("Cannot open the window: the display %1 cannot be reached (%2). Start it from a desktop session, "
                          "or under xvfb-run for a virtual display.")
        .arg(display.isEmpty() ? QStringLiteral("(none named)") : display,
             startup_complaints.isEmpty() ? QStringLiteral("no reason given") : startup_complaints.front().section(QLatin1Char('\n'), 0, 0));
}

void startup_messages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    startup_complaints << text;
    if (type != QtFatalMsg) return;
    std::fprintf(stderr, "sensor-panel: %s\n", qUtf8Printable(window_failure_sentence()));
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef Q_OS_WIN
    // A window program's --help, usage errors and messages reach the console it was started from.
    sensor::attach_parent_console();
#endif
    int exit_status = 0;
    std::optional<CommandLine> options = parse_command_line(argc, argv, &exit_status);
    if (!options) return exit_status;

    if (!display_named()) {
        std::fprintf(stderr, "sensor-panel: No display to open the window on: neither DISPLAY nor WAYLAND_DISPLAY is set. "
                             "Start it from a desktop session, or under xvfb-run for a virtual display.\n");
        return 1;
    }
    qInstallMessageHandler(startup_messages);
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
#ifdef Q_OS_WIN
    // Ctrl-C, Ctrl-Break or closing the console ends the event loop as closing the window does.
    // exit(), not quit(): quit() would ask the windows to close, and a question about waiting log
    // lines would be put to nobody.
    sensor::call_on_console_stop(
        [] { QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection); });
#else
    sensor::quit_on_signals(&app);
#endif
    QApplication::setApplicationName(QStringLiteral("sensor-panel"));
    QApplication::setApplicationVersion(QStringLiteral(SENSOR_PANEL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("sensor-panel"));

    QSettings settings;
    const sensor::PanelSettings remembered = sensor::PanelSettings::load(settings);
    sensor::PanelOptions& panel = options->panel;
    panel.settings = &settings;
    std::unique_ptr<sensor::BoardConnection> connection;
    sensor::ReplaySource* replay = nullptr;
    if (!options->replay.isEmpty()) {
        auto source = std::make_unique<sensor::ReplaySource>(options->replay);
        source->set_speed(options->speed);
        replay = source.get();
        connection = std::move(source);
    } else if (options->demo) {
        connection = std::make_unique<sensor::SimulatedConnection>();
        panel.marker = QStringLiteral("demo: simulated board");
        // A port chosen in the Port menu leaves the demo, and its made-up readings' log with it.
        if (!options->log_given) {
            panel.log_path = demo_log_path();
            panel.port_log_path = remembered.log_path.isEmpty() ? sensor::LogFile::default_path() : remembered.log_path;
        }
    } else {
        connection = std::make_unique<sensor::PlatformSerialLink>(options->port_given ? options->port : remembered.last_port);
    }
    sensor::PanelSession session(panel, std::move(connection));
    session.start();
    if (options->demo) session.report(sensor::sentences::demo_hint());
    // A capture that cannot be read, or a recording that cannot start, has been said; there is
    // nothing to show.
    if (replay && replay->state() != sensor::BoardConnection::State::Open) return 1;
    if (!options->record.isEmpty() && !session.start_recording(options->record)) return 1;
    session.window().show();
    const int status = QApplication::exec();
    session.shutdown();
#ifdef Q_OS_WIN
    sensor::console_stop_finished();
#endif
    return status;
}
