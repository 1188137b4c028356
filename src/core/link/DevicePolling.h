#pragma once

#include "core/link/DeviceTransport.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace orvex {

class ConfigModel;

// What detection and polling tell the window (or any other view).
class PollingView
{
public:
    virtual ~PollingView() = default;

    virtual void clearGraphs() = 0;
    virtual void drawGraphs() = 0;
    virtual void setStatusText(const QString &text) = 0;   // the status bar's lblStatus
    virtual void setWaitTimerEnabled(bool enabled) = 0;    // tmrWaitForDevice
    virtual void showSelectedDevice(int deviceNumber) = 0; // check boxes, menu marks, lblBoardID
};

inline const QString kSearchingText = QStringLiteral("Searching for device...");
QString viewingText(int deviceNumber); // "Viewing device 1" / "Viewing device 2"

// Finds and attaches the selected device (falling back to the other one), polls the live values,
// derives each channel's movement direction, and attaches, releases or restarts devices at
// start and exit.  The window's timers call the ticks; this class only does one tick's work.
class DevicePolling
{
public:
    DevicePolling(DeviceTransport &transport, ConfigModel &model);

    void setView(PollingView *view) { m_view = view; }

    DeviceTransport &transport() { return m_transport; }

    HidHandle deviceHandle = kClosedHandle; // the polling handle, open while deviceAttached
    int deviceNumber = 0;                   // 0 = Device 1, 1 = Device 2
    bool deviceAttached = false;
    bool transferBusy = false;
    std::array<bool, 2> deviceWritten{};

    LiveValues liveValue{};
    std::array<std::uint8_t, 6> liveDirection{}; // 0 none, 1 rising, 2 falling
    std::array<int, 6> liveReference{};          // -1 = no reference since a loss

    static constexpr std::uint8_t kDirectionNone = 0;
    static constexpr std::uint8_t kDirectionRising = 1;
    static constexpr std::uint8_t kDirectionFalling = 2;

    void pollDevice();        // one tick of a poll timer
    bool attachDevice();      // true when a device is attached with deviceHandle open
    void waitForDeviceTick(); // one tick of the wait-for-device timer
    void prepareDevices();    // attach write to every present device
    void releaseDevices();    // restart written devices, release the others

    // The selection changed (steps 3 and 5 of the device selection): sets deviceNumber and, when
    // a device is viewed, detaches and starts searching again.
    void selectDevice(int number);

    // Closes the polling handle when it is open (exit, and before a transfer).
    void closePollingHandle();

    // The text as a zero-terminated 8-bit string (one element more than it has characters).
    static QByteArray textToBytes(const QString &text);

private:
    void deviceLost();
    void startSearching();
    void updateDirections();
    void sendControlWrite(int number, std::uint8_t value); // attach or release, when present

    DeviceTransport &m_transport;
    ConfigModel &m_model;
    PollingView *m_view = nullptr;
};

} // namespace orvex
