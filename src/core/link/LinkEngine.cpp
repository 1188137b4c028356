#include "core/link/LinkEngine.h"

#include "core/link/DeviceMessages.h"

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

LinkEngine::LinkEngine(DeviceAccess &access, Listener &listener, std::function<TimePoint()> now)
    : m_transport(access)
    , m_listener(listener)
    , m_now(std::move(now))
{}

LinkEngine::~LinkEngine()
{
    closePollingHandle();
}

void LinkEngine::setState(LinkState state)
{
    if (m_state.viewing && !state.viewing)
        m_searchDue = m_now() + kSearchInterval;
    m_state = state;
    m_listener.stateChanged(m_state);
}

void LinkEngine::startTimers()
{
    const TimePoint now = m_now();
    m_timersRunning = true;
    m_pollDue = now + kPollInterval;
    m_searchDue = now + kSearchInterval;
}

void LinkEngine::stopTimers()
{
    m_timersRunning = false;
}

std::optional<LinkEngine::TimePoint> LinkEngine::nextTick() const
{
    if (!m_timersRunning)
        return std::nullopt;
    return m_state.viewing ? m_pollDue : std::min(m_pollDue, m_searchDue);
}

bool LinkEngine::isSearchDue(TimePoint now) const
{
    return !m_state.viewing && m_searchDue <= now;
}

void LinkEngine::runDueTick()
{
    if (!m_timersRunning)
        return;
    const TimePoint started = m_now();
    if (isSearchDue(started)) {
        m_searchDue = started + kSearchInterval;
        waitForDeviceTick();
    } else if (m_pollDue <= started) {
        m_pollDue = started + kPollInterval;
        pollDevice();
    }
}

// A device that is plugged in but refuses this user, or that another program holds, is not
// missing: what is said of it comes from here, where the device access layer can tell who.
DevicePresence LinkEngine::testPresence()
{
    DevicePresence presence;
    for (int number = 0; number < kDeviceCount; ++number) {
        HidHandle handle = kClosedHandle;
        const HidStatus status = m_transport.openDevice(handle, number);
        presence.openStatus[static_cast<std::size_t>(number)] = status;
        if (status == hid::kSuccess) {
            m_transport.closeDevice(handle);
            presence.firstOpened = number;
            return presence;
        }
        presence.unavailableText[static_cast<std::size_t>(number)] =
            deviceUnavailableText(m_transport.access(), number, status);
    }
    return presence;
}

void LinkEngine::prepareDevices()
{
    for (int number = 0; number < kDeviceCount; ++number)
        sendControlWrite(number, address::kAttach);
}

void LinkEngine::startSearching()
{
    closePollingHandle();
    m_searchDue = m_now() + kSearchInterval;
    setState({false, m_state.deviceNumber});
}

void LinkEngine::pollDevice()
{
    m_sample.read = false;
    if (m_state.viewing && !m_transferRunning) {
        if (m_transport.readLiveValues(m_pollingHandle, m_sample.values) != hid::kSuccess) {
            deviceLost();
        } else {
            updateDirections();
            m_sample.read = true;
        }
    }
    // Inputs at rest cost the window nothing: it already shows this sample.
    if (m_everyPollAnnounced || m_sample != m_announcedSample) {
        m_announcedSample = m_sample;
        m_listener.sampled(m_sample);
    }
}

void LinkEngine::updateDirections()
{
    for (std::size_t channel = 0; channel < m_sample.values.size(); ++channel) {
        const int value = m_sample.values[channel];
        int &reference = m_reference[channel];
        const int threshold = m_thresholds[channel];
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

void LinkEngine::deviceLost()
{
    closePollingHandle();
    m_sample = LiveSample{};
    m_reference.fill(kNoReference);
    setState({false, m_state.deviceNumber});
}

bool LinkEngine::attachDevice()
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

void LinkEngine::waitForDeviceTick()
{
    // Between a transfer's end on the device and its end in the window, attaching would open a
    // polling handle that the transfer's end opens again.
    if (m_state.viewing || m_transferRunning)
        return;
    if (attachDevice())
        setState({true, m_state.deviceNumber});
}

void LinkEngine::selectDevice(int number)
{
    if (!isDeviceNumber(number) || number == m_state.deviceNumber)
        return;
    if (m_state.viewing)
        closePollingHandle();
    setState({false, number});
}

void LinkEngine::releaseDevices()
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

std::vector<DeviceSurveyEntry> LinkEngine::surveyDevices()
{
    return orvex::surveyDevices(m_transport.access());
}

void LinkEngine::sendControlWrite(int number, std::uint8_t value)
{
    // A scratch handle of its own, so that an open polling handle is never overwritten.
    HidHandle handle = kClosedHandle;
    if (m_transport.openDevice(handle, number) != hid::kSuccess)
        return;
    m_transport.writeDeviceByte(handle, address::kLiveValuesLow, value);
    m_transport.closeDevice(handle);
}

void LinkEngine::closePollingHandle()
{
    if (DeviceTransport::isOpen(m_pollingHandle))
        m_transport.closeDevice(m_pollingHandle);
    m_pollingHandle = kClosedHandle;
}

void LinkEngine::beginTransfer()
{
    m_transferRunning = true;
    closePollingHandle();
}

TransferProgress LinkEngine::progressToListener()
{
    return [this](const QString &text) {
        m_listener.transferProgress(text);
    };
}

TransferOutcome LinkEngine::readConfiguration()
{
    return orvex::readConfiguration(m_transport, m_state.deviceNumber, progressToListener());
}

TransferOutcome LinkEngine::writeConfiguration(const ConfigImage &image)
{
    TransferOutcome outcome =
        orvex::writeConfiguration(m_transport, m_state.deviceNumber, image, progressToListener());
    if (outcome.result == TransferResult::Success)
        m_written[static_cast<std::size_t>(outcome.deviceNumber)] = true;
    return outcome;
}

// Only a viewed device needs its polling handle back; when none is viewed the search opens one
// itself, and reopening here would leave a second handle behind.
void LinkEngine::endTransfer()
{
    if (m_state.viewing && !isPollingHandleOpen())
        m_transport.openDevice(m_pollingHandle, m_state.deviceNumber);
    m_transferRunning = false;
}

QByteArray LinkEngine::textToBytes(const QString &text)
{
    QByteArray bytes = text.toLatin1();
    bytes.append('\0'); // the terminator is part of the array, as the library reads up to it
    return bytes;
}

} // namespace orvex
