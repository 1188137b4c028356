// Configuration files that are not what they seem: each gets its clear message at once, is
// never read whole, and costs the user nothing.

#include "ModelEditing.h"
#include "core/config/ConfigFile.h"
#include "core/config/ConfigImage.h"
#include "core/config/ConfigModel.h"
#include "core/config/FileCommands.h"
#include "programs/ctl/Console.h"
#include "programs/ctl/OrvexCtl.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace orvex {
namespace {

const QString kOpenError = QStringLiteral("Error opening the file");
const QString kInvalidFile = QStringLiteral("Invalid configuration file");
const QString kSaveError = QStringLiteral("Error saving file");
const QString kPartlySaved =
    QStringLiteral("Error saving file. Only part of it could be written, "
                   "so the file no longer holds a complete configuration.");

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

class ScriptedPrompts : public FilePrompts
{
public:
    SaveChangesAnswer askSaveChanges(const UserMessage &) override { return SaveChangesAnswer::No; }
    QString getSaveFileName(const QString &) override { return path; }
    QString getOpenFileName(const QString &) override { return path; }
    void showMessage(const UserMessage &message) override { messages << message.text; }

    QString path;
    QStringList messages;
};

class HostileFiles : public ::testing::Test
{
protected:
    HostileFiles()
    {
        model.resetSettings();
        testing::editConfiguration(model, [](Configuration &configuration) {
            configuration.powerOnDelay = 9;
            configuration.channels[3].periodic = 42;
        });
        testing::makeUnsavedChange(model);
    }

    QString path(const char *name) const { return m_folder.filePath(QString::fromLatin1(name)); }

    // Opens `file` through File > Open and expects exactly `message`, with the model untouched.
    void expectOpenRefused(const QString &file, const QString &message)
    {
        SCOPED_TRACE(file.toStdString());
        const auto before = model.channels();
        prompts.path = file;
        prompts.messages.clear();
        files.openConfiguration();
        EXPECT_EQ(prompts.messages, QStringList{message});
        EXPECT_EQ(model.channels(), before);
        EXPECT_EQ(model.powerOnDelay(), 9);
        EXPECT_TRUE(model.configChanged());
        EXPECT_EQ(model.configFileName(), file);
    }

    // The same file through "orvexctl show": exit status 1 and the same text on stderr.
    void expectShowRefused(const QString &file, const QString &message)
    {
        SCOPED_TRACE(file.toStdString());
        QBuffer in, out, err;
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ctl::Console console(in, out, err, false, false);
        ctl::OrvexCtl program(console);
        EXPECT_EQ(program.run({QStringLiteral("orvexctl"), QStringLiteral("show"), file}),
                  ctl::kExitFailure);
        EXPECT_EQ(QString::fromUtf8(err.data()).trimmed(), message);
        EXPECT_TRUE(out.data().isEmpty());
    }

    void expectRefusedEverywhere(const QString &file, const QString &message)
    {
        expectOpenRefused(file, message);
        expectShowRefused(file, message);
    }

    QByteArray goodFile(const QString &file)
    {
        ConfigModel other;
        other.resetSettings();
        testing::editConfiguration(
            other, [](Configuration &configuration) { configuration.powerOnDelay = 27; });
        EXPECT_EQ(saveConfigFile(other, file), FileStatus::Ok);
        QFile saved(file);
        EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
        return saved.readAll();
    }

    QByteArray contents(const QString &file)
    {
        QFile saved(file);
        return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
    }

    QTemporaryDir m_folder;
    ConfigModel model;
    ScriptedPrompts prompts;
    FileCommands files{model, prompts};
};

TEST_F(HostileFiles, ThingsThatAreNotFilesAreRefusedAtOnce)
{
    ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("folder.ORV")));
    expectRefusedEverywhere(path("folder.ORV"), kOpenError);

    // A FIFO without a writer would block a plain open for ever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.ORV")).constData(), 0600), 0);
    expectRefusedEverywhere(path("fifo.ORV"), kOpenError);

    // Device nodes: one that reads nothing, and one that never ends.
    expectRefusedEverywhere(QStringLiteral("/dev/null"), kOpenError);
    expectRefusedEverywhere(QStringLiteral("/dev/zero"), kOpenError);
}

TEST_F(HostileFiles, BrokenSymlinksAreOpenErrors)
{
    ASSERT_TRUE(QFile::link(path("missing.ORV"), path("dangling.ORV")));
    expectRefusedEverywhere(path("dangling.ORV"), kOpenError);

    ASSERT_TRUE(QFile::link(path("loop-b.ORV"), path("loop-a.ORV")));
    ASSERT_TRUE(QFile::link(path("loop-a.ORV"), path("loop-b.ORV")));
    expectRefusedEverywhere(path("loop-a.ORV"), kOpenError);
}

TEST_F(HostileFiles, UnreadableFileIsAnOpenError)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root reads every file";
    goodFile(path("secret.ORV"));
    ASSERT_TRUE(QFile::setPermissions(path("secret.ORV"), QFile::WriteOwner));
    expectRefusedEverywhere(path("secret.ORV"), kOpenError);
}

TEST_F(HostileFiles, HugeSparseFileIsMeasuredNotRead)
{
    // Four gigabytes of nothing: reading it would take long and loading it all would take the
    // memory; its length alone refuses it.
    const QString huge = path("huge.ORV");
    {
        const int fd = ::open(QFile::encodeName(huge).constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t{4} << 30), 0);
        ::close(fd);
    }
    expectRefusedEverywhere(huge, kInvalidFile);
}

// A full file system, played by a file size limit smaller than one image.  With SIGXFSZ
// ignored the write fails with EFBIG, for root as for anyone.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_active = false;
};

TEST_F(HostileFiles, SavingOntoAFullDiskKeepsThePreviousFile)
{
    const QString file = path("kept.ORV");
    const QByteArray previous = goodFile(file);
    prompts.path = file;
    bool saved = true;
    {
        FileSizeLimit limit(100);
        ASSERT_TRUE(limit.active());
        saved = files.saveFile();
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(prompts.messages, QStringList{kSaveError});
    EXPECT_TRUE(model.configChanged());
    EXPECT_EQ(contents(file), previous);
    // Nothing half-written is left beside it either.
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{"kept.ORV"});

    // With room again the same save goes through.
    prompts.messages.clear();
    EXPECT_TRUE(files.saveFile());
    EXPECT_EQ(contents(file).size(), kImageSize);
}

// Runs `work` on a thread of its own without the power to write into any folder, which root
// has; capabilities belong to a thread, so the rest of the test keeps them.
template <typename Work> void withoutFileOverride(Work work)
{
    std::thread([&work] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3]{};
        if (::syscall(SYS_capget, &header, caps) == 0) {
            caps[CAP_TO_INDEX(CAP_DAC_OVERRIDE)].effective &= ~CAP_TO_MASK(CAP_DAC_OVERRIDE);
            ::syscall(SYS_capset, &header, caps);
        }
        work();
    }).join();
}

struct FileStat
{
    ino_t inode = 0;
    mode_t mode = 0;
};

FileStat fileStat(const QString &file)
{
    struct stat info
    {
    };
    ::stat(QFile::encodeName(file).constData(), &info);
    return {info.st_ino, info.st_mode & 07777};
}

// A folder that takes no new files: a writable file in it is written in place, keeping its
// permissions; a read-only one is refused and kept; a write cut short there says that the file
// is damaged.  Everywhere else the file is replaced whole, also keeping its permissions.
TEST_F(HostileFiles, SavingWhereNoTemporaryFileCanBeMade)
{
    struct Case
    {
        const char *name;
        bool folderWritable;
        mode_t fileMode;
        bool diskFull;
        QStringList messages;
        bool replaced; // the file is another one afterwards, not the same one rewritten
    };
    const Case cases[] = {
        {"writable folder", true, 0640, false, {}, true},
        {"writable file", false, 0640, false, {}, false},
        {"read-only file", false, 0440, false, {kSaveError}, false},
        {"writable file, disk full", false, 0640, true, {kPartlySaved}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("Config.ORV");
        QFile::remove(file);
        const QByteArray previous = goodFile(file);
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), c.fileMode), 0);
        const FileStat before = fileStat(file);
        if (!c.folderWritable) {
            ASSERT_EQ(::chmod(QFile::encodeName(m_folder.path()).constData(), 0500), 0);
        }

        prompts.path = file;
        prompts.messages.clear();
        testing::makeUnsavedChange(model);
        bool saved = false;
        withoutFileOverride([&] {
            std::optional<FileSizeLimit> limit;
            if (c.diskFull)
                limit.emplace(100);
            saved = files.saveFile();
        });
        ::chmod(QFile::encodeName(m_folder.path()).constData(), 0700);

        EXPECT_EQ(prompts.messages, c.messages);
        EXPECT_EQ(saved, c.messages.isEmpty());
        EXPECT_EQ(model.configChanged(), !saved);
        const FileStat after = fileStat(file);
        EXPECT_EQ(after.mode, c.fileMode);
        EXPECT_EQ(after.inode != before.inode, c.replaced);
        EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{"Config.ORV"});
        const ConfigImage image = encodeImage(model);
        if (saved) {
            EXPECT_EQ(contents(file),
                      QByteArray(reinterpret_cast<const char *>(image.data()), kImageSize));
        } else if (c.diskFull) {
            EXPECT_LT(contents(file).size(), kImageSize);
        } else {
            EXPECT_EQ(contents(file), previous);
        }
    }
}

} // namespace
} // namespace orvex
