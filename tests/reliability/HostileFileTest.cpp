// Configuration files that are not what they seem are refused at once, never read whole, and
// cost the user nothing; a save that cannot complete keeps the file that was there.

#include "ModelEditing.h"
#include "Printers.h"
#include "TestFiles.h"
#include "core/config/ConfigFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace orvex::testing {
namespace {

// Runs `work` on a thread without root's power over every file, so that permissions count for
// root too (capabilities belong to a thread), and with files limited to `maxFileSize` bytes:
// a full disk, where with SIGXFSZ ignored a write fails with EFBIG.
template <typename Work> void asOrdinaryUser(Work work, rlim_t maxFileSize = RLIM_INFINITY)
{
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{std::min(maxFileSize, previous.rlim_max), previous.rlim_max};
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::thread([&work] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3]{};
        if (::syscall(SYS_capget, &header, caps) == 0) {
            for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
                caps[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
            ::syscall(SYS_capset, &header, caps);
        }
        work();
    }).join();
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
}

struct stat fileStatus(const QString &file)
{
    struct stat status = {};
    ::stat(QFile::encodeName(file).constData(), &status);
    return status;
}

class HostileFiles : public ::testing::Test
{
protected:
    QString path(const char *name) const { return m_folder.filePath(QString::fromLatin1(name)); }
    QByteArray local(const char *name) const { return QFile::encodeName(path(name)); }

    QTemporaryDir m_folder;
    ConfigModel model;
    const QByteArray m_previous = QByteArray(kImageSize, '\1'); // a file the model is not
};

TEST_F(HostileFiles, AreRefusedAtOnceAndLeaveTheModel)
{
    ASSERT_TRUE(QDir(m_folder.path()).mkdir(QStringLiteral("folder.ORV")));
    ASSERT_EQ(::mkfifo(local("fifo.ORV"), 0600), 0);
    ASSERT_TRUE(QFile::link(path("missing.ORV"), path("dangling.ORV")));
    ASSERT_TRUE(writeFile(path("secret.ORV"), m_previous));
    ASSERT_EQ(::chmod(local("secret.ORV"), 0200), 0);
    ASSERT_TRUE(writeFile(path("huge.ORV"), {}));
    ASSERT_EQ(::truncate(local("huge.ORV"), off_t{4} << 30), 0); // four sparse gigabytes

    ConfigImage badPeriodic = encodeImage(defaultConfiguration());
    badPeriodic[226] = 101;
    ASSERT_TRUE(writeFile(path("periodic.ORV"), bytesOf(badPeriodic)));
    ASSERT_TRUE(writeFile(path("six.ORV"), "abcdef"));

    const std::tuple<QString, FileStatus, QString> files[] = {
        {path("folder.ORV"), FileStatus::OpenError, "it is a folder"},
        // without a writer, a plain open would block
        {path("fifo.ORV"), FileStatus::OpenError, "it is a pipe, not a file"},
        {"/dev/zero", FileStatus::OpenError, "it is a device, not a file"}, // never ends
        {path("dangling.ORV"), FileStatus::OpenError,
         "it is a link to " + path("missing.ORV") + ", which does not exist"},
        {path("missing.ORV"), FileStatus::OpenError, "no such file"},
        {path("none/x.ORV"), FileStatus::OpenError,
         "the folder " + path("none") + " does not exist"},
        {path("six.ORV/x"), FileStatus::OpenError, "a part of its path is not a folder"},
        {path("secret.ORV"), FileStatus::OpenError, "no permission to read it"},
        // its length alone refuses it
        {path("huge.ORV"), FileStatus::InvalidFile,
         "it is 4294967296 bytes long; a configuration file is exactly 512 bytes"},
        {path("six.ORV"), FileStatus::InvalidFile,
         "it is 6 bytes long; a configuration file is exactly 512 bytes"},
        {path("periodic.ORV"), FileStatus::InvalidFile,
         "byte 226 (channel 3, periodic keystrokes) is 101; the largest valid value is 100"},
    };
    makeUnsavedChange(model);
    const ConfigImage before = encodeImage(model);
    asOrdinaryUser([&] {
        for (const auto &[file, status, reason] : files) {
            QString why;
            EXPECT_EQ(loadConfigFile(model, file, &why), status) << file.toStdString();
            EXPECT_EQ(why, reason);
        }
    });
    EXPECT_EQ(encodeImage(model), before);
    EXPECT_TRUE(model.configChanged());
}

// A file is saved whole beside the old one and renamed over it, keeping its permissions; only
// in a folder that takes no new files is a writable file written in place, where a write cut
// short says that the file is damaged.
TEST_F(HostileFiles, SavesThatCannotCompleteKeepTheFileThatWasThere)
{
    struct Case
    {
        const char *name;
        mode_t folderMode;
        mode_t fileMode;
        rlim_t maxFileSize;
        FileStatus status;
        bool replaced; // another file afterwards, not the same one rewritten
        const char *reason;
    };
    const Case cases[] = {
        {"writable folder", 0700, 0640, RLIM_INFINITY, FileStatus::Ok, true, ""},
        {"full disk", 0700, 0640, 100, FileStatus::SaveError, false, "file too large"},
        {"read-only folder", 0500, 0640, RLIM_INFINITY, FileStatus::Ok, false, ""},
        {"read-only folder and file", 0500, 0440, RLIM_INFINITY, FileStatus::SaveError, false,
         "no permission to write in the folder "},
        {"read-only folder, full disk", 0500, 0640, 100, FileStatus::PartlySaved, false,
         "file too large"},
    };
    const QString file = path("Config.ORV");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(file);
        ASSERT_TRUE(writeFile(file, m_previous));
        ASSERT_EQ(::chmod(local("Config.ORV"), c.fileMode), 0);
        const struct stat before = fileStatus(file);
        ::chmod(QFile::encodeName(m_folder.path()), c.folderMode);
        makeUnsavedChange(model);

        FileStatus status = FileStatus::Ok;
        QString reason;
        asOrdinaryUser([&] { status = saveConfigFile(model, file, &reason); }, c.maxFileSize);
        ::chmod(QFile::encodeName(m_folder.path()), 0700);

        EXPECT_EQ(status, c.status);
        // The folder is named after what stands in the way.
        EXPECT_EQ(reason,
                  c.reason + QString(QByteArray(c.reason).endsWith("folder ") ? m_folder.path()
                                                                              : QString()));
        EXPECT_EQ(model.configChanged(), status != FileStatus::Ok);
        const struct stat after = fileStatus(file);
        EXPECT_EQ(after.st_mode & 07777, c.fileMode);
        EXPECT_EQ(after.st_ino != before.st_ino, c.replaced);
        EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{"Config.ORV"});
        if (status == FileStatus::Ok)
            EXPECT_EQ(readFile(file), bytesOf(encodeImage(model)));
        else if (status == FileStatus::PartlySaved)
            EXPECT_LT(readFile(file).size(), kImageSize);
        else
            EXPECT_EQ(readFile(file), m_previous);
        if (status == FileStatus::PartlySaved) {
            EXPECT_EQ(fileProblemText("F", status, reason),
                      "F: Error saving file: file too large. Only part of it could be written, "
                      "so the file no longer holds a complete configuration.");
        }
    }
}

} // namespace
} // namespace orvex::testing
