#include "core/link/DeviceLink.h"

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

QString statusText(const LinkState &state)
{
    return state.viewing ? viewingText(state.deviceNumber) : kSearchingText;
}

DeviceLink::DeviceLink(DeviceAccess &access, const ConfigModel &model, QObject *parent)
    : QObject(parent)
    , m_transport(access)
    , m_model(model)
{
    m_pollTimer.setObjectName(QStringLiteral("tmrPollDevice"));
    m_pollTimer.setInterval(kPollIntervalMs);
    m_waitTimer.setObjectName(QStringLiteral("tmrWaitForDevice"));
    m_waitTimer.setInterval(kWaitIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DeviceLink::pollDevice);
    connect(&m_waitTimer, &QTimer::timeout, this, &DeviceLink::waitForDeviceTick);
}

DeviceLink::~DeviceLink()
{
    closePollingHandle();
}

bool DeviceLink::wasWritten(int deviceNumber) const
{
    return isDeviceNumber(deviceNumber) && m_written[static_cast<std::size_t>(deviceNumber)];
}

void DeviceLink::startTimers()
{
    m_timersRunning = true;
    m_pollTimer.start();
    applyWaitTimer();
}

void DeviceLink::stopTimers()
{
    m_timersRunning = false;
    m_pollTimer.stop();
    m_waitTimer.stop();
}

// The search runs only while no device is viewed; each time it starts, it starts a full second.
void DeviceLink::applyWaitTimer()
{
    if (m_timersRunning && !m_state.viewing)
        m_waitTimer.start();
    else
        m_waitTimer.stop();
}

void DeviceLink::setState(LinkState state)
{
    const bool searchStarts = m_state.viewing && !state.viewing;
    m_state = state;
    if (searchStarts || state.viewing)
        applyWaitTimer();
    Q_EMIT stateChanged(m_state);
}

void DeviceLink::prepareDevices()
{
    for (int number = 0; number < kDeviceCount; ++number)
        sendControlWrite(number, address::kAttach);
}

void DeviceLink::startSearching()
{
    closePollingHandle();
    m_state.viewing = false;
    applyWaitTimer();
    Q_EMIT stateChanged(m_state);
}

void DeviceLink::pollDevice()
{
    if (m_state.viewing && !m_transferRunning) {
        m_sample.read = false;
        if (m_transport.readLiveValues(m_pollingHandle, m_sample.values) != hid::kSuccess) {
            deviceLost();
        } else {
            updateDirections();
            m_sample.read = true;
        }
    } else {
        m_sample.read = false;
    }
    Q_EMIT sampled(m_sample);
}

void DeviceLink::updateDirections()
{
    for (std::size_t channel = 0; channel < m_sample.values.size(); ++channel) {
        const int value = m_sample.values[channel];
        int &reference = m_reference[channel];
        const int threshold = m_model.hysteresisThreshold(static_cast<int>(channel));
        // The reference only moves with a movement of at least the threshold, so slow drift
        // adds up until it counts as one.
        if (reference == kNoReference) {
            reference = value;
        } else if (value - reference >= threshold) {
            m_sample.directions[channel] = direction::kRising;
            reference = value;
        } else if (reference - value >= threshold) {
            m_sample.directions[channel] = direction::kFalling;
            reference = value;
        } else {
            m_sample.directions[channel] = direction::kNone;
        }
    }
}

void DeviceLink::deviceLost()
{
    closePollingHandle();
    m_sample = LiveSample{};
    m_reference.fill(kNoReference);
    setState({false, m_state.deviceNumber});
}

bool DeviceLink::attachDevice()
{
    closePollingHandle();
    int number = m_state.deviceNumber;
    if (m_transport.openDevice(m_pollingHandle, number) != hid::kSuccess) {
        // The selected device is preferred; the other one is only taken when it is absent.
        if (m_transport.openDevice(m_pollingHandle, otherDevice(number)) != hid::kSuccess)
            return false;
        number = otherDevice(number);
        m_state.deviceNumber = number;
    }
    // The attach write goes through its own open; polling continues on a fresh handle.
    m_transport.writeDeviceByte(m_pollingHandle, address::kLiveValuesLow, address::kAttach);
    closePollingHandle();
    return m_transport.openDevice(m_pollingHandle, number) == hid::kSuccess;
}

void DeviceLink::waitForDeviceTick()
{
    // A transfer lets window events run; attaching then would talk to the device in the middle
    // of it and open a polling handle that the transfer reopens again afterwards.
    if (m_state.viewing || m_transferRunning)
        return;
    if (attachDevice())
        setState({true, m_state.deviceNumber});
}

void DeviceLink::selectDevice(int number)
{
    if (!isDeviceNumber(number) || number == m_state.deviceNumber)
        return;
    if (m_state.viewing)
        closePollingHandle();
    setState({false, number});
}

void DeviceLink::releaseDevices()
{
    stopTimers();
    closePollingHandle();
    for (int number = 0; number < kDeviceCount; ++number) {
        if (m_written[static_cast<std::size_t>(number)]) {
            // A restart is addressed by hardware identifier rather than by a handle, so it is
            // requested even when the device is no longer plugged in.
            const QByteArray hardwareId = textToBytes(hardwareIdText(number));
            m_transport.access().RestartHidDevice(hardwareId.constData());
        } else {
            sendControlWrite(number, address::kRelease);
        }
    }
}

void DeviceLink::sendControlWrite(int number, std::uint8_t value)
{
    // A scratch handle of its own, so that an open polling handle is never overwritten.
    HidHandle handle = kClosedHandle;
    if (m_transport.openDevice(handle, number) != hid::kSuccess)
        return;
    m_transport.writeDeviceByte(handle, address::kLiveValuesLow, value);
    m_transport.closeDevice(handle);
}

void DeviceLink::closePollingHandle()
{
    if (DeviceTransport::isOpen(m_pollingHandle))
        m_transport.closeDevice(m_pollingHandle);
    m_pollingHandle = kClosedHandle;
}

void DeviceLink::markWritten(int deviceNumber)
{
    if (isDeviceNumber(deviceNumber))
        m_written[static_cast<std::size_t>(deviceNumber)] = true;
}

QByteArray DeviceLink::textToBytes(const QString &text)
{
    QByteArray bytes = text.toLatin1();
    bytes.append('\0'); // the terminator is part of the array, as the library reads up to it
    return bytes;
}

DeviceLink::TransferPause::TransferPause(DeviceLink &link)
    : m_link(link)
{
    m_link.m_transferRunning = true;
    m_link.closePollingHandle();
}

// Only a viewed device needs its polling handle back; when none is viewed the search opens one
// itself, and reopening here would leave a second handle behind.
DeviceLink::TransferPause::~TransferPause()
{
    if (m_link.m_state.viewing && !m_link.isPollingHandleOpen())
        m_link.m_transport.openDevice(m_link.m_pollingHandle, m_link.m_state.deviceNumber);
    m_link.m_transferRunning = false;
}

} // namespace orvex
