#pragma once

#include "core/access/DeviceAccess.h"
#include "core/backends/emulator/EmulatorClient.h"

#include <QByteArrayView>
#include <map>

namespace orvex {

// The device access layer of a program started with --emulator PATH: every operation is one
// request to orvex-emulator.  When the socket cannot be reached every open fails with
// hid::kNotPresent, so the program behaves as with no device plugged in; when the emulator goes
// away, the handles opened through it fail their exchanges.
class EmulatorDeviceAccess : public DeviceAccess
{
public:
    explicit EmulatorDeviceAccess(QString socketPath,
                                  int timeoutMs = EmulatorClient::kDefaultTimeoutMs);

    HidStatus OpenHidDevice(std::uint16_t productId, int requestLength, int replyLength,
                            HidHandle &handle) override;
    HidStatus CloseHidDevice(HidHandle &handle) override;
    HidStatus WriteHidDevice(HidHandle &handle, const HidReport &request,
                             HidReport &reply) override;
    HidStatus RestartHidDevice(const char *hardwareId) override;

    // One interface per device, standing for the emulator's socket.
    std::vector<HidInterfaceInfo> interfaces(std::uint16_t productId) override;

    QString socketPath() const { return m_client.socketPath(); }

private:
    // A handle of ours stands for a server handle of one connection.
    struct RemoteHandle
    {
        int connectionNumber;
        HidHandle serverHandle;
    };

    bool isLive(const RemoteHandle &remote) const;
    HidStatus failureStatus(HidStatus whenUnreachable) const;

    EmulatorClient m_client;
    std::map<HidHandle, RemoteHandle> m_handles;
    HidHandle m_nextHandle = 1;
};

} // namespace orvex
