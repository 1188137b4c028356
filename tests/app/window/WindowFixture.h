#pragma once

#include "ui/windows/MainWindow.h"
#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "core/link/DevicePolling.h"
#include "core/link/DeviceTransport.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

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

// The whole program minus main(): two virtual devices, the model, polling, file commands and a
// main window whose timers only tick when the test calls the tick slots.
struct WindowFixture
{
    WindowFixture()
    {
        window = std::make_unique<MainWindow>(model, polling, files, prompts,
                                              MainWindow::Timers::DrivenByCaller);
    }

    // Start-up's end state without start-up: defaults, searching, window shown.
    void startSearching()
    {
        files.newConfiguration();
        window->ClearGraphs();
        window->setStatusText(kSearchingText);
        window->setWaitTimerEnabled(true);
        window->show();
    }

    // Searching, then one wait tick, which attaches the selected (or the other) device.
    void startViewing()
    {
        startSearching();
        window->tmrWaitForDevice_Timer();
    }

    template <typename T> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }

    VirtualDeviceAccess devices;
    DeviceTransport transport{devices};
    ConfigModel model;
    DevicePolling polling{transport, model};
    ScriptedPrompts prompts;
    FileCommands files{model, prompts};
    std::unique_ptr<MainWindow> window;
};

} // namespace orvex::test
