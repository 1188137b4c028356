#include "core/link/DeviceLink.h"

#include "core/config/ConfigModel.h"
#include "core/link/LinkAnnouncements.h"

#include <QEventLoop>
#include <optional>
#include <variant>

namespace orvex {

DeviceLink::DeviceLink(DeviceAccess &access, const ConfigModel &model, QObject *parent)
    : QObject(parent)
    , m_announcements(std::make_unique<LinkAnnouncements>())
    , m_thread(access, *m_announcements)
{
    // Queued: the handler of an announcement may run the event loop again (a message box), and
    // a posted event, unlike the descriptor's notifier, is dispatched inside it too.
    connect(m_announcements.get(), &LinkAnnouncements::ready, this, &DeviceLink::announceNext,
            Qt::QueuedConnection);
    connect(&model, &ConfigModel::thresholdsChanged, this, &DeviceLink::setThresholds);
    setThresholds(model.hysteresisThresholds());
}

DeviceLink::~DeviceLink() = default;

bool DeviceLink::wasWritten(int deviceNumber) const
{
    return deviceNumber >= 0 && deviceNumber < static_cast<int>(m_written.size()) &&
           m_written[static_cast<std::size_t>(deviceNumber)];
}

void DeviceLink::setThresholds(const MovementThresholds &thresholds)
{
    m_thread.post([thresholds](LinkEngine &engine) { engine.setThresholds(thresholds); });
}

void DeviceLink::startTimers()
{
    m_thread.post([](LinkEngine &engine) { engine.startTimers(); });
}

void DeviceLink::stopTimers()
{
    m_thread.post([](LinkEngine &engine) { engine.stopTimers(); });
}

void DeviceLink::testPresence()
{
    m_thread.post([this](LinkEngine &engine) { m_announcements->push(engine.testPresence()); });
}

void DeviceLink::prepareDevices()
{
    m_thread.post([](LinkEngine &engine) { engine.prepareDevices(); });
}

void DeviceLink::startSearching()
{
    m_thread.post([](LinkEngine &engine) { engine.startSearching(); });
}

void DeviceLink::pollDevice()
{
    m_thread.post([](LinkEngine &engine) { engine.pollDevice(); });
}

void DeviceLink::waitForDeviceTick()
{
    m_thread.post([](LinkEngine &engine) { engine.waitForDeviceTick(); });
}

void DeviceLink::setEveryPollAnnounced(bool every)
{
    m_thread.post([every](LinkEngine &engine) { engine.setEveryPollAnnounced(every); });
}

void DeviceLink::selectDevice(int number)
{
    m_thread.post([number](LinkEngine &engine) { engine.selectDevice(number); });
}

void DeviceLink::releaseDevices()
{
    m_thread.post([this](LinkEngine &engine) {
        engine.releaseDevices();
        m_announcements->push(announcement::Released{});
    });
}

void DeviceLink::surveyDevices()
{
    m_thread.post([this](LinkEngine &engine) { m_announcements->push(engine.surveyDevices()); });
}

void DeviceLink::readConfiguration()
{
    m_transferRunning = true;
    m_thread.post([this](LinkEngine &engine) {
        engine.beginTransfer();
        m_announcements->push(engine.readConfiguration());
    });
}

void DeviceLink::writeConfiguration(const ConfigImage &image)
{
    m_transferRunning = true;
    m_thread.post([this, image](LinkEngine &engine) {
        engine.beginTransfer();
        m_announcements->push(engine.writeConfiguration(image));
    });
}

void DeviceLink::endTransfer()
{
    m_transferRunning = false;
    m_thread.post([](LinkEngine &engine) { engine.endTransfer(); });
}

void DeviceLink::waitUntilIdle()
{
    const unsigned ticket = ++m_lastIdleTicket;
    m_thread.post(
        [this, ticket](LinkEngine &) { m_announcements->push(announcement::Idle{ticket}); });
    QEventLoop loop;
    while (m_reachedIdleTicket < ticket)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
}

void DeviceLink::announceNext()
{
    using namespace announcement;
    while (std::optional<LinkAnnouncements::Announcement> next = m_announcements->take()) {
        std::visit(
            [this](const auto &announcement) {
                using Type = std::decay_t<decltype(announcement)>;
                if constexpr (std::is_same_v<Type, Progress>)
                    Q_EMIT transferProgress(announcement.text);
                else if constexpr (std::is_same_v<Type, DevicePresence>)
                    Q_EMIT presenceTested(announcement);
                else if constexpr (std::is_same_v<Type, std::vector<DeviceSurveyEntry>>)
                    Q_EMIT surveyed(announcement);
                else if constexpr (std::is_same_v<Type, Released>)
                    Q_EMIT released();
                else if constexpr (std::is_same_v<Type, Idle>)
                    m_reachedIdleTicket = announcement.ticket;
                else
                    announce(announcement);
            },
            *next);
    }
}

void DeviceLink::announce(const LinkState &state)
{
    m_state = state;
    Q_EMIT stateChanged(m_state);
}

void DeviceLink::announce(const LiveSample &sample)
{
    m_sample = sample;
    Q_EMIT sampled(m_sample);
}

void DeviceLink::announce(const TransferOutcome &outcome)
{
    if (outcome.direction == TransferDirection::Write && outcome.result == TransferResult::Success)
        m_written[static_cast<std::size_t>(outcome.deviceNumber)] = true;
    Q_EMIT transferFinished(outcome);
}

} // namespace orvex
