#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "link/control_byte.h"
#include "link/frame_decoder.h"
#include "link/port_name.h"
#include "panel/frame_path.h"
#include "cells/number_text.h"
#include "panel/panel_logic.h"
#include "sim/frame_encoder.h"
#include "tests/support/random_frames.h"

using namespace sensor;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    return std::vector<std::uint8_t>(values.begin(), values.end());
}

struct Fed {
    int frames = 0;
};

Fed feed(FrameReceiver& r, const std::vector<std::uint8_t>& stream) {
    Fed fed;
    for (auto ch : stream) fed.frames += r.receive(ch) ? 1 : 0;
    return fed;
}

}  // namespace

TEST(FrameReceiver, StartsWithSlotsAt255AndTheSpareSlotsAtZero) {
    FrameReceiver r;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(r.FrameBytes[i], 255.0f) << i;
    for (int i = 16; i < 20; ++i) EXPECT_EQ(r.FrameBytes[i], 0.0f) << i;
    EXPECT_EQ(r.FrameIndex, 0);
}

TEST(FrameReceiver, FullShortLongAndRepeatedFrames) {
    {
        FrameReceiver r;
        auto s = bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
        for (auto ch : s) EXPECT_FALSE(r.receive(ch));
        EXPECT_EQ(r.FrameIndex, 16);
        EXPECT_TRUE(r.receive(0));
        EXPECT_EQ(r.FrameIndex, 0);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(r.FrameBytes[i], i + 1);
    }
    {   // the 17th byte wraps onto slot 0
        FrameReceiver r;
        std::vector<std::uint8_t> s;
        for (int i = 1; i <= 17; ++i) s.push_back(static_cast<std::uint8_t>(i));
        s.push_back(0);
        EXPECT_EQ(feed(r, s).frames, 1);
        EXPECT_EQ(r.FrameBytes[0], 17);
        for (int i = 1; i < 16; ++i) EXPECT_EQ(r.FrameBytes[i], i + 1);
        for (int i = 16; i < 20; ++i) EXPECT_EQ(r.FrameBytes[i], 0.0f) << "spare slot written";
    }
    {   // a short frame keeps the older slots
        FrameReceiver r;
        EXPECT_EQ(feed(r, bytes({5, 0})).frames, 1);
        EXPECT_EQ(r.FrameBytes[0], 5);
        for (int i = 1; i < 16; ++i) EXPECT_EQ(r.FrameBytes[i], 255);
    }
    {   // every zero decodes once
        FrameReceiver r;
        EXPECT_EQ(feed(r, bytes({0, 0, 0, 7, 0, 0})).frames, 5);
    }
    {   // hundreds of bytes with no zero never leave the slots
        FrameReceiver r;
        std::vector<std::uint8_t> s(1000, 9);
        feed(r, s);
        EXPECT_LE(r.FrameIndex, 16);
        EXPECT_GE(r.FrameIndex, 0);
    }
}

TEST(FrameReceiver, OtherEventOnlyWrapsTheIndex) {
    FrameReceiver r;
    for (int i = 1; i <= 16; ++i) r.receive(static_cast<std::uint8_t>(i));
    ASSERT_EQ(r.FrameIndex, 16);
    const FrameSlots before = r.FrameBytes;
    r.other_event();
    EXPECT_EQ(r.FrameIndex, 0);
    EXPECT_EQ(r.FrameBytes, before);
    r.receive(3);
    r.other_event();
    EXPECT_EQ(r.FrameIndex, 1);
}

TEST(FrameDecoder, ModuleBytesToCells) {
    struct Case {
        const char* name;
        std::array<int, 4> module1;  // head, IR low, TOF high, TOF low
        const char* ir;
        const char* tof;
        const char* metres;
        bool high_zeroed, low_zeroed;
    };
    const Case cases[] = {
        {"plain", {0x41, 0xFF, 0x01, 0x2C}, "255", "300", "0.0508", false, false},
        {"both flags", {0x70, 0x80, 0x55, 0x66}, "0", "0", "0", true, true},
        {"high flag", {0x21, 0x7F, 0x7F, 0x33}, "255", "51", "0.008636", true, false},
        {"low flag", {0x11, 0x00, 0x02, 0x33}, "128", "512", "0.0866986666666667", false, true},
        {"largest", {0x07, 0x7F, 0xFF, 0xFF}, "1023", "65535", "11.09726", false, false},
        // Divided by 1800 before the multiplication by 0.3048; the other order ends in ...33.
        {"division first", {0x40, 0x01, 0xB9, 0x0B}, "1", "47371", "8.02148933333334", false, false},
    };
    for (const Case& c : cases) {
        FrameSlots b{};
        b.fill(0x41);
        for (int i = 0; i < 4; ++i) b[i] = static_cast<float>(c.module1[i]);
        CellStore cells;
        decode_frame(b, cells, '.');
        EXPECT_EQ(cells.Text1[0], c.ir) << c.name;
        EXPECT_EQ(cells.Text1[1], c.tof) << c.name;
        EXPECT_EQ(cells.Text1[6], c.metres) << c.name;
        EXPECT_EQ(b[2] == 0.0f, c.high_zeroed) << c.name << ": the flag's zero stays in the slot";
        EXPECT_EQ(b[3] == 0.0f, c.low_zeroed) << c.name;
    }
}

TEST(FrameDecoder, ZeroAloneRightAfterStartUp) {
    // All slots 255: every head flag is set, so all six time-of-flight slots become 0.
    PanelLogic panel;
    panel.Load();
    ASSERT_TRUE(panel.receive(0).frame_ended);
    const auto& t = panel.cells().Text1;
    for (int i : {0, 2, 4, 9, 10}) EXPECT_EQ(t[i], "1023") << i;
    for (int i : {1, 3, 5, 6, 7, 8}) EXPECT_EQ(t[i], "0") << i;
    for (int i : {11, 12, 13}) EXPECT_EQ(t[i], "ERR") << i;
    EXPECT_EQ(t[14], "white");
    EXPECT_EQ(t[15], "white");
    const auto& slots = panel.frame_path().receiver.FrameBytes;
    for (int i : {2, 3, 6, 7, 10, 11}) EXPECT_EQ(slots[i], 0.0f) << i;
    for (int i : {0, 1, 4, 5, 8, 9, 12, 13, 14, 15}) EXPECT_EQ(slots[i], 255.0f) << i;
}

TEST(FrameDecoder, EveryValueOfAHeadByte) {
    // Module 2's head byte at position 4 takes each of its 256 values; its flags refer to
    // positions 6 and 7, its reading bits to position 5. A zero there ends the frame early.
    for (int head = 0; head < 256; ++head) {
        SCOPED_TRACE(head);
        PanelLogic panel;
        panel.Load();
        const std::vector<std::uint8_t> frame = {0x41, 0x01, 0x01, 0x01, static_cast<std::uint8_t>(head), 0xD5, 0x12, 0x34,
                                                 0x41, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0};
        int ends = 0;
        for (std::uint8_t ch : frame) ends += panel.receive(ch).frame_ended ? 1 : 0;
        const auto& t = panel.cells().Text1;
        if (head == 0) {
            EXPECT_EQ(ends, 2) << "the zero head ends a short frame, the last zero another";
            continue;
        }
        ASSERT_EQ(ends, 1);
        EXPECT_EQ(t[2], std::to_string((head & 7) * 128 + (0xD5 & 127)));
        const int high = (head & 0x20) ? 0 : 0x12;
        const int low = (head & 0x10) ? 0 : 0x34;
        EXPECT_EQ(t[3], std::to_string(high * 256 + low));
        EXPECT_EQ(t[7], double_text((high * 256 + low) / 1800.0 * 0.3048));
        EXPECT_EQ(t[0], "129") << "module 1 is untouched by module 2's flags";
        EXPECT_EQ(t[1], "257");
    }
}

TEST(FramePath, TheTypedResultIsWhatTheCellsShow) {
    PanelLogic panel;
    panel.Load();
    std::vector<std::uint8_t> stream = sensor::testing::random_frames(300, 5);
    // A short frame, a wrapped one and a lone zero, for the byte counts.
    for (int ch : {0x41, 0x01, 0}) stream.push_back(static_cast<std::uint8_t>(ch));
    for (int i = 0; i < 20; ++i) stream.push_back(0x42);
    stream.push_back(0);
    stream.push_back(0);
    std::vector<int> data_bytes;
    panel.receive(stream, [&](const FrameResult& r) {
        const auto& t = panel.cells().Text1;
        data_bytes.push_back(r.data_bytes);
        EXPECT_EQ(r.index, panel.frames_decoded());
        for (std::size_t m = 0; m < 3; ++m) {
            EXPECT_EQ(integer_text(r.infrared[m]), t[2 * m]);
            EXPECT_EQ(single_text(r.time_of_flight[m]), t[2 * m + 1]);
            EXPECT_EQ(double_text(r.ultrasonic_m[m]), t[6 + m]);
            const InfraredDistance& d = r.infrared_cm[m];
            const std::string shown = d.mark == InfraredMark::Number ? double_text(d.cm)
                                      : d.mark == InfraredMark::Err  ? "ERR"
                                                                     : "OK";
            EXPECT_EQ(shown, t[11 + m]);
        }
        for (std::size_t g = 0; g < 2; ++g) {
            EXPECT_EQ(integer_text(r.ground[g]), t[9 + g]);
            EXPECT_EQ(r.verdict[g] == Verdict::White ? "white" : "black", t[14 + g]);
        }
    });
    ASSERT_EQ(data_bytes.size(), 303u);
    EXPECT_EQ(data_bytes[299], 16);
    EXPECT_EQ(data_bytes[300], 2) << "short";
    EXPECT_EQ(data_bytes[301], 20) << "wrapped";
    EXPECT_EQ(data_bytes[302], 0) << "a lone zero";
}

TEST(FrameDecoder, FlaggedZeroSurvivesAShortFrame) {
    // The zero a flag wrote stays until a byte for that position arrives, so the next short
    // frame that stops before it still reads 0 there.
    PanelLogic panel;
    panel.Load();
    auto frame = encode_frame({{100, 200, 300}, {0x0005, 0x1234, 0xFFFF}, {10, 900}});
    for (auto ch : frame) panel.receive(ch);
    EXPECT_EQ(panel.frame_path().receiver.FrameBytes[2], 0.0f);
    EXPECT_EQ(panel.cells().Text1[1], "5");
    panel.receive(0x41);  // head byte only, with no flags, then the end
    panel.receive(0);
    EXPECT_EQ(panel.cells().Text1[1], "5") << "slot 2 still holds the flagged zero";
}

TEST(FrameEncoder, RandomReadingsDecodeToThemselves) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> ir(0, 1023), tof(0, 65535), pick(0, 3);
    PanelLogic panel;
    panel.Load();
    for (int n = 0; n < 5000; ++n) {
        BoardReadings r;
        for (auto& v : r.infrared) v = ir(rng);
        // Bias towards bytes of 0 so the zero flags are exercised often.
        for (auto& v : r.time_of_flight) {
            const int k = pick(rng);
            v = k == 0 ? tof(rng) & 0xFF : k == 1 ? tof(rng) & 0xFF00 : k == 2 ? 0 : tof(rng);
        }
        for (auto& v : r.ground) v = ir(rng);
        const auto frame = encode_frame(r);
        for (int i = 0; i < 16; ++i) ASSERT_NE(frame[i], 0) << "data byte " << i << " is zero";
        int ends = 0;
        for (auto ch : frame) ends += panel.receive(ch).frame_ended;
        ASSERT_EQ(ends, 1);
        const auto& t = panel.cells().Text1;
        for (int m = 0; m < 3; ++m) {
            ASSERT_EQ(t[2 * m], std::to_string(r.infrared[m]));
            ASSERT_EQ(t[2 * m + 1], std::to_string(r.time_of_flight[m]));
        }
        ASSERT_EQ(t[9], std::to_string(r.ground[0]));
        ASSERT_EQ(t[10], std::to_string(r.ground[1]));
    }
}

namespace {

struct Snapshot {
    CellStore cells;
    FrameSlots slots;
    bool operator==(const Snapshot& o) const {
        return cells.Text1 == o.cells.Text1 && slots == o.slots;
    }
};

std::vector<Snapshot> run(const std::vector<std::uint8_t>& stream, const std::vector<std::size_t>& cuts) {
    PanelLogic panel;
    panel.Load();
    std::vector<Snapshot> seen;
    auto snap = [&](const FrameResult&) {
        seen.push_back({panel.cells(), panel.frame_path().receiver.FrameBytes});
    };
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        panel.receive(std::span(stream).subspan(from, cut - from), snap);
        from = cut;
    }
    panel.receive(std::span(stream).subspan(from), snap);
    return seen;
}

}  // namespace

TEST(FramePath, ChunkingNeverChangesWhatIsDecoded) {
    // Frames of every length with stray zeros, long runs and flags, as a noisy line would give.
    std::mt19937 rng(11);
    std::vector<std::uint8_t> stream;
    for (int f = 0; f < 40; ++f) {
        const int len = std::uniform_int_distribution<int>(0, 24)(rng);
        for (int i = 0; i < len; ++i) stream.push_back(static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 255)(rng)));
        stream.push_back(0);
    }
    const auto whole = run(stream, {});
    ASSERT_EQ(whole.size(), 40u);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ASSERT_EQ(run(stream, {cut}), whole) << "split at " << cut;
    }
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0; at < stream.size();) {
            at += std::uniform_int_distribution<std::size_t>(1, 40)(rng);
            if (at < stream.size()) cuts.push_back(at);
        }
        ASSERT_EQ(run(stream, cuts), whole) << "trial " << trial;
    }
}

TEST(ControlByte, TogglesGuardAndPulse) {
    EXPECT_EQ(control_message(19), (ControlMessage{19, 0}));
    EXPECT_EQ(control_message(0x93), (ControlMessage{0x93, 0}));
    EXPECT_EQ(toggled_bit(19, control_bit::kMeasuring), 147);
    EXPECT_EQ(toggled_bit(147, control_bit::kMeasuring), 19);
    EXPECT_EQ(reset_pulse(147), 211);
    EXPECT_EQ(toggled_group(19, control_bit::kInfraredGroup), 18);
    EXPECT_EQ(toggled_group(18, control_bit::kUltrasonicGroup), 16);
    EXPECT_EQ(toggled_group(16, control_bit::kGroundGroup), std::nullopt) << "the last group stays on";
    EXPECT_EQ(toggled_group(16 | 0x80 | 0x0C, control_bit::kGroundGroup), std::nullopt) << "options are no groups";
    EXPECT_EQ(toggled_group(16, control_bit::kInfraredGroup), 17);
}

TEST(PortName, NamesOfOnePortAreOnePort) {
    struct Case {
        PortSystem system;
        const char* name;
        const char* device;
    };
    const Case cases[] = {
        {PortSystem::Posix, "ttyUSB0", "/dev/ttyUSB0"},
        {PortSystem::Posix, "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {PortSystem::Posix, "/tmp/board", "/tmp/board"},
        {PortSystem::Posix, "COM3", "/dev/COM3"},
        {PortSystem::Windows, "COM3", R"(\\.\COM3)"},
        {PortSystem::Windows, "com12", R"(\\.\COM12)"},
        {PortSystem::Windows, R"(\\.\COM3)", R"(\\.\COM3)"},
        {PortSystem::Windows, "//./com4", R"(\\.\COM4)"},
        {PortSystem::Windows, "COM", "COM"},
        {PortSystem::Windows, "COMX", "COMX"},
        {PortSystem::Windows, "/dev/ttyS0", "/dev/ttyS0"},
    };
    for (const Case& c : cases) EXPECT_EQ(port_device_path(c.name, c.system), c.device) << c.name;
    EXPECT_TRUE(same_port("ttyS0", "/dev/ttyS0", PortSystem::Posix));
    EXPECT_FALSE(same_port("ttyS0", "/dev/ttyS1", PortSystem::Posix));
    EXPECT_TRUE(same_port("com3", R"(\\.\COM3)", PortSystem::Windows));
    EXPECT_FALSE(same_port("COM3", "COM13", PortSystem::Windows));
}

// A replayed command is said by what it did, told from the byte before it.
TEST(ControlByte, ACommandIsToldByWhatItChanged) {
    struct Case {
        std::int16_t before, sent;
        const char* says;
    };
    const Case cases[] = {
        {19, 147, "START"},       {147, 19, "STOP"},
        {147, 211, "Reset"},      {19, 18, "IR off"},
        {18, 19, "IR on"},        {19, 17, "US off"},
        {19, 3, "Ground off"},    {19, 27, "US short distance on"},
        {23, 19, "US interference override off"},
        {147, 147, "the panel's state (byte 147)"},
        {19, 150, "the panel's state (byte 150)"},  // two bits at once: no single action
    };
    for (const Case& c : cases) EXPECT_EQ(command_text(c.before, c.sent), c.says) << c.before << " -> " << c.sent;
    EXPECT_EQ(byte_after(211), kControlByteStart) << "a reset leaves the board at the start value";
    EXPECT_EQ(byte_after(147), 147);
}
