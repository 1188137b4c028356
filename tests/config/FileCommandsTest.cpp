#include "core/config/FileCommands.h"

#include "ModelEditing.h"
#include "core/config/ConfigFile.h"
#include "core/config/ConfigModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

namespace orvex {
namespace {

// Answers the file commands' questions from a script and records what was asked.
class ScriptedPrompts : public FilePrompts
{
public:
    std::deque<SaveChangesAnswer> answers;
    std::deque<QString> savePaths; // "" = the user cancels
    std::deque<QString> openPaths;

    std::vector<UserMessage> questions;
    std::vector<QString> saveDialogStarts;
    std::vector<QString> openDialogStarts;
    std::vector<UserMessage> messages;

    SaveChangesAnswer askSaveChanges(const UserMessage &question) override
    {
        questions.push_back(question);
        return take(answers, SaveChangesAnswer::Cancel);
    }
    QString getSaveFileName(const QString &initialPath) override
    {
        saveDialogStarts.push_back(initialPath);
        return take(savePaths, QString());
    }
    QString getOpenFileName(const QString &initialPath) override
    {
        openDialogStarts.push_back(initialPath);
        return take(openPaths, QString());
    }
    void showMessage(const UserMessage &message) override { messages.push_back(message); }

private:
    template <typename T> static T take(std::deque<T> &queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

class FileCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedCurrent = QDir::currentPath();
        QDir::setCurrent(dir.path());
        commands.newConfiguration();
    }
    void TearDown() override { QDir::setCurrent(savedCurrent); }

    // A user edit in the settings dialog of channel 2.
    void editSomething()
    {
        ChannelSettings edited = model.channel(1);
        edited.keys[0] = 0x2C;
        model.storeChannel(1, edited);
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString savedCurrent;
    ConfigModel model;
    ScriptedPrompts prompts;
    FileCommands commands{model, prompts};
};

TEST_F(FileCommandsTest, UnchangedConfigurationIsNeverGuarded)
{
    EXPECT_FALSE(commands.askSaveChanges());
    commands.newConfiguration();
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(FileCommandsTest, QuestionTextAndTitle)
{
    editSomething();
    prompts.answers = {SaveChangesAnswer::Cancel};
    EXPECT_TRUE(commands.askSaveChanges());
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].text,
              QStringLiteral("The current configuration has changed.\r\nDo you want to save the "
                             "changes?"));
    EXPECT_EQ(prompts.questions[0].title, kMainWindowTitle);
    EXPECT_EQ(prompts.questions[0].icon, MessageIcon::None);
}

TEST_F(FileCommandsTest, YesThenCancelledSaveStopsTheCommand)
{
    editSomething();
    prompts.answers = {SaveChangesAnswer::Yes};
    commands.newConfiguration();
    EXPECT_EQ(model.channel(1).keys[0], 0x2C) << "New did not run";
    EXPECT_TRUE(model.configChanged());
    EXPECT_TRUE(model.configFileName().isEmpty());
}

TEST_F(FileCommandsTest, NoThenCancelledOpenChangesNothing)
{
    editSomething();
    prompts.answers = {SaveChangesAnswer::No};
    commands.openConfiguration();
    EXPECT_EQ(prompts.openDialogStarts.size(), 1u);
    EXPECT_TRUE(model.configChanged());
    EXPECT_EQ(model.channel(1).keys[0], 0x2C);

    prompts.answers = {SaveChangesAnswer::Cancel};
    commands.newConfiguration();
    EXPECT_EQ(prompts.questions.size(), 2u) << "the next New asks again";
}

TEST_F(FileCommandsTest, FirstSaveProposesConfigOrvInTheCurrentFolder)
{
    commands.saveConfiguration();
    ASSERT_EQ(prompts.saveDialogStarts.size(), 1u);
    EXPECT_EQ(prompts.saveDialogStarts[0], QDir(dir.path()).filePath(QStringLiteral("Config.ORV")));
}

TEST_F(FileCommandsTest, SaveThenNewKeepsTheFileName)
{
    editSomething();
    prompts.savePaths = {path(QStringLiteral("mine.orv"))};
    commands.saveConfiguration();
    EXPECT_FALSE(model.configChanged());
    EXPECT_EQ(QFileInfo(path(QStringLiteral("mine.orv"))).size(), 512);

    commands.newConfiguration();
    EXPECT_EQ(model.channel(1).keys[0], 0);
    EXPECT_FALSE(model.configChanged());
    commands.saveConfiguration();
    EXPECT_EQ(prompts.saveDialogStarts.back(), path(QStringLiteral("mine.orv")));
}

TEST_F(FileCommandsTest, WrongLengthFileIsReportedAndRemembered)
{
    QFile file(path(QStringLiteral("short.orv")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(511, '\0'));
    file.close();

    editSomething();
    prompts.answers = {SaveChangesAnswer::No};
    prompts.openPaths = {file.fileName()};
    commands.openConfiguration();

    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], (UserMessage{QStringLiteral("Invalid configuration file"),
                                                kMainWindowTitle, MessageIcon::Critical}));
    EXPECT_EQ(model.channel(1).keys[0], 0x2C);
    EXPECT_TRUE(model.configChanged());
    commands.saveConfiguration();
    EXPECT_EQ(prompts.saveDialogStarts.back(), file.fileName());
}

TEST_F(FileCommandsTest, OpenReportsSuccessAndUnreadableFilesApart)
{
    ConfigModel other;
    other.resetSettings();
    testing::editConfiguration(other, [](Configuration &c) { c.powerOnDelay = 9; });
    ASSERT_EQ(saveConfigFile(other, path(QStringLiteral("good.orv"))), FileStatus::Ok);

    prompts.openPaths = {path(QStringLiteral("good.orv"))};
    EXPECT_TRUE(commands.openFile());
    EXPECT_EQ(model.powerOnDelay(), 9);
    EXPECT_FALSE(model.configChanged());

    prompts.openPaths = {path(QStringLiteral("gone.orv"))};
    EXPECT_FALSE(commands.openFile());
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("Error opening the file"));
    EXPECT_EQ(model.configFileName(), path(QStringLiteral("gone.orv")));
}

TEST_F(FileCommandsTest, FailedSaveFromThePromptStopsTheCommand)
{
    editSomething();
    prompts.answers = {SaveChangesAnswer::Yes};
    prompts.savePaths = {path(QStringLiteral("missing/folder/x.orv"))};
    commands.newConfiguration();

    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Error saving file"));
    EXPECT_EQ(model.channel(1).keys[0], 0x2C) << "New stopped";
    EXPECT_TRUE(model.configChanged());
    EXPECT_EQ(model.configFileName(), path(QStringLiteral("missing/folder/x.orv")));
}

} // namespace
} // namespace orvex
