#pragma once

#include "core/config/ConfigModel.h"
#include "core/config/UserMessage.h"
#include "core/link/ConfigTransfer.h"
#include "core/link/DevicePolling.h"
#include "core/link/DeviceTransport.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QStringList>
#include <ostream>
#include <vector>

namespace orvex {

inline void PrintTo(const UserMessage &message, std::ostream *out)
{
    *out << '{' << message.text.toStdString() << " | " << message.title.toStdString() << " | "
         << static_cast<int>(message.icon) << '}';
}

} // namespace orvex

namespace orvex::reliability {

// Collects what a transfer tells its window.
class MessageLog : public TransferView
{
public:
    void showTransferStatus() override { statusShown = true; }
    void setTransferStatus(const QString &) override {}
    void hideTransferStatus() override { statusShown = false; }
    void processPendingEvents() override {}
    void showMessage(const UserMessage &message) override { messages.push_back(message); }

    bool statusShown = false;
    std::vector<UserMessage> messages;
};

// Collects the status bar texts of detection and polling.
class StatusLog : public PollingView
{
public:
    void clearGraphs() override { ++clears; }
    void drawGraphs() override { ++draws; }
    void setStatusText(const QString &text) override { status = text; }
    void setWaitTimerEnabled(bool enabled) override { waitTimerEnabled = enabled; }
    void showSelectedDevice(int) override {}

    int clears = 0;
    int draws = 0;
    QString status;
    bool waitTimerEnabled = true;
};

// The device link of one program on two virtual devices.
struct Link
{
    Link()
    {
        model.resetSettings();
        polling.setView(&statusLog);
    }

    VirtualDeviceAccess devices;
    DeviceTransport transport{devices};
    ConfigModel model;
    DevicePolling polling{transport, model};
    StatusLog statusLog;
    MessageLog messageLog;
    ConfigTransfer transfer{polling, model, messageLog};
};

// The largest configuration: six channels of 32 steps with a key in every step.
inline void loadLargestConfiguration(ConfigModel &model)
{
    model.resetSettings();
    for (std::size_t c = 0; c < model.channels.size(); ++c) {
        ChannelSettings &channel = model.channels[c];
        channel.steps = 5;
        channel.mode = kModeBoth;
        channel.periodic = static_cast<std::uint8_t>(10 + c);
        for (std::size_t s = 0; s < kMaxSections; ++s) {
            channel.keys[s] = static_cast<std::uint8_t>(4 + (s + c) % 40);
            channel.keyOperators[s] = static_cast<std::uint8_t>(s % 8);
        }
    }
    model.powerOnDelay = 12;
}

} // namespace orvex::reliability
