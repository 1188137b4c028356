#pragma once

#include "core/access/DeviceAccess.h"
#include "core/config/ConfigImage.h"

#include <QElapsedTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace orvex {

// One virtual ORVEX: configuration memory, live inputs and the attach state.
struct VirtualDevice
{
    VirtualDevice(); // present, default configuration with "R4" at 510..511

    bool present = true;
    ConfigImage memory{};
    std::array<std::uint8_t, 6> liveValues{};
    bool animated = false;        // live values follow slow, distinct waves, by the clock
    std::optional<bool> attached; // last control write to 0x2000: true = attach, false = release
    int restartCount = 0;

    // Forces OpenHidDevice to fail with this status while the device stays present.
    HidStatus openRefusal = hid::kSuccess;
};

// The live values of the demo waves at one animation step (one step every 10 ms): six slow sine
// waves of distinct periods and phases, so that every channel moves on its own.
std::array<std::uint8_t, 6> animatedLiveValues(std::int64_t step);

// One logged exchange (or open, close, restart) of the virtual device access layer.
struct VirtualExchange
{
    enum class Kind { Open, Close, Transfer, Restart };
    Kind kind = Kind::Transfer;
    int deviceNumber = -1; // 0 or 1; -1 when no device was addressed
    HidReport request{};
    HidReport reply{};
    HidStatus status = hid::kSuccess;
};

// The in-process device access layer used by --simulate and by the tests: two virtual devices
// that can be plugged and unplugged independently, a log of everything done to them, a count of
// open handles and fault injection.
class VirtualDeviceAccess : public DeviceAccess
{
public:
    VirtualDeviceAccess();

    HidStatus OpenHidDevice(std::uint16_t productId, int requestLength, int replyLength,
                            HidHandle &handle) override;
    HidStatus CloseHidDevice(HidHandle &handle) override;
    HidStatus WriteHidDevice(HidHandle &handle, const HidReport &request,
                             HidReport &reply) override;
    HidStatus RestartHidDevice(const char *hardwareId) override;
    std::vector<HidInterfaceInfo> interfaces(std::uint16_t productId) override;

    VirtualDevice &device(int deviceNumber);
    const VirtualDevice &device(int deviceNumber) const;

    // Plugging out closes nothing: handles to an absent device fail every exchange.
    void setPresent(int deviceNumber, bool present);

    // The clock of the demo waves, in milliseconds: an animated device's live values are those
    // of the waves at the time they are read, so they keep their pace however often they are
    // read, and nobody has to drive them.  Tests set a clock of their own.
    void setClock(std::function<std::int64_t()> clockMs) { m_clockMs = std::move(clockMs); }

    // The log keeps at least the last kLogCapacity operations (and never more than twice
    // as many), so that a program that polls for hours keeps a flat memory footprint.
    static constexpr std::size_t kLogCapacity = 8192;

    // What was done lately, in order; transfers only, or all kinds.
    const std::vector<VirtualExchange> &log() const { return m_log; }
    std::vector<VirtualExchange> transfers() const;
    void clearLog();

    // Number of exchanges (WriteHidDevice calls) so far, counting failed ones.
    int exchangeCount() const { return m_exchangeCount; }

    int openHandleCount() const;
    int openHandleCount(int deviceNumber) const;

    // Fault injection, by exchange index (0-based, counted by exchangeCount()):
    void failExchange(int index, HidStatus status = hid::kIoError); // that one exchange fails
    void unplugAtExchange(int index, int deviceNumber);             // the device vanishes before it
    void clearFaults();                                             // also lifts the open refusals

private:
    struct OpenHandle
    {
        int deviceNumber;
        bool lost = false; // the device was unplugged or restarted since the open
    };

    HidStatus transfer(const HidReport &request, VirtualDevice &device, HidReport &reply);
    void loseHandles(int deviceNumber);
    void record(VirtualExchange::Kind kind, int deviceNumber, HidStatus status,
                const HidReport &request = {}, const HidReport &reply = {});

    std::array<VirtualDevice, 2> m_devices;
    std::map<HidHandle, OpenHandle> m_handles;
    HidHandle m_nextHandle = 1;
    std::vector<VirtualExchange> m_log;
    int m_exchangeCount = 0;
    std::map<int, HidStatus> m_failAt;
    std::map<int, int> m_unplugAt;
    QElapsedTimer m_started;
    std::function<std::int64_t()> m_clockMs;
};

} // namespace orvex
