#pragma once

#include "core/link/DeviceTransport.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>

namespace orvex {

class ConfigModel;

using LiveDirections = std::array<std::uint8_t, 6>;

namespace direction {
constexpr std::uint8_t kNone = 0;
constexpr std::uint8_t kRising = 1;
constexpr std::uint8_t kFalling = 2;
} // namespace direction

// What one poll tick leaves the views to show: the six live values (0 to 255) and the
// direction each channel moved in.
struct LiveSample
{
    LiveValues values{};
    LiveDirections directions{};
    bool read = false; // read from the device on this tick (false while no device is viewed)

    bool operator==(const LiveSample &) const = default;
};

// Whether a device is viewed, and which one is selected: Device 1 is 0, Device 2 is 1.
struct LinkState
{
    bool viewing = false;
    int deviceNumber = 0;

    bool operator==(const LinkState &) const = default;
};

inline const QString kSearchingText = QStringLiteral("Searching for device...");
QString viewingText(int deviceNumber); // "Viewing device 1" / "Viewing device 2"
QString statusText(const LinkState &state);

// The live link to one of the two devices, for the whole run.  It owns the cadence (a poll
// every 10 ms, and a search every second while no device is viewed), the polling handle, the
// selected device, the live values and directions, and which devices were written to.  It finds
// and attaches the selected device (falling back to the other one), polls it, notices its loss
// and searches again; a transfer pauses it.  Views learn everything from its signals.
class DeviceLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = 10;
    static constexpr int kWaitIntervalMs = 1000;

    DeviceLink(DeviceAccess &access, const ConfigModel &model, QObject *parent = nullptr);
    ~DeviceLink() override;

    DeviceTransport &transport() { return m_transport; }

    LinkState state() const { return m_state; }
    int deviceNumber() const { return m_state.deviceNumber; }
    bool isViewing() const { return m_state.viewing; }
    bool isSearching() const { return !m_state.viewing; }
    const LiveSample &sample() const { return m_sample; }
    bool wasWritten(int deviceNumber) const;
    bool isPollingHandleOpen() const { return DeviceTransport::isOpen(m_pollingHandle); }

    // The timers run the ticks below; without them (tests) the caller runs the ticks.
    void startTimers();
    void stopTimers();

    // Start-up: every present device gets the attach write, then the search begins.
    void prepareDevices();
    void startSearching();

    // Exit: the polling handle is closed, devices written during the run are restarted and the
    // others get the release write.  The timers stop.
    void releaseDevices();

    void pollDevice();        // one poll tick
    void waitForDeviceTick(); // one search tick
    bool attachDevice();      // true when a device is attached with the polling handle open

    // The user chose a device: a viewed one is let go and the search starts for the new one.
    void selectDevice(int number);

    // While a transfer runs the polls keep away from the device, and the polling handle is
    // closed; it is open again afterwards when a device is viewed.
    class TransferPause
    {
    public:
        explicit TransferPause(DeviceLink &link);
        ~TransferPause();
        TransferPause(const TransferPause &) = delete;
        TransferPause &operator=(const TransferPause &) = delete;

    private:
        DeviceLink &m_link;
    };
    bool isTransferRunning() const { return m_transferRunning; }

    // A complete configuration write: the device is restarted at exit.
    void markWritten(int deviceNumber);

    // The text as a zero-terminated 8-bit string (one element more than it has characters).
    static QByteArray textToBytes(const QString &text);

Q_SIGNALS:
    // Viewing or searching, and the selected device, whenever either changes.  When a search
    // finds the other device, the selection follows before viewing begins.
    void stateChanged(const orvex::LinkState &state);

    // After every poll tick, whether or not a device is viewed.
    void sampled(const orvex::LiveSample &sample);

private:
    void enterSearching();
    void deviceLost();
    void updateDirections();
    void closePollingHandle();
    void sendControlWrite(int number, std::uint8_t value); // attach or release, when present
    void setState(LinkState state);
    void applyWaitTimer();

    DeviceTransport m_transport;
    const ConfigModel &m_model;
    QTimer m_pollTimer{this}; // children, so that they can be found by name
    QTimer m_waitTimer{this};
    bool m_timersRunning = false;

    LinkState m_state;
    HidHandle m_pollingHandle = kClosedHandle;
    bool m_transferRunning = false;
    std::array<bool, 2> m_written{};
    LiveSample m_sample;
    std::array<int, 6> m_reference{}; // -1 = no reference since a loss
};

} // namespace orvex
