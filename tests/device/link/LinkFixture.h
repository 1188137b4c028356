#pragma once

#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/link/ConfigTransfer.h"
#include "LinkRecorder.h"
#include "ModelEditing.h"
#include "core/link/DeviceLink.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace orvex {

inline void PrintTo(const UserMessage &message, std::ostream *out)
{
    *out << "{\"" << message.text.toStdString() << "\", \"" << message.title.toStdString()
         << "\", icon " << static_cast<int>(message.icon) << '}';
}

} // namespace orvex

namespace orvex::testing {

// Remembers everything a transfer tells its window, in order.
class RecordingTransferView : public TransferView
{
public:
    void showTransferStatus() override
    {
        events << QStringLiteral("show");
        statusShown = true;
    }
    void setTransferStatus(const QString &text) override
    {
        statusTexts << text;
        if (onStatus)
            onStatus();
    }
    void hideTransferStatus() override
    {
        events << QStringLiteral("hide");
        statusShown = false;
    }
    void processPendingEvents() override { events << QStringLiteral("events"); }
    void showMessage(const UserMessage &message) override
    {
        events << QStringLiteral("message");
        messages.push_back(message);
    }

    QStringList events; // show, hide, events, message
    QStringList statusTexts;
    std::vector<UserMessage> messages;
    bool statusShown = false;
    std::function<void()> onStatus; // runs inside every status update, like window events do
};

// Answers the unsaved-changes prompt from a script.
class ScriptedPrompts : public FilePrompts
{
public:
    SaveChangesAnswer askSaveChanges(const UserMessage &) override
    {
        ++questions;
        return answer;
    }
    QString getSaveFileName(const QString &) override { return {}; }
    QString getOpenFileName(const QString &) override { return {}; }
    void showMessage(const UserMessage &) override {}

    SaveChangesAnswer answer = SaveChangesAnswer::Cancel;
    int questions = 0;
};

// The device link wired to two virtual devices, with recording views.
class LinkTest : public ::testing::Test
{
protected:
    LinkTest() { model.resetSettings(); }

    // Attaches the selected device as the wait tick would and forgets what that took.
    void attach()
    {
        link.waitForDeviceTick();
        ASSERT_TRUE(link.isViewing());
        device.clearLog();
        pollingView.calls.clear();
    }

    std::vector<VirtualExchange> transfers() const { return device.transfers(); }

    VirtualDeviceAccess device;
    ConfigModel model;
    DeviceLink link{device, model};
    DeviceTransport &transport = link.transport();
    LinkRecorder pollingView{link};
    RecordingTransferView transferView;
    ConfigTransfer transfer{link, model, transferView};
};

} // namespace orvex::testing
