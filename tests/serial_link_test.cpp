// The serial link on real pseudo-terminals: bytes both ways, open failures, unplug and return.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <vector>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "io/serial_link.h"
#include "tests/support/pty_pair.h"
#include "tests/support/cpu_time.h"
#include "tests/support/wait.h"

using namespace sensor;
using sensor::testing::PtyPair;
using sensor::testing::cpu_seconds;
using sensor::testing::wait_until;

namespace {

struct Received {
    QByteArray bytes;
    QStringList messages;
    explicit Received(SerialLink& link) {
        QObject::connect(&link, &SerialLink::received, [this](const QByteArray& c) { bytes += c; });
        QObject::connect(&link, &SerialLink::message, [this](const QString& m) { messages << m; });
    }
};

// Runs the event loop for a while with nothing to wait for.
void idle(int ms) {
    wait_until([] { return false; }, ms);
}

}  // namespace

TEST(SerialLink, EveryByteValueArrivesUnchangedWhateverTheChunks) {
    PtyPair pair;
    SerialLink link(pair.path());
    Received got(link);
    link.open();
    ASSERT_EQ(link.state(), SerialLink::State::Open) << got.messages.join("\n").toStdString();

    // All 256 values (10, 13, 17, 19 and 255 are what a cooked terminal would mangle), then
    // a flood in odd chunk sizes.
    QByteArray sent;
    for (int v = 0; v < 256; ++v) sent += static_cast<char>(v);
    pair.write(sent);
    ASSERT_TRUE(wait_until([&] { return got.bytes.size() >= sent.size(); }));
    EXPECT_EQ(got.bytes, sent);

    QByteArray flood;
    for (int i = 0; i < 200'000; ++i) flood += static_cast<char>((i * 7 + i / 13) & 0xFF);
    for (qsizetype at = 0, step = 1; at < flood.size(); at += step, step = step * 3 % 1021 + 1)
        pair.write(flood.mid(at, step));
    ASSERT_TRUE(wait_until([&] { return got.bytes.size() >= sent.size() + flood.size(); }, 20000));
    EXPECT_EQ(got.bytes.mid(sent.size()), flood);
    EXPECT_EQ(link.bytes_received(), static_cast<quint64>(sent.size() + flood.size()));
}

TEST(SerialLink, TheLineRunsAt19200EightBitsNoParityOneStopNoFlowControl) {
    PtyPair pair;
    SerialLink link(pair.path());
    Received got(link);
    link.open();
    ASSERT_EQ(link.state(), SerialLink::State::Open);
    EXPECT_EQ(got.messages, QStringList{QStringLiteral("Serial port %1 is open.").arg(pair.path())})
        << "a pseudo-terminal has no DTR or RTS to hold off, and that is nothing to tell";
    // The settings belong to the device, so another descriptor of it reads back what the link set.
    const int fd = ::open(pair.path().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetispeed(&t), B19200);
    EXPECT_EQ(::cfgetospeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB) << "no parity";
    EXPECT_FALSE(t.c_cflag & CSTOPB) << "one stop bit";
    EXPECT_FALSE(t.c_cflag & CRTSCTS) << "no hardware flow control";
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF)) << "no software flow control";
    EXPECT_FALSE(t.c_lflag & ICANON) << "raw bytes, not lines";
}

TEST(SerialLink, StaleInputFromBeforeTheOpenIsDropped) {
    PtyPair pair;
    pair.write("old bytes");
    SerialLink link(pair.path());
    Received got(link);
    link.open();
    pair.write("new");
    ASSERT_TRUE(wait_until([&] { return got.bytes.size() >= 3; }));
    EXPECT_EQ(got.bytes, "new");
}

TEST(SerialLink, MessagesReachTheFarEnd) {
    PtyPair pair;
    SerialLink link(pair.path());
    link.open();
    EXPECT_TRUE(link.send({147, 0}));
    EXPECT_TRUE(link.send({19, 0}));
    QByteArray out;
    ASSERT_TRUE(wait_until([&] { return (out += pair.read_available()).size() >= 4; }));
    EXPECT_EQ(out, QByteArray("\x93\x00\x13\x00", 4));
}

TEST(SerialLink, OpenFailuresAreSaidOnceAndRetried) {
    QTemporaryDir dir;
    const QString regular = dir.filePath("not-a-port");
    QFile(regular).open(QIODevice::WriteOnly);
    struct Case {
        QString path;
        QString says;
    };
    const Case cases[] = {
        {dir.filePath("absent"), "no such device"},
        {regular, "not a serial device"},
    };
    for (const Case& c : cases) {
        SerialLink link(c.path);
        Received got(link);
        link.open();
        EXPECT_EQ(link.state(), SerialLink::State::Retrying);
        ASSERT_EQ(got.messages.size(), 1);
        EXPECT_TRUE(got.messages[0].contains(c.says)) << got.messages[0].toStdString();
        EXPECT_TRUE(got.messages[0].contains(c.path));
        EXPECT_FALSE(link.send({19, 0})) << "nothing goes out while the port is not open";
        EXPECT_EQ(got.messages.size(), 1) << "the panel, not the link, says what becomes of the click";
    }

    // The device appears later at the same path: the next retry opens it.
    PtyPair pair;
    const QString link_path = dir.filePath("board");
    SerialLink link(link_path);
    Received got(link);
    link.open();
    ASSERT_EQ(link.state(), SerialLink::State::Retrying);
    ASSERT_TRUE(QFile::link(pair.path(), link_path));
    ASSERT_TRUE(wait_until([&] { return link.state() == SerialLink::State::Open; }, 6000));
    EXPECT_EQ(got.messages.size(), 2) << got.messages.join("\n").toStdString();
    EXPECT_EQ(got.messages.last(), QStringLiteral("Serial port %1 is open.").arg(link_path)) << "its first open is no return";
}

TEST(SerialLink, UnplugIsReportedOnceCostsNothingAndResumes) {
    QTemporaryDir dir;
    const QString link_path = dir.filePath("board");
    auto first = std::make_unique<PtyPair>();
    ASSERT_TRUE(QFile::link(first->path(), link_path));
    SerialLink link(link_path);
    Received got(link);
    link.open();
    ASSERT_EQ(link.state(), SerialLink::State::Open);
    first->write("abc");
    ASSERT_TRUE(wait_until([&] { return got.bytes == "abc"; }));

    // The far end goes away mid-stream, as when a USB adapter is pulled.
    first->close_slave();
    first->close_master();
    ASSERT_TRUE(wait_until([&] { return link.state() == SerialLink::State::Lost; }, 3000));
    const qsizetype said = got.messages.size();
    const double cpu_before = cpu_seconds();
    QElapsedTimer wall;
    wall.start();
    idle(1500);
    const double cpu_share = (cpu_seconds() - cpu_before) / (wall.elapsed() / 1000.0);
    EXPECT_EQ(got.messages.size(), said) << "the loss is reported once";
    EXPECT_LT(cpu_share, 0.25) << "waiting for the device must not spin";
    EXPECT_EQ(link.state(), SerialLink::State::Lost);
    EXPECT_FALSE(link.send({19, 0}));

    // A new device at the same link: the port opens again and bytes flow.
    PtyPair second;
    QFile::remove(link_path);
    ASSERT_TRUE(QFile::link(second.path(), link_path));
    ASSERT_TRUE(wait_until([&] { return link.state() == SerialLink::State::Open; }, 6000));
    second.write("xyz");
    ASSERT_TRUE(wait_until([&] { return got.bytes == "abcxyz"; }));
    EXPECT_TRUE(link.send({19, 0}));
}

TEST(SerialLink, APortGivenByNameIsFoundUnderDev) {
    PtyPair pair;
    ASSERT_TRUE(pair.path().startsWith("/dev/"));
    SerialLink link(pair.path().mid(5));  // "pts/N", as a user would write "ttyUSB0"
    link.open();
    EXPECT_EQ(link.state(), SerialLink::State::Open);
    EXPECT_EQ(SerialLink(QString()).port(), SerialLink::default_port());
}

// At the line rate the link wakes at the display's pace, not per frame, and loses nothing; a
// frame after a quiet spell is handed on in one piece.
TEST(SerialLink, ReadsAreGatheredAtTheDisplaysPaceWithEveryByteInOrder) {
    PtyPair pair;
    SerialLink link(pair.path());
    std::vector<QByteArray> chunks;
    QObject::connect(&link, &SerialLink::received, [&](const QByteArray& c) { chunks.push_back(c); });
    link.open();
    ASSERT_EQ(link.state(), SerialLink::State::Open);

    QByteArray frame(16, '\x41');
    frame += '\0';
    pair.write(frame);
    ASSERT_TRUE(wait_until([&] { return !chunks.empty(); }));
    EXPECT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks.front(), frame) << "the whole frame in one read";

    // A second of frames about 9 ms apart, written from the event loop as a board would send them.
    chunks.clear();
    QByteArray sent;
    int written = 0;
    QTimer board;
    board.setTimerType(Qt::PreciseTimer);
    board.setInterval(9);
    QObject::connect(&board, &QTimer::timeout, [&] {
        QByteArray f(16, static_cast<char>(1 + written % 250));
        f += '\0';
        pair.write(f);
        sent += f;
        if (++written == 111) board.stop();
    });
    board.start();
    ASSERT_TRUE(wait_until([&] {
        qsizetype got = 0;
        for (const QByteArray& c : chunks) got += c.size();
        return !board.isActive() && got == sent.size();
    }));
    QByteArray joined;
    for (const QByteArray& c : chunks) joined += c;
    EXPECT_EQ(joined, sent);
    EXPECT_LE(chunks.size(), 1000 / ReadPace::kPaceMs + 5) << "about one read per display tick, not one per frame";

    // A quiet line hands on nothing.
    chunks.clear();
    idle(3 * ReadPace::kPaceMs);
    EXPECT_TRUE(chunks.empty());
}
