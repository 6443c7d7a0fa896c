// What differs by platform without Qt: port 1, the log's default place and, on Windows, the
// console's stop request. Built for Windows and run under Wine, it checks the Windows branches.
#include <gtest/gtest.h>

#include <string>

#include "eval/default_log_path.h"
#include "link/port_one.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "programs/windows_console.h"
#endif

using namespace sensor;

TEST(PlatformDefaults, PortOneAndTheLogsPlace) {
#ifdef _WIN32
    EXPECT_STREQ(kPortOne, "COM1");
    EXPECT_EQ(default_log_path("C:\\Users\\op\\Documents"), "c:\\temp\\sensors.csv");
    EXPECT_EQ(default_log_path(""), "c:\\temp\\sensors.csv");
#else
    EXPECT_STREQ(kPortOne, "/dev/ttyS0");
    EXPECT_EQ(default_log_path("/home/op/Documents"), "/home/op/Documents/sensors.csv");
    EXPECT_EQ(default_log_path("/home/op/Documents/"), "/home/op/Documents/sensors.csv");
    EXPECT_EQ(default_log_path(""), "sensors.csv") << "no documents folder: the working folder";
#endif
}

#ifdef _WIN32
namespace {
std::atomic<int> stop_requests{0};
}

// Ctrl-C reaches the program as a stop request on another thread, and does not end the process.
TEST(WindowsConsole, CtrlCAsksTheProgramToStop) {
    // A console of its own, so the Ctrl-C reaches no other program (not the test runner).
    FreeConsole();
    if (!AllocConsole()) GTEST_SKIP() << "no console could be made to send Ctrl-C through";
    ASSERT_TRUE(call_on_console_stop([] { ++stop_requests; }));
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (stop_requests == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(stop_requests, 1);
}
#endif
