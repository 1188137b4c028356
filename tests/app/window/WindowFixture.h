#pragma once

#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/link/DeviceLink.h"
#include "core/platform/PlatformServices.h"
#include "ui/program/Program.h"
#include "ui/windows/MainWindow.h"

#include <QStringList>
#include <deque>
#include <memory>
#include <vector>

namespace orvex::test {

// Answers the window's questions from a script and records every message, so that no dialog is
// ever shown.  A question without a scripted answer is recorded as unexpected and cancelled.
class ScriptedPrompts : public FilePrompts
{
public:
    std::deque<SaveChangesAnswer> saveChangesAnswers;
    std::deque<QString> saveFileAnswers; // empty string = the user cancelled
    std::deque<QString> openFileAnswers;

    std::vector<UserMessage> questions;
    std::vector<UserMessage> messages;
    QStringList saveDialogInitialPaths;
    QStringList openDialogInitialPaths;
    int unexpectedQuestions = 0;

    SaveChangesAnswer askSaveChanges(const UserMessage &question) override
    {
        questions.push_back(question);
        return take(saveChangesAnswers, SaveChangesAnswer::Cancel);
    }

    QString getSaveFileName(const QString &initialPath) override
    {
        saveDialogInitialPaths << initialPath;
        return take(saveFileAnswers, QString());
    }

    QString getOpenFileName(const QString &initialPath) override
    {
        openDialogInitialPaths << initialPath;
        return take(openFileAnswers, QString());
    }

    void showMessage(const UserMessage &message) override { messages.push_back(message); }

private:
    template <typename T> T take(std::deque<T> &answers, T whenUnscripted)
    {
        if (answers.empty()) {
            ++unexpectedQuestions;
            return whenUnscripted;
        }
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The platform of a test: its command line, elevation and volume label are whatever the test
// says.
class FakePlatform : public PlatformServices
{
public:
    QString line;
    bool wantsElevation = false;
    bool elevationCarriesOn = false;
    QString volumeLabel;
    int elevateCalls = 0;

    QString commandLine() const override { return line; }
    bool callsForElevation() override { return wantsElevation; }
    bool elevate() override
    {
        ++elevateCalls;
        return elevationCarriesOn;
    }
    QString currentVolumeLabel() override { return volumeLabel; }
};

// The whole program as main() builds it, on two virtual devices, with scripted prompts and a
// fake platform.  The link's timers do not run: tests call its ticks.
struct WindowFixture
{
    // Start-up's end state without start-up: defaults, searching, window shown.
    void startSearching()
    {
        files.newConfiguration();
        link.startSearching();
        window->show();
    }

    // Searching, then one wait tick, which attaches the selected (or the other) device.
    void startViewing()
    {
        startSearching();
        link.waitForDeviceTick();
    }

    template <typename T> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }

    ScriptedPrompts prompts;
    FakePlatform platform;
    std::unique_ptr<VirtualDeviceAccess> ownDevices = std::make_unique<VirtualDeviceAccess>();
    VirtualDeviceAccess &devices = *ownDevices;
    Program program{{std::move(ownDevices), &prompts, &platform}};
    ConfigModel &model = program.model();
    DeviceLink &link = program.link();
    FileCommands &files = program.files();
    MainWindow *window = &program.window();
};

} // namespace orvex::test
