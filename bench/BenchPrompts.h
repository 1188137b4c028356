#pragma once

#include "core/config/FileCommands.h"

namespace orvex::bench {

// Answers every question without showing a dialog, so that a benchmark never blocks: changes
// are never saved, file dialogs are cancelled and messages are only counted.
class SilentPrompts : public FilePrompts
{
public:
    SaveChangesAnswer askSaveChanges(const UserMessage &) override { return SaveChangesAnswer::No; }
    QString getSaveFileName(const QString &) override { return {}; }
    QString getOpenFileName(const QString &) override { return {}; }
    void showMessage(const UserMessage &message) override
    {
        ++messageCount;
        lastMessage = message;
    }

    int messageCount = 0;
    UserMessage lastMessage;
};

} // namespace orvex::bench
