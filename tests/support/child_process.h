// Starts a program as a user's shell would, with no shell in between: standard input from a file
// or fed through a pipe, standard output and errors captured as bytes. POSIX and Windows.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sensor::testing {

struct ChildInput {
    std::optional<std::filesystem::path> file;  // standard input read from this file...
    std::string piped;                           // ...or else these bytes through a pipe
};

struct ChildResult {
    int status = -1;  // the exit status; -1 when the program could not start or did not exit
    std::string out;
    std::string err;
};

// With output_file set, standard output goes there and ChildResult::out stays empty.
ChildResult run_child(const std::string& program, const std::vector<std::string>& args, const ChildInput& input = {},
                      const std::optional<std::filesystem::path>& output_file = std::nullopt);

// A path in the temporary folder that no other run of the tests uses.
std::filesystem::path unique_temp_path(const std::string& stem);

}  // namespace sensor::testing
