// The link's and the log's policies without a port, a file or a clock: every event is given its
// time, so retries and the once-per-cause rule are checked to the millisecond.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "eval/waiting_lines.h"
#include "link/link_policy.h"
#include "link/read_pace.h"
#include "link/win32_error.h"

using namespace sensor;

namespace {

std::vector<std::string> said(std::initializer_list<LinkPolicy::Step> steps) {
    std::vector<std::string> sentences;
    for (const auto& s : steps)
        if (s.sentence) sentences.push_back(*s.sentence);
    return sentences;
}

}  // namespace

TEST(LinkPolicy, OpenFailuresAreSaidOncePerCauseAndRetriedOnTime) {
    LinkPolicy p("/dev/ttyUSB0", 2000);
    p.open_requested(0);
    const auto first = p.open_failed(0, OpenFailure::NoSuchDevice, "");
    EXPECT_TRUE(first.state_changed);
    EXPECT_EQ(p.state(), LinkState::Retrying);
    ASSERT_TRUE(first.sentence);
    EXPECT_EQ(*first.sentence,
              "Cannot open serial port /dev/ttyUSB0: no such device. No serial ports were found; plug in the board or "
              "its USB-serial adapter. Retrying every 2 s.");
    EXPECT_FALSE(p.retry_due(1999));
    EXPECT_TRUE(p.retry_due(2000));

    // The same cause again says nothing; a new cause is said; going back to the first says it again.
    EXPECT_TRUE(said({p.open_failed(2000, OpenFailure::NoSuchDevice, "")}).empty());
    const auto busy = said({p.open_failed(4000, OpenFailure::Busy)});
    ASSERT_EQ(busy.size(), 1u);
    EXPECT_EQ(busy[0], "Cannot open serial port /dev/ttyUSB0: it is busy; another program is using it. Retrying every 2 s.");
    EXPECT_EQ(said({p.open_failed(6000, OpenFailure::NoSuchDevice, "")}).size(), 1u);
    EXPECT_EQ(p.next_retry_ms(), 8000);

    const auto open = p.opened(6500);
    EXPECT_TRUE(open.state_changed);
    EXPECT_EQ(*open.sentence, "Serial port /dev/ttyUSB0 is open.") << "never open before: not \"again\"";
    EXPECT_FALSE(p.retry_due(100000)) << "an open port is not retried";
}

TEST(LinkPolicy, EachFailureHasItsOwnSentence) {
    LinkPolicy p("COM3");
    struct Case {
        OpenFailure failure;
        std::string detail;
        std::string says;
    };
    const Case cases[] = {
        {OpenFailure::NoSuchDevice, "/dev/ttyUSB1 (FT232R USB UART)", "no such device. Ports on this machine: /dev/ttyUSB1 (FT232R USB UART)."},
        {OpenFailure::PermissionDenied, "dialout", "permission denied. Add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again."},
        {OpenFailure::PermissionDenied, "uucp", "permission denied. Add your user to the uucp group (sudo usermod -aG uucp $USER) and log in again."},
        {OpenFailure::PermissionDenied, "root", "permission denied."},
        {OpenFailure::PermissionDenied, "", "permission denied."},
        {OpenFailure::BusyOrDenied, "", "it is busy or access was denied; another program may be using it."},
        {OpenFailure::NotASerialDevice, "", "it is not a serial device."},
        {OpenFailure::Other, "input/output error", "input/output error."},
    };
    for (const Case& c : cases) {
        const std::string s = p.failure_sentence(c.failure, c.detail);
        EXPECT_EQ(s, "Cannot open serial port COM3: " + c.says);
    }
}

// A Win32 error code decides the sentence and whether the port is read again, lost or retried.
TEST(Win32Error, EachCodeMeansWhatWindowsAndWineMeanByIt) {
    struct Open {
        const char* name;
        std::uint32_t code;
        OpenFailure failure;
    };
    const Open opens[] = {
        {"file not found: no COMn", 2, OpenFailure::NoSuchDevice},
        {"path not found", 3, OpenFailure::NoSuchDevice},
        {"access denied: held by another program, or not this user's", 5, OpenFailure::BusyOrDenied},
        {"sharing violation", 32, OpenFailure::Busy},
        {"lock violation: held exclusively by a Linux program (Wine)", 33, OpenFailure::Busy},
        {"invalid name", 123, OpenFailure::Other},
        {"broken pipe is no reason not to open", 109, OpenFailure::Other},
    };
    for (const Open& c : opens) EXPECT_EQ(open_failure_of_win32_error(c.code), c.failure) << c.name;

    struct Read {
        const char* name;
        std::uint32_t code;
        Win32ReadFailure outcome;
    };
    const Read reads[] = {
        {"counter timeout: Wine's read that timed out", 1460, Win32ReadFailure::NoDataYet},
        {"not ready: Wine after an unplug", 21, Win32ReadFailure::Unplugged},
        {"bad command: a USB adapter pulled", 22, Win32ReadFailure::Unplugged},
        {"general failure", 31, Win32ReadFailure::Unplugged},
        {"broken pipe: Wine's overlapped read after an unplug", 109, Win32ReadFailure::Unplugged},
        {"operation aborted: a pending read ended by the driver", 995, Win32ReadFailure::Unplugged},
        {"device not connected", 1167, Win32ReadFailure::Unplugged},
        {"access denied", 5, Win32ReadFailure::Other},
        {"invalid handle", 6, Win32ReadFailure::Other},
        {"not supported: no modem lines on a pseudo-terminal", 50, Win32ReadFailure::Other},
    };
    for (const Read& c : reads) EXPECT_EQ(read_failure_of_win32_error(c.code), c.outcome) << c.name;
}

TEST(LinkPolicy, AReadablePortThatGivesNothingHasBeenUnplugged) {
    LinkPolicy p("/dev/ttyACM0", 2000);
    p.opened(0);
    EXPECT_TRUE(said({p.read(10, 17)}).empty());
    EXPECT_EQ(p.state(), LinkState::Open);

    const auto gone = p.read(20, 0);
    EXPECT_TRUE(gone.state_changed);
    EXPECT_EQ(p.state(), LinkState::Lost);
    ASSERT_TRUE(gone.sentence);
    EXPECT_EQ(*gone.sentence, "Lost serial port /dev/ttyACM0: the device was unplugged or switched off. Retrying every 2 s; "
                              "the panel keeps its state.");
    EXPECT_TRUE(p.retry_due(2020));

    // While it is away the port stays "lost"; its retries' failures are said once, and the return is "again".
    EXPECT_EQ(said({p.open_failed(2020, OpenFailure::NoSuchDevice, ""), p.open_failed(4020, OpenFailure::NoSuchDevice, "")}).size(), 1u);
    EXPECT_EQ(p.state(), LinkState::Lost);
    EXPECT_TRUE(said({p.lost(4030, LossCause::Unplugged)}).empty()) << "a port already lost is not lost twice";
    EXPECT_EQ(*p.opened(6020).sentence, "Serial port /dev/ttyACM0 is open again.");
}

TEST(LinkPolicy, AnotherPortStartsAfresh) {
    LinkPolicy p("/dev/ttyS0");
    p.open_failed(0, OpenFailure::NoSuchDevice, "");
    p.switch_port("/dev/ttyUSB0");
    EXPECT_EQ(p.port(), "/dev/ttyUSB0");
    EXPECT_EQ(p.state(), LinkState::Closed);
    EXPECT_EQ(said({p.open_failed(10, OpenFailure::NoSuchDevice, "")}).size(), 1u) << "a new port's failure is news";
    EXPECT_EQ(*p.opened(20).sentence, "Serial port /dev/ttyUSB0 is open.");
    EXPECT_FALSE(p.closed().sentence);
    EXPECT_EQ(p.state(), LinkState::Closed);
    EXPECT_FALSE(p.retry_due(1'000'000)) << "a closed port is not retried";
}

namespace {

// A file that takes lines until told otherwise, and says why it refuses.
struct Disk {
    std::vector<std::string> lines;
    std::string refusing;  // empty while it takes lines
    WaitingLines::Writer writer() {
        return [this](const std::string& line) {
            if (refusing.empty()) lines.push_back(line);
            return refusing;
        };
    }
};

}  // namespace

TEST(WaitingLines, LinesWaitInOrderAndEachCauseIsSaidOnce) {
    Disk disk;
    WaitingLines w("/logs/sensors.csv", 100, 2000);
    w.add("1\r\n");
    EXPECT_TRUE(w.write_out(0, disk.writer()));
    EXPECT_TRUE(w.take_sentences().empty());

    disk.refusing = "no space left on device";
    w.add("2\r\n");
    EXPECT_FALSE(w.write_out(100, disk.writer()));
    w.add("3\r\n");
    EXPECT_FALSE(w.write_out(200, disk.writer()));
    EXPECT_EQ(w.take_sentences(), (std::vector<std::string>{"Cannot write /logs/sensors.csv: no space left on device. Lines wait and are retried every 2 s."}))
        << "the same cause twice is said once";
    EXPECT_EQ(w.next_retry_ms(), 2200);
    EXPECT_FALSE(w.retry_due(2199));
    EXPECT_TRUE(w.retry_due(2200));
    EXPECT_EQ(w.state_text(), "cannot write: no space left on device; 2 lines waiting");

    disk.refusing = "permission denied";
    EXPECT_FALSE(w.write_out(2200, disk.writer()));
    EXPECT_EQ(w.take_sentences(), (std::vector<std::string>{"Cannot write /logs/sensors.csv: permission denied. Lines wait and are retried every 2 s."}));

    disk.refusing.clear();
    w.add("4\r\n");
    EXPECT_TRUE(w.write_out(4400, disk.writer()));
    EXPECT_EQ(disk.lines, (std::vector<std::string>{"1\r\n", "2\r\n", "3\r\n", "4\r\n"})) << "in order, none twice";
    EXPECT_EQ(w.take_sentences(), (std::vector<std::string>{"Writing /logs/sensors.csv again; every waiting line is written."}));
    EXPECT_FALSE(w.retry_due(1'000'000)) << "nothing waits";
    EXPECT_EQ(w.exit_report(), "");
}

TEST(WaitingLines, PastTheCapLinesAreDroppedCountedAndReportedRightly) {
    Disk disk;
    disk.refusing = "no space left on device";
    WaitingLines w("/dev/full", 3, 2000);
    for (int i = 0; i < 5; ++i) {
        w.add(std::to_string(i));
        w.write_out(i, disk.writer());
    }
    EXPECT_EQ(w.waiting(), 3u);
    EXPECT_EQ(w.dropped(), 2u);
    const auto sentences = w.take_sentences();
    ASSERT_EQ(sentences.size(), 2u);
    EXPECT_EQ(sentences[1], "Cannot write /dev/full: no space left on device; the most lines kept (3) are waiting, so newer lines are dropped and counted.");
    EXPECT_EQ(w.state_text(), "cannot write: no space left on device; 3 lines waiting; 2 dropped");

    EXPECT_EQ(w.exit_report(), "3 lines were not written to /dev/full (no space left on device); 2 more had been dropped while they waited.");
    WaitingLines one("/x.csv", 3, 2000);
    one.add("a");
    one.write_out(0, disk.writer());
    EXPECT_EQ(one.exit_report(), "1 line was not written to /x.csv (no space left on device).");
    disk.refusing.clear();
    w.write_out(10, disk.writer());
    EXPECT_EQ(w.exit_report(), "2 lines were dropped while /dev/full could not be written; every other line is in the file.")
        << "no \"0 lines could not be written\"";

    // Waiting lines saved elsewhere or discarded are not in the file either.
    WaitingLines set_aside("/dev/full", 1, 2000);
    disk.refusing = "no space left on device";
    for (int i = 0; i < 3; ++i) set_aside.add(std::to_string(i));
    set_aside.write_out(0, disk.writer());
    set_aside.discard();
    set_aside.take_sentences();
    EXPECT_TRUE(set_aside.write_out(1, disk.writer()));
    EXPECT_TRUE(set_aside.take_sentences().empty()) << "nothing was written, so the file is not said to work again";
    EXPECT_EQ(set_aside.exit_report(), "2 lines were dropped while /dev/full could not be written.");
}

TEST(ReadPace, BytesWaitForTheDisplayUnlessTheyComeFasterThanTheLine) {
    ReadPace pace;
    EXPECT_EQ(pace.wait_ms(0), ReadPace::kFirstReadDelayMs) << "the first byte of a quiet spell: its frame's time";
    pace.read(10, 17);
    EXPECT_EQ(pace.wait_ms(20), 50) << "the next read at the display's pace";
    EXPECT_EQ(pace.wait_ms(65), ReadPace::kFirstReadDelayMs) << "never sooner than the short deadline";

    pace.read(70, 5000);  // a stall's worth of bytes
    EXPECT_TRUE(pace.backlog());
    EXPECT_EQ(pace.wait_ms(71), 0) << "a backlog is read as it comes";
    pace.read(100, 4000);
    pace.read(131, 100);
    EXPECT_TRUE(pace.backlog()) << "still more than a paced read would find in the interval";
    pace.read(150, 100);
    pace.read(192, 100);
    EXPECT_FALSE(pace.backlog()) << "a whole interval that brought little: the line's pace again";
    pace.reset();
    EXPECT_EQ(pace.wait_ms(1000), ReadPace::kFirstReadDelayMs);
}
