#pragma once

#include "core/platform/linux/LinuxPlatformServices.h"

class QWidget;

namespace orvex {

// The device-access offer of the Linux platform services, asked in message boxes.
class MessageBoxAccessPrompts : public AccessPrompts
{
public:
    explicit MessageBoxAccessPrompts(QWidget *parent = nullptr);

    bool askYesNo(const UserMessage &question) override;
    void showMessage(const UserMessage &message) override;

private:
    QWidget *m_parent;
};

} // namespace orvex
