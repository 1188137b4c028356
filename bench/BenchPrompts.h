#pragma once

#include "core/config/FileCommands.h"
#include "core/platform/PlatformServices.h"

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

// A platform that asks for nothing and finds no volume label.
class NoPlatform : public PlatformServices
{
public:
    QString commandLine() const override { return {}; }
    bool callsForElevation() override { return false; }
    bool elevate() override { return false; }
    QString currentVolumeLabel() override { return {}; }
};

} // namespace orvex::bench
