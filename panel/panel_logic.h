// The window's behaviour without the window: start-up, every click, the run clock's tick and each
// received byte, over the cell store. The view copies the texts out and forwards events in.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "cells/cell_store.h"
#include "link/command_sink.h"
#include "link/control_byte.h"
#include "panel/frame_path.h"
#include "link/frame_result.h"

namespace sensor {

enum class CommandOutcome {
    Sent,
    Refused,  // the last sensor group stays on; nothing changed and nothing was sent
    Pending,  // the panel changed but the board was not reached; it is told when it is back
};

class PanelLogic {
public:
    // The decimal separator for numbers shown in cells (the locale's); log lines always use ".".
    explicit PanelLogic(char decimal_separator = '.');

    // Start-up: start texts, ControlByte 19, slots at 255, the run clock stopped. Sends nothing;
    // opening the port is the link adapter's part.
    void Load();

    ByteOutcome receive(std::uint8_t ch);
    // A chunk as the port hands it over: each byte in order, one at a time; on_frame runs after
    // each frame's sequence, while the cells show that frame.
    void receive(std::span<const std::uint8_t> bytes, const std::function<void(const FrameResult&)>& on_frame);
    void other_comm_event();

    CommandOutcome Command1_Click();  // START / STOP
    CommandOutcome Command2_Click();  // US group
    CommandOutcome Command3_Click();  // Reset
    CommandOutcome Command4_Click();  // IR group
    void Command5_Click();            // CLEAR the run clock
    CommandOutcome Command6_Click();  // Ground group
    CommandOutcome Check1_Click();    // ultrasonic short distance measurement
    CommandOutcome Check2_Click();    // ultrasonic interference control override
    void Timer1_Timer();

    void set_sink(CommandSink* sink) { sink_ = sink; }

    // The board may not know what the panel shows: a command that did not reach it, a connection
    // lost (the board may have lost power), another port chosen. Then the next open sends the
    // panel's ControlByte once; a first open with nothing missed sends nothing.
    void connection_lost() { board_behind_ = true; }
    void connection_switched() { board_behind_ = true; }
    // Returns true when the panel's byte was sent to bring the board in step.
    bool connection_opened();
    // The bytes start afresh (a connection opened, a replay restarted): a frame cut off by that
    // is dropped, not joined to what comes next.
    void stream_restarted() { frame_path_.receiver.new_stream(); }
    bool board_behind() const { return board_behind_; }

    const CellStore& cells() const { return cells_; }
    CellStore& cells() { return cells_; }
    std::int16_t ControlByte() const { return control_byte_; }
    std::int64_t RunClock() const { return run_clock_; }
    bool Timer1Enabled() const { return timer1_enabled_; }
    bool Check1() const { return check1_; }
    bool Check2() const { return check2_; }
    // The frame that ended last, as numbers, with its log line when one was due.
    const FrameResult& last_frame() const { return frame_path_.last_frame(); }
    const FramePath& frame_path() const { return frame_path_; }
    FramePath& frame_path() { return frame_path_; }
    std::uint64_t frames_decoded() const { return frames_decoded_; }
    char decimal_separator() const { return sep_; }

private:
    CommandOutcome send(std::int16_t control_byte);
    CommandOutcome toggle_group(std::int16_t group_bit, std::string& state_cell);
    CommandOutcome toggle_option(std::int16_t bit, bool& box);

    char sep_;
    CellStore cells_;
    FramePath frame_path_;
    CommandSink* sink_ = nullptr;
    std::int16_t control_byte_ = kControlByteStart;
    // Whole seconds in 64 bits: a single-precision count would stop growing at 16,777,216.
    std::int64_t run_clock_ = 0;
    bool timer1_enabled_ = true;  // as designed; start-up disables it
    bool check1_ = false;
    bool check2_ = false;
    bool board_behind_ = false;
    std::uint64_t frames_decoded_ = 0;
};

}  // namespace sensor
