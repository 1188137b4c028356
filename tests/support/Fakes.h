#pragma once

// The stand-ins for what the user and the system answer: the file questions and dialogs, the
// progress and messages of a transfer, and the platform services.

#include "core/config/FileCommands.h"
#include "core/link/ConfigTransfer.h"
#include "core/platform/PlatformServices.h"
#include "core/startup/Startup.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace orvex::testing {

// Answers the file commands' questions from a script and records every message, so that no
// dialog is ever shown.  A question without a scripted answer is counted and cancelled.
class ScriptedPrompts : public FilePrompts
{
public:
    std::deque<SaveChangesAnswer> saveChangesAnswers;
    std::deque<QString> saveFileAnswers; // an empty string: the user cancelled
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

    std::function<void(const UserMessage &)> onMessage; // runs while the message is on show

    void showMessage(const UserMessage &message) override
    {
        messages.push_back(message);
        if (onMessage)
            onMessage(message);
    }

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

// Remembers everything a transfer, or start-up, tells its window, in order.
class RecordingTransferView : public TransferView, public StartupView
{
public:
    QStringList events; // show, hide, events, message
    QStringList statusTexts;
    std::vector<UserMessage> messages;
    bool statusShown = false;
    std::function<void()> onStatus;  // runs inside every status update
    std::function<void()> onMessage; // runs while the message is on show

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
        if (onMessage)
            onMessage();
    }
};

// A platform whose command line, elevation and volume label are whatever the test says.
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

} // namespace orvex::testing
