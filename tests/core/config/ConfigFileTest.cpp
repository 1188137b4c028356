// Configuration files and the File commands' own rules: which files are configurations, what a
// save leaves on disk, and how New, Open and Save follow the user's answers.  The window only
// wires its menus to these; its tests prove that wiring.

#include "core/config/ConfigFile.h"

#include "Fakes.h"
#include "ModelEditing.h"
#include "Printers.h"
#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace orvex {
namespace {

class ConfigFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        files.setWindowTitle(QStringLiteral("Title"));
    }
    void TearDown() override { QDir::setCurrent(m_previousDir); }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    static UserMessage error(const char *text) { return {text, "Title", MessageIcon::Critical}; }

    QString m_previousDir = QDir::currentPath();
    QTemporaryDir m_dir;
    ConfigModel model;
    testing::ScriptedPrompts prompts;
    FileCommands files{model, prompts};
};

TEST_F(ConfigFileTest, OnlyExactly512ValidBytesOpenAsAConfiguration)
{
    const QByteArray good = testing::bytesOf(encodeImage(Configuration{.powerOnDelay = 5}));
    const QByteArray badDelay = QByteArray(good).replace(508, 1, "\x1F"); // 31 seconds
    for (const QByteArray &content : {QByteArray(), good.left(511), good + '\0', badDelay, good}) {
        const bool valid = content == good;
        testing::makeUnsavedChange(model);
        prompts = {};
        prompts.openFileAnswers = {path("f")};
        ASSERT_TRUE(testing::writeFile(path("f"), content));
        errno = EINTR; // left by some earlier call: reads that work are not taken as interrupted
        EXPECT_TRUE(files.openFile()) << content.size(); // the file was read, valid or not
        EXPECT_EQ(prompts.messages,
                  std::vector(valid ? 0 : 1, error("Invalid configuration file")));
        EXPECT_EQ(model.powerOnDelay(), valid ? 5 : 0);
        EXPECT_EQ(model.configChanged(), !valid);
    }
}

TEST_F(ConfigFileTest, TheAnswerToTheSavePromptDecidesWhetherNewGoesOn)
{
    // The answer, the save dialog's answer (none: not shown), whether New goes on, the messages.
    // clang-format off
    const std::tuple<SaveChangesAnswer, const char *, bool, std::vector<UserMessage>> cases[] = {
        {SaveChangesAnswer::Yes, " saved.orv ", true, {}},
        {SaveChangesAnswer::Yes, "", false, {}},
        {SaveChangesAnswer::Yes, "no/folder/x.orv", false, {error("Error saving file")}},
        {SaveChangesAnswer::No, nullptr, true, {}},
        {SaveChangesAnswer::Cancel, nullptr, false, {}}};
    // clang-format on
    const UserMessage question{
        "The current configuration has changed.\r\nDo you want to save the changes?", "Title"};
    ASSERT_TRUE(testing::writeFile(path("saved.orv"), QByteArray(4096, 'x')));
    for (const auto &[answer, savePath, newRuns, messages] : cases) {
        SCOPED_TRACE(savePath ? savePath : "no save dialog");
        testing::editConfiguration(model, [](Configuration &edited) { edited.powerOnDelay = 5; });
        testing::makeUnsavedChange(model);
        prompts = {};
        prompts.saveChangesAnswers = {answer};
        if (savePath)
            prompts.saveFileAnswers = {QString::fromLatin1(savePath)};

        files.newConfiguration();
        EXPECT_EQ(prompts.questions, std::vector{question});
        EXPECT_EQ(prompts.saveDialogInitialPaths.size(), savePath ? 1 : 0);
        EXPECT_EQ(model.powerOnDelay(), newRuns ? 0 : 5);
        EXPECT_EQ(model.configChanged(), !newRuns);
        EXPECT_EQ(prompts.messages, messages);
    }
    // Saved over a longer file: exactly the image, under the name given, and nothing else.
    EXPECT_EQ(testing::readFile(path("saved.orv")),
              testing::bytesOf(encodeImage(Configuration{.powerOnDelay = 5})));
    EXPECT_EQ(QDir().entryList(QDir::Files), QStringList{"saved.orv"});
}

TEST_F(ConfigFileTest, DialogsStartAtTheCurrentFileOnceThereIsOne)
{
    files.openConfiguration(); // nothing to save: no question
    files.saveConfiguration();
    // A failed open makes its file the current one, as a save does; New keeps it.
    prompts.openFileAnswers = {path("missing.orv")};
    EXPECT_FALSE(files.openFile());
    prompts.saveFileAnswers = {path("mine.orv")};
    EXPECT_TRUE(files.saveFile());
    files.newConfiguration();
    files.openConfiguration();
    files.saveConfiguration();

    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(prompts.messages, std::vector{error("Error opening the file")});
    EXPECT_EQ(prompts.openDialogInitialPaths, (QStringList{"", "", path("mine.orv")}));
    EXPECT_EQ(prompts.saveDialogInitialPaths,
              (QStringList{path("Config.ORV"), path("missing.orv"), path("mine.orv")}));
}

// A file named on the command line, dropped or handed over by another start goes exactly the way
// of the file chosen in File > Open's dialog: for every kind of file and every answer to the
// unsaved-changes question, both ways leave the same model, messages and proposed save path.
TEST_F(ConfigFileTest, AFileHandedOverOpensAsTheOneChosenInTheDialog)
{
    const QByteArray good = testing::bytesOf(encodeImage(Configuration{.powerOnDelay = 7}));
    ASSERT_TRUE(testing::writeFile(path("good.orv"), good));
    ASSERT_TRUE(testing::writeFile(path("short.orv"), good.left(100)));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.orv"));
    const std::optional<SaveChangesAnswer> answers[] = {std::nullopt, SaveChangesAnswer::Cancel,
                                                        SaveChangesAnswer::No};
    for (const char *name : {"good.orv", "short.orv", "folder.orv", "missing.orv"}) {
        for (const std::optional<SaveChangesAnswer> &answer : answers) {
            SCOPED_TRACE(std::string(name) + (answer ? " after a question" : ""));
            std::vector<std::tuple<Configuration, bool, QString, QString, std::vector<UserMessage>,
                                   std::size_t>>
                outcomes;
            for (const bool handedOver : {false, true}) {
                ConfigModel opened;
                testing::ScriptedPrompts answered;
                FileCommands commands{opened, answered};
                if (answer) {
                    testing::makeUnsavedChange(opened);
                    answered.saveChangesAnswers = {*answer};
                }
                answered.openFileAnswers = {path(name)};
                if (handedOver)
                    EXPECT_EQ(commands.openConfiguration(path(name)),
                              answer != SaveChangesAnswer::Cancel);
                else
                    commands.openConfiguration();
                outcomes.emplace_back(opened.configuration(), opened.configChanged(),
                                      opened.configFileName(), commands.initialSavePath(),
                                      answered.messages, answered.questions.size());
            }
            EXPECT_EQ(outcomes[0], outcomes[1]);
        }
    }
}

} // namespace
} // namespace orvex
