#include "core/link/ConfigTransfer.h"

#include "core/config/ConfigImage.h"
#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/link/DeviceLink.h"

#include <QEventLoop>
#include <optional>

namespace orvex {

namespace {

UserMessage errorMessage(const QString &text)
{
    return {text, kMainWindowTitle, MessageIcon::Critical};
}

UserMessage successMessage(const QString &text)
{
    return {text, kShortTitle, MessageIcon::None};
}

} // namespace

ConfigTransfer::ConfigTransfer(DeviceLink &link, ConfigModel &model, TransferView &view,
                               QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_model(model)
    , m_view(view)
{
    connect(&m_link, &DeviceLink::transferProgress, this, [this](const QString &text) {
        if (m_running)
            m_view.setTransferStatus(text);
    });
    connect(&m_link, &DeviceLink::transferFinished, this, [this](const TransferOutcome &outcome) {
        if (m_running)
            finish(outcome);
    });
}

bool ConfigTransfer::isBusy() const
{
    return m_link.isTransferRunning();
}

// Two transfers at once would interleave their bytes on the device, so one waits for no other.
std::optional<TransferResult> ConfigTransfer::readFromDevice(FileCommands *files)
{
    if (isBusy())
        return TransferResult::Busy;
    if (files != nullptr && files->askSaveChanges())
        return TransferResult::Cancelled;
    begin();
    m_link.readConfiguration();
    return std::nullopt;
}

std::optional<TransferResult> ConfigTransfer::writeToDevice()
{
    if (isBusy())
        return TransferResult::Busy;
    begin();
    m_link.writeConfiguration(encodeImage(m_model));
    return std::nullopt;
}

void ConfigTransfer::begin()
{
    m_running = true;
    m_view.showTransferStatus();
}

// The device has let go of its private handle; the window takes in what it brought and says how
// it went, and only then do the polls resume.
void ConfigTransfer::finish(const TransferOutcome &outcome)
{
    const TransferResult result = takeIn(outcome);
    m_link.endTransfer();
    m_running = false;
    Q_EMIT finished(result);
}

TransferResult ConfigTransfer::takeIn(const TransferOutcome &outcome)
{
    if (outcome.result != TransferResult::Success) {
        m_view.hideTransferStatus();
        m_view.showMessage(errorMessage(outcome.failureText));
        return outcome.result;
    }
    if (outcome.direction == TransferDirection::Read && !decodeImage(m_model, outcome.image)) {
        m_view.hideTransferStatus();
        m_view.showMessage(errorMessage(QStringLiteral("Invalid configuration")));
        return TransferResult::InvalidConfiguration;
    }
    m_view.hideTransferStatus();
    m_view.processPendingEvents();
    m_view.showMessage(successMessage(
        outcome.direction == TransferDirection::Read
            ? QStringLiteral("The configuration was successfully read from the device")
            : QStringLiteral("The configuration was successfully saved to the device")));
    return TransferResult::Success;
}

TransferResult runToEnd(ConfigTransfer &transfer,
                        const std::function<std::optional<TransferResult>()> &start)
{
    std::optional<TransferResult> result;
    QEventLoop loop;
    const QMetaObject::Connection connection =
        QObject::connect(&transfer, &ConfigTransfer::finished, &loop, [&](TransferResult ended) {
            result = ended;
            loop.quit();
        });
    if (const std::optional<TransferResult> refused = start())
        result = refused;
    else
        loop.exec();
    QObject::disconnect(connection);
    return *result;
}

} // namespace orvex
