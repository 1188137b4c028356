#pragma once

#include "core/config/UserMessage.h"
#include "core/link/DeviceTransfers.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace orvex {

class ConfigModel;
class DeviceLink;
class FileCommands;

// What a configuration transfer tells the window: progress in the status window and the
// closing message.
class TransferView
{
public:
    virtual ~TransferView() = default;

    virtual void showTransferStatus() = 0;                   // show frmStatus, modeless
    virtual void setTransferStatus(const QString &text) = 0; // the two progress lines
    virtual void hideTransferStatus() = 0;                   // unload frmStatus
    virtual void processPendingEvents() = 0;
    virtual void showMessage(const UserMessage &message) = 0;
};

// File > Read from ORVEX and File > Write to ORVEX: the selected device's configuration read
// into the model, or the model written to it, one byte per exchange on the device thread, with
// the polling paused.  The window only starts a transfer and learns of its progress and end.
class ConfigTransfer : public QObject
{
    Q_OBJECT

public:
    ConfigTransfer(DeviceLink &link, ConfigModel &model, TransferView &view,
                   QObject *parent = nullptr);

    // A transfer that starts ends with finished(), once the device is done and the closing
    // message was shown.  One refused at once returns why: another one is running (Busy), or
    // the unsaved-changes question was cancelled (Cancelled).

    // Asks to save changes first (through `files`, when given), then reads.
    std::optional<TransferResult> readFromDevice(FileCommands *files);
    std::optional<TransferResult> writeToDevice();

    bool isBusy() const;

Q_SIGNALS:
    void finished(orvex::TransferResult result);

private:
    void begin();
    void finish(const TransferOutcome &outcome);
    TransferResult takeIn(const TransferOutcome &outcome);

    DeviceLink &m_link;
    ConfigModel &m_model;
    TransferView &m_view;
    bool m_running = false;
};

// Starts a transfer with `start` (a call of readFromDevice() or writeToDevice()) and waits, with
// the event loop running, for its end.  For the command line and tests: the windows never wait.
TransferResult runToEnd(ConfigTransfer &transfer,
                        const std::function<std::optional<TransferResult>()> &start);

} // namespace orvex
