// Where the run's log goes when none is named: the fixed c:\temp\sensors.csv on Windows; elsewhere
// sensors.csv in the user's documents folder, which the caller looks up.
#pragma once

#include <string>

namespace sensor {

std::string default_log_path(const std::string& documents_folder);

}  // namespace sensor
