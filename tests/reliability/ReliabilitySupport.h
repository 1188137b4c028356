#pragma once

#include "core/config/ConfigModel.h"
#include "core/config/UserMessage.h"
#include "core/link/ConfigTransfer.h"
#include "LinkRecorder.h"
#include "ModelEditing.h"
#include "core/link/DeviceLink.h"
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

// The device link of one program on two virtual devices.
struct Link
{
    Link() { model.resetSettings(); }

    VirtualDeviceAccess devices;
    ConfigModel model;
    DeviceLink link{devices, model};
    DeviceTransport &transport = link.transport();
    testing::LinkRecorder statusLog{link};
    MessageLog messageLog;
    ConfigTransfer transfer{link, model, messageLog};
};

// The largest configuration: six channels of 32 steps with a key in every step.
inline void loadLargestConfiguration(ConfigModel &model)
{
    Configuration configuration = defaultConfiguration();
    for (std::size_t c = 0; c < configuration.channels.size(); ++c) {
        ChannelSettings &channel = configuration.channels[c];
        channel.steps = 5;
        channel.mode = kModeBoth;
        channel.periodic = static_cast<std::uint8_t>(10 + c);
        for (std::size_t s = 0; s < kMaxSections; ++s) {
            channel.keys[s] = static_cast<std::uint8_t>(4 + (s + c) % 40);
            channel.keyOperators[s] = static_cast<std::uint8_t>(s % 8);
        }
    }
    configuration.powerOnDelay = 12;
    model.replaceConfiguration(configuration);
}

} // namespace orvex::reliability
