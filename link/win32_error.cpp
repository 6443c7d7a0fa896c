#include "link/win32_error.h"

namespace sensor {
namespace {

// Win32's numbers for the errors a serial port gives.
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kNotReady = 21;
constexpr std::uint32_t kBadCommand = 22;
constexpr std::uint32_t kGenFailure = 31;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
constexpr std::uint32_t kBrokenPipe = 109;
constexpr std::uint32_t kOperationAborted = 995;
constexpr std::uint32_t kDeviceNotConnected = 1167;
constexpr std::uint32_t kCounterTimeout = 1460;

}  // namespace

OpenFailure open_failure_of_win32_error(std::uint32_t code) {
    switch (code) {
        case kFileNotFound:
        case kPathNotFound: return OpenFailure::NoSuchDevice;
        // Windows answers "access denied" both for a port another program has open and for one
        // this user may not use; the sentence names both.
        case kAccessDenied: return OpenFailure::BusyOrDenied;
        // Wine's answer for a port a Linux program holds exclusively.
        case kSharingViolation:
        case kLockViolation: return OpenFailure::Busy;
        default: return OpenFailure::Other;
    }
}

Win32ReadFailure read_failure_of_win32_error(std::uint32_t code) {
    switch (code) {
        // Wine ends a read whose time ran out with this error; Windows with no bytes and no error.
        case kCounterTimeout: return Win32ReadFailure::NoDataYet;
        // A pulled USB adapter, a powered-off board or a stopped driver: Windows drivers say one
        // of these (Wine: broken pipe on the read, not ready on the rest), and a pending read is
        // aborted.
        case kNotReady:
        case kBadCommand:
        case kGenFailure:
        case kBrokenPipe:
        case kOperationAborted:
        case kDeviceNotConnected: return Win32ReadFailure::Unplugged;
        default: return Win32ReadFailure::Other;
    }
}

}  // namespace sensor
