#pragma once

#include "core/access/DeviceAccess.h"
#include "core/backends/hidapi/HidPlatform.h"

#include <map>
#include <memory>

namespace orvex {

// Real devices through hidapi's hidraw backend.
//
// The ORVEX is a composite device: it types (a keyboard interface), moves axes (a joystick
// interface) and talks to this program through a vendor interface, each its own hidraw node.
// An open takes the interface whose report descriptor declares report ID 1 with the requested
// output and input lengths; failing that, one with a vendor-defined usage page; failing that,
// the first.  Exchanges are bounded by a time-out, and restarts reset the USB device through
// libusb.
class HidapiDeviceAccess : public DeviceAccess
{
public:
    // How long an exchange waits for its reply.  A round trip usually takes a few milliseconds,
    // but a slow firmware, a low-speed device or a busy hub can take far longer; the exchanges
    // run on the device thread, so waiting costs the window nothing.  docs/developing.md
    // explains the figure.
    static constexpr int kReplyTimeoutMs = 1000;

    // At most this many stale input reports are drained before a request, and at most this
    // many foreign ones are passed over while waiting for a reply: a device that floods the
    // host must not hold the caller.
    static constexpr int kMaxDrainedReports = 64;
    static constexpr int kMaxSkippedReports = 64;

    explicit HidapiDeviceAccess(std::unique_ptr<HidPlatform> platform = createSystemHidPlatform());
    ~HidapiDeviceAccess() override;

    HidapiDeviceAccess(const HidapiDeviceAccess &) = delete;
    HidapiDeviceAccess &operator=(const HidapiDeviceAccess &) = delete;

    HidStatus OpenHidDevice(std::uint16_t productId, int requestLength, int replyLength,
                            HidHandle &handle) override;
    HidStatus CloseHidDevice(HidHandle &handle) override;
    HidStatus WriteHidDevice(HidHandle &handle, const HidReport &request,
                             HidReport &reply) override;
    HidStatus RestartHidDevice(const char *hardwareId) override;

    std::vector<HidInterfaceInfo> interfaces(std::uint16_t productId) override;

private:
    struct OpenDevice
    {
        std::unique_ptr<HidConnection> connection;
        int replyLength; // the length of a reply report on this interface, ID byte included
    };

    void drainStaleReports(HidConnection &connection);
    HidStatus awaitReply(OpenDevice &device, HidReport &reply);

    std::unique_ptr<HidPlatform> m_platform;
    std::map<HidHandle, OpenDevice> m_devices;
    HidHandle m_nextHandle = 1;
};

} // namespace orvex
