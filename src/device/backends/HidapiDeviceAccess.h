#pragma once

#include "device/DeviceAccess.h"

#include <atomic>
#include <map>

struct hid_device_;

namespace orvex {

// Real devices through hidapi's hidraw backend.  Exchanges are bounded by a time-out, so an
// unplugged or silent device fails the exchange instead of blocking the window thread; restarts
// reset the USB device through libusb.
class HidapiDeviceAccess : public DeviceAccess
{
public:
    HidapiDeviceAccess();
    ~HidapiDeviceAccess() override;

    HidapiDeviceAccess(const HidapiDeviceAccess &) = delete;
    HidapiDeviceAccess &operator=(const HidapiDeviceAccess &) = delete;

    HidStatus OpenHidDevice(std::uint16_t productId, int requestLength, int replyLength,
                            HidHandle &handle) override;
    HidStatus CloseHidDevice(HidHandle &handle) override;
    HidStatus WriteHidDevice(HidHandle &handle, const HidReport &request,
                             HidReport &reply) override;
    HidStatus RestartHidDevice(const char *hardwareId) override;

private:
    void drainInput(hid_device_ *device);
    HidStatus awaitReply(hid_device_ *device, HidReport &reply);

    static std::atomic<int> s_instances;

    bool m_initialised = false;
    std::map<HidHandle, hid_device_ *> m_devices;
    HidHandle m_nextHandle = 1;
};

} // namespace orvex
