#include "device/backends/HidapiSupport.h"

#include "device/DeviceTransport.h"

#include <algorithm>
#include <cerrno>

namespace orvex::hidapi {

HidStatus openFailureStatus(int accessErrno, int openErrno)
{
    for (int error : {accessErrno, openErrno}) {
        switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return hid::kAccessDenied;
        case EBUSY:
            return hid::kInUse;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return hid::kNotPresent;
        default:
            break;
        }
    }
    return hid::kIoError;
}

HidStatus writeResultStatus(int written)
{
    return written == kReportLength ? hid::kSuccess : hid::kIoError;
}

HidStatus readResultStatus(int received)
{
    if (received == 0)
        return hid::kTimeout;
    return received < 0 ? hid::kIoError : hid::kSuccess;
}

bool isOwnReport(std::span<const std::uint8_t> received)
{
    return !received.empty() && received.front() == command::kReportId;
}

bool frameReply(std::span<const std::uint8_t> received, HidReport &reply)
{
    if (received.size() < static_cast<std::size_t>(kReportLength) || !isOwnReport(received))
        return false;
    std::copy_n(received.begin(), kReportLength, reply.begin());
    return true;
}

} // namespace orvex::hidapi
