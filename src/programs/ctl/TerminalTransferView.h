#pragma once

#include "core/link/ConfigTransfer.h"

#include <optional>

namespace orvex::ctl {

class Console;

// The status window of a transfer, on a terminal: progress is redrawn in place on standard
// error when it is a terminal and left out otherwise, so logs stay free of carriage returns.
// The closing message is kept for the command, which prints it once it knows the whole outcome
// (a read is only a success once its file is saved).
class TerminalTransferView : public TransferView
{
public:
    explicit TerminalTransferView(Console &console);

    void showTransferStatus() override;
    void setTransferStatus(const QString &text) override;
    void hideTransferStatus() override;
    void processPendingEvents() override;
    void showMessage(const UserMessage &message) override;

    const std::optional<UserMessage> &message() const { return m_message; }

    // The progress text as one terminal line: the two status lines side by side.
    static QString progressLine(const QString &status);

private:
    void clearProgressLine();

    Console &m_console;
    bool m_progressShown = false;
    std::optional<UserMessage> m_message;
};

// Prints a user message: errors (critical icon) on standard error, the rest on standard output.
void printUserMessage(Console &console, const UserMessage &message);

} // namespace orvex::ctl
