#include "eval/default_log_path.h"

namespace sensor {

std::string default_log_path([[maybe_unused]] const std::string& documents_folder) {
#ifdef _WIN32
    return "c:\\temp\\sensors.csv";
#else
    if (documents_folder.empty()) return "sensors.csv";
    return documents_folder.back() == '/' ? documents_folder + "sensors.csv" : documents_folder + "/sensors.csv";
#endif
}

}  // namespace sensor
