#include "core/link/DevicePolling.h"

#include "core/config/ConfigModel.h"

namespace orvex {

namespace {

constexpr int kDeviceCount = static_cast<int>(kProductIds.size());
constexpr int kNoReference = -1;

bool isDeviceNumber(int number)
{
    return number >= 0 && number < kDeviceCount;
}

int otherDevice(int number)
{
    return 1 - number;
}

} // namespace

QString viewingText(int deviceNumber)
{
    return QStringLiteral("Viewing device %1").arg(deviceNumber + 1);
}

DevicePolling::DevicePolling(DeviceTransport &transport, ConfigModel &model)
    : m_transport(transport)
    , m_model(model)
{}

void DevicePolling::pollDevice()
{
    if (!deviceAttached || transferBusy)
        return;
    if (m_transport.readLiveValues(deviceHandle, liveValue) != hid::kSuccess) {
        deviceLost();
        return;
    }
    updateDirections();
    if (m_view != nullptr)
        m_view->drawGraphs();
}

void DevicePolling::updateDirections()
{
    for (std::size_t channel = 0; channel < liveValue.size(); ++channel) {
        const int value = liveValue[channel];
        int &reference = liveReference[channel];
        const int threshold = m_model.hysteresisThreshold[channel];
        // The reference only moves with a movement of at least the threshold, so slow drift
        // adds up until it counts as one.
        if (reference == kNoReference) {
            reference = value;
        } else if (value - reference >= threshold) {
            liveDirection[channel] = kDirectionRising;
            reference = value;
        } else if (reference - value >= threshold) {
            liveDirection[channel] = kDirectionFalling;
            reference = value;
        } else {
            liveDirection[channel] = kDirectionNone;
        }
    }
}

void DevicePolling::deviceLost()
{
    deviceAttached = false;
    closePollingHandle();
    if (m_view != nullptr)
        m_view->clearGraphs();
    liveValue.fill(0);
    liveDirection.fill(kDirectionNone);
    liveReference.fill(kNoReference);
    startSearching();
}

void DevicePolling::startSearching()
{
    if (m_view == nullptr)
        return;
    m_view->setStatusText(kSearchingText);
    m_view->setWaitTimerEnabled(true);
}

bool DevicePolling::attachDevice()
{
    closePollingHandle();
    if (m_transport.openDevice(deviceHandle, deviceNumber) != hid::kSuccess) {
        // The selected device is preferred; the other one is only taken when it is absent.
        if (m_transport.openDevice(deviceHandle, otherDevice(deviceNumber)) != hid::kSuccess)
            return false;
        deviceNumber = otherDevice(deviceNumber);
    }
    // The attach write goes through its own open; polling continues on a fresh handle.
    m_transport.writeDeviceByte(deviceHandle, address::kLiveValuesLow, address::kAttach);
    m_transport.closeDevice(deviceHandle);
    deviceHandle = kClosedHandle;
    return m_transport.openDevice(deviceHandle, deviceNumber) == hid::kSuccess;
}

void DevicePolling::waitForDeviceTick()
{
    // A transfer lets window events run; attaching then would talk to the device in the middle
    // of it and open a polling handle that the transfer reopens again afterwards.
    if (deviceAttached || transferBusy)
        return;
    if (!attachDevice())
        return;
    if (m_view != nullptr) {
        m_view->setWaitTimerEnabled(false);
        m_view->showSelectedDevice(deviceNumber);
    }
    deviceAttached = true;
    if (m_view != nullptr)
        m_view->setStatusText(viewingText(deviceNumber));
}

void DevicePolling::prepareDevices()
{
    for (int number = 0; number < kDeviceCount; ++number)
        sendControlWrite(number, address::kAttach);
}

void DevicePolling::releaseDevices()
{
    closePollingHandle();
    for (int number = 0; number < kDeviceCount; ++number) {
        if (deviceWritten[static_cast<std::size_t>(number)]) {
            // A restart is addressed by hardware identifier rather than by a handle, so it is
            // requested even when the device is no longer plugged in.
            const QByteArray hardwareId = textToBytes(hardwareIdText(number));
            m_transport.access().RestartHidDevice(hardwareId.constData());
        } else {
            sendControlWrite(number, address::kRelease);
        }
    }
}

void DevicePolling::sendControlWrite(int number, std::uint8_t value)
{
    // A scratch handle of its own, so that an open polling handle is never overwritten.
    HidHandle handle = kClosedHandle;
    if (m_transport.openDevice(handle, number) != hid::kSuccess)
        return;
    m_transport.writeDeviceByte(handle, address::kLiveValuesLow, value);
    m_transport.closeDevice(handle);
}

void DevicePolling::selectDevice(int number)
{
    if (!isDeviceNumber(number))
        return;
    deviceNumber = number;
    if (!deviceAttached)
        return;
    deviceAttached = false;
    closePollingHandle();
    if (m_view != nullptr)
        m_view->clearGraphs();
    startSearching();
}

void DevicePolling::closePollingHandle()
{
    if (DeviceTransport::isOpen(deviceHandle))
        m_transport.closeDevice(deviceHandle);
    deviceHandle = kClosedHandle;
}

QByteArray DevicePolling::textToBytes(const QString &text)
{
    QByteArray bytes = text.toLatin1();
    bytes.append('\0'); // the terminator is part of the array, as the library reads up to it
    return bytes;
}

} // namespace orvex
