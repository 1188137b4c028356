#pragma once

#include "device/DeviceAccess.h"

#include <cstddef>
#include <span>

namespace orvex::hidapi {

// Pure helpers of the hidapi backend, kept apart so they can be tested without a device.

// The status of an open that failed: `accessErrno` is the errno left by access(path, R_OK|W_OK)
// on the device node (0 when that check passed), `openErrno` the errno after hid_open_path.
HidStatus openFailureStatus(int accessErrno, int openErrno);

// The status of hid_write() returning `written` for a request of kReportLength bytes.
HidStatus writeResultStatus(int written);

// The status of hid_read_timeout() returning `received` (0 means the time-out passed).
HidStatus readResultStatus(int received);

// The reply report in the bytes the device sent.  hidraw hands numbered reports over with their
// report ID first, so a complete reply is at least kReportLength bytes starting with ID 1.
// Returns false (and leaves `reply` alone) for anything else.
bool frameReply(std::span<const std::uint8_t> received, HidReport &reply);

// Report IDs other than ours in the reply stream are stale or foreign input reports.
bool isOwnReport(std::span<const std::uint8_t> received);

// How long an exchange waits for the reply, and how many stale input reports are drained
// before each request at most (a device that floods the host must not stall the caller).
constexpr int kReplyTimeoutMs = 1000;
constexpr int kMaxDrainedReports = 64;

} // namespace orvex::hidapi
