// The real sensor-panel binary in a real X server: START clicked with the mouse, known frames
// fed through a pseudo-terminal, and the log file compared with an independent decode.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <random>

#include "tests/support/pty_pair.h"
#include "tests/support/wait.h"
#include "sim/frame_encoder.h"

using namespace sensor;
using sensor::testing::PtyPair;
using sensor::testing::wait_until;

namespace {

QByteArray read_file(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The log fields of a sensor-decode line: Text1(6), (7), (8), (11) to (15).
QByteArray log_line_from_decode(const QByteArray& decoded) {
    const QList<QByteArray> f = decoded.split(',');
    return f[6] + ',' + f[7] + ',' + f[8] + ',' + f[11] + ',' + f[12] + ',' + f[13] + ',' + f[14] + ',' + f[15] + "\r\n";
}

}  // namespace

TEST(LogEndToEnd, EveryFiftiethFrameOfARunIsLoggedAsDecoded) {
    for (const char* tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
    }
    QTemporaryDir dir;
    QProcess xvfb;
    xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
    ASSERT_TRUE(xvfb.waitForStarted());
    ASSERT_TRUE(wait_until([&] { return xvfb.canReadLine(); }, 10000)) << "Xvfb gave no display number";
    const QString display = ":" + QString::fromLatin1(xvfb.readLine()).trimmed();

    PtyPair board;
    const QString log = dir.filePath("run/sensors.csv");
    QProcess panel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LC_ALL", "C");
    auto xdotool = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start("xdotool", args);
        p.waitForFinished(10000);
        return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    };
    // Xvfb names its display a moment before every client can connect to it; wait until one can.
    ASSERT_TRUE(wait_until([&] { return !xdotool({"getdisplaygeometry"}).isEmpty(); }, 10000))
        << "no client could connect to Xvfb's display " << display.toStdString();

    panel.setProcessEnvironment(env);
    panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A panel that found the display not ready yet ends at once; it is started again.
    QString window;
    for (int attempt = 0; attempt < 3 && window.isEmpty(); ++attempt) {
        panel.start(SENSOR_PANEL_PATH, {"--port", board.path(), "--log", log});
        ASSERT_TRUE(panel.waitForStarted());
        wait_until([&] {
            window = xdotool({"search", "--name", "^Form1$"}).section('\n', 0, 0);
            return !window.isEmpty() || panel.state() == QProcess::NotRunning;
        }, 10000);
        if (window.isEmpty()) panel.waitForFinished(5000);
    }
    ASSERT_FALSE(window.isEmpty()) << "the panel's window never appeared";

    // START is at 240, 240 twips with 1335 x 735: its middle is at 60, 40 pixels.
    QByteArray sent;
    ASSERT_TRUE(wait_until([&] {
        xdotool({"mousemove", "--window", window, "60", "40", "click", "1"});
        return wait_until([&] { return (sent += board.read_available()).size() >= 2; }, 1000);
    }, 10000)) << "the click on START sent nothing";
    EXPECT_EQ(sent, QByteArray("\x93\x00", 2));

    std::mt19937 rng(9);
    std::uniform_int_distribution<int> ir(0, 1023), tof(0, 65535);
    QByteArray stream;
    for (int n = 0; n < 250; ++n) {
        const auto frame = encode_frame({{ir(rng), ir(rng), ir(rng)}, {tof(rng), tof(rng) & 0xFF00, 300}, {ir(rng), ir(rng)}});
        stream.append(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
    }
    board.write(stream);
    ASSERT_TRUE(wait_until([&] { return read_file(log).count('\n') >= 5; }, 10000)) << read_file(log).toStdString();

    QProcess decode;
    decode.start(SENSOR_DECODE_PATH, {"-"});
    decode.write(stream);
    decode.closeWriteChannel();
    ASSERT_TRUE(decode.waitForFinished(10000));
    const QList<QByteArray> decoded = decode.readAllStandardOutput().split('\n');
    ASSERT_GE(decoded.size(), 250);
    QByteArray expected;
    for (int frame = 50; frame <= 250; frame += 50) expected += log_line_from_decode(decoded[frame - 1]);

    panel.terminate();
    panel.waitForFinished(5000);
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    EXPECT_EQ(read_file(log), expected);
}
