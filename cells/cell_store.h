// The panel's working store: the texts of every cell exactly as the window shows them.
// Later steps of a frame read earlier steps' texts back from here.
#pragma once

#include <array>
#include <string>

namespace sensor {

struct CellStore {
    std::array<std::string, 16> Text1;  // measurement cells
    std::array<std::string, 3> Text2;   // group states: infrared, ultrasonic, ground
    std::string Text3;                  // run clock
    std::string Command1;               // caption of the START/STOP button: "STOP" while a run is on

    CellStore();  // the design texts, as the window stands before start-up
};

}  // namespace sensor
