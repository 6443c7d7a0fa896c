#include "panel/panel_logic.h"

#include "cells/number_text.h"

namespace sensor {
namespace {

void flip_state(std::string& cell) { cell = (cell != "ON") ? "ON" : "OFF"; }

}  // namespace

PanelLogic::PanelLogic(char decimal_separator) : sep_(decimal_separator) {}

void PanelLogic::Load() {
    control_byte_ = kControlByteStart;
    frame_path_.receiver.reset();
    for (auto& cell : cells_.Text1) cell.clear();
    for (auto& cell : cells_.Text2) cell = "ON";
    cells_.Text3.clear();
    cells_.Command1 = "START";
    frame_path_.receiver.FrameIndex = 0;
    timer1_enabled_ = false;
}

ByteOutcome PanelLogic::receive(std::uint8_t ch) {
    ByteOutcome outcome = frame_path_.receive(ch, cells_, sep_);
    if (outcome.frame_ended) ++frames_decoded_;
    return outcome;
}

void PanelLogic::receive(std::span<const std::uint8_t> bytes,
                         const std::function<void(const FrameResult&)>& on_frame) {
    for (std::uint8_t ch : bytes) {
        if (receive(ch).frame_ended && on_frame) on_frame(frame_path_.last_frame());
    }
}

void PanelLogic::other_comm_event() { frame_path_.receiver.other_event(); }

// The panel's state is what the operator set, whether or not the board heard it: a STOP while the
// board is away still stops the run. What the board missed is sent when it is back.
CommandOutcome PanelLogic::send(std::int16_t control_byte) {
    if (sink_ != nullptr && sink_->send(control_message(control_byte))) return CommandOutcome::Sent;
    board_behind_ = true;
    return CommandOutcome::Pending;
}

bool PanelLogic::connection_opened() {
    if (!board_behind_ || sink_ == nullptr) return false;
    if (!sink_->send(control_message(control_byte_))) return false;
    board_behind_ = false;
    return true;
}

CommandOutcome PanelLogic::Command1_Click() {
    const std::int16_t next = toggled_bit(control_byte_, control_bit::kMeasuring);
    const CommandOutcome outcome = send(next);
    control_byte_ = next;
    if (cells_.Command1 == "START") {
        cells_.Command1 = "STOP";
        timer1_enabled_ = true;
    } else {
        cells_.Command1 = "START";
        timer1_enabled_ = false;
    }
    return outcome;
}

CommandOutcome PanelLogic::toggle_group(std::int16_t group_bit, std::string& state_cell) {
    const auto next = toggled_group(control_byte_, group_bit);
    if (!next) return CommandOutcome::Refused;
    const CommandOutcome outcome = send(*next);
    control_byte_ = *next;
    flip_state(state_cell);
    return outcome;
}

CommandOutcome PanelLogic::Command2_Click() { return toggle_group(control_bit::kUltrasonicGroup, cells_.Text2[1]); }
CommandOutcome PanelLogic::Command4_Click() { return toggle_group(control_bit::kInfraredGroup, cells_.Text2[0]); }
CommandOutcome PanelLogic::Command6_Click() { return toggle_group(control_bit::kGroundGroup, cells_.Text2[2]); }

// The run clock is left alone: a run that was on keeps counting while the caption shows "START".
// The option boxes are unticked because the reset clears their bits on the board.
CommandOutcome PanelLogic::Command3_Click() {
    const CommandOutcome outcome = send(reset_pulse(control_byte_));
    control_byte_ = kControlByteStart;
    cells_.Command1 = "START";
    for (auto& cell : cells_.Text2) cell = "ON";
    check1_ = false;
    check2_ = false;
    return outcome;
}

void PanelLogic::Command5_Click() {
    run_clock_ = 0;
    cells_.Text3 = integer_text(run_clock_);
}

// The option boxes toggle their bit on every click, whatever the box shows.
CommandOutcome PanelLogic::toggle_option(std::int16_t bit, bool& box) {
    const std::int16_t next = toggled_bit(control_byte_, bit);
    const CommandOutcome outcome = send(next);
    control_byte_ = next;
    box = !box;
    return outcome;
}

CommandOutcome PanelLogic::Check1_Click() { return toggle_option(control_bit::kShortDistance, check1_); }
CommandOutcome PanelLogic::Check2_Click() { return toggle_option(control_bit::kInterferenceOverride, check2_); }

void PanelLogic::Timer1_Timer() {
    ++run_clock_;
    cells_.Text3 = integer_text(run_clock_);
}

}  // namespace sensor
