#include "config/ConfigFile.h"

#include "config/ConfigModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {
namespace {

class ConfigFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        model.resetSettings();
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    void writeBytes(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    static QByteArray readBytes(const QString &filePath)
    {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A model that differs from the defaults in every channel, to see whether loads took effect.
    static ConfigModel &customise(ConfigModel &m)
    {
        m.resetSettings();
        for (auto &c : m.channels) {
            c.steps = 2;
            c.keys[0] = 0x1E;
        }
        m.powerOnDelay = 5;
        return m;
    }

    QTemporaryDir dir;
    ConfigModel model;
};

TEST_F(ConfigFileTest, OnlyExactly512BytesAreAConfiguration)
{
    ConfigModel custom;
    customise(custom);
    const ConfigImage image = encodeImage(custom);
    const QByteArray good(reinterpret_cast<const char *>(image.data()), kImageSize);

    for (int length : {0, 511, 513}) {
        writeBytes(QStringLiteral("f"), good.left(length).leftJustified(length, '\0'));
        model.configChanged = true;
        EXPECT_EQ(loadConfigFile(model, path(QStringLiteral("f"))), FileStatus::InvalidFile)
            << length;
        EXPECT_EQ(model.channels[0].steps, 3) << "model unchanged";
        EXPECT_TRUE(model.configChanged);
    }

    writeBytes(QStringLiteral("f"), good);
    EXPECT_EQ(loadConfigFile(model, path(QStringLiteral("f"))), FileStatus::Ok);
    EXPECT_EQ(model.channels, custom.channels);
    EXPECT_EQ(model.powerOnDelay, 5);
    EXPECT_FALSE(model.configChanged);
}

TEST_F(ConfigFileTest, RejectedImageLeavesTheModel)
{
    ConfigImage image = encodeImage(model);
    image[image::kPowerOnDelayAddress] = 31;
    writeBytes(QStringLiteral("bad"),
               QByteArray(reinterpret_cast<const char *>(image.data()), 512));
    ConfigModel custom;
    customise(custom);
    model.channels = custom.channels;
    model.configChanged = true;

    EXPECT_EQ(loadConfigFile(model, path(QStringLiteral("bad"))), FileStatus::InvalidFile);
    EXPECT_EQ(model.channels, custom.channels);
    EXPECT_TRUE(model.configChanged);
    EXPECT_EQ(fileStatusText(FileStatus::InvalidFile),
              QStringLiteral("Invalid configuration file"));
}

TEST_F(ConfigFileTest, NonFilesFailAtOnceWithoutBlocking)
{
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo"))).constData(), 0600), 0);
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(path(QStringLiteral("dangling"))).constData()),
              0);
    ASSERT_EQ(::symlink("loop", QFile::encodeName(path(QStringLiteral("loop"))).constData()), 0);

    const QString candidates[] = {path(QStringLiteral("folder")),   path(QStringLiteral("fifo")),
                                  path(QStringLiteral("dangling")), path(QStringLiteral("loop")),
                                  path(QStringLiteral("missing")),  QStringLiteral("/dev/zero")};
    for (const QString &candidate : candidates) {
        ConfigImage image{};
        EXPECT_EQ(readImageFile(candidate, image), FileStatus::OpenError)
            << candidate.toStdString();
    }
    EXPECT_EQ(fileStatusText(FileStatus::OpenError), QStringLiteral("Error opening the file"));
}

TEST_F(ConfigFileTest, HugeSparseFileIsRefusedWithoutReadingIt)
{
    QFile file(path(QStringLiteral("huge")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(qint64(4) << 30));
    file.close();
    EXPECT_EQ(loadConfigFile(model, file.fileName()), FileStatus::InvalidFile);
}

TEST_F(ConfigFileTest, UnreadableFileIsAnOpenError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not apply to root";
    writeBytes(QStringLiteral("secret"), QByteArray(512, '\0'));
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("secret"))).constData(), 0), 0);
    EXPECT_EQ(loadConfigFile(model, path(QStringLiteral("secret"))), FileStatus::OpenError);
}

TEST_F(ConfigFileTest, SaveWritesExactly512BytesUnderTheGivenName)
{
    writeBytes(QStringLiteral("Config"), QByteArray(4096, 'x'));
    model.configChanged = true;
    ASSERT_EQ(saveConfigFile(model, path(QStringLiteral("Config"))), FileStatus::Ok);
    EXPECT_FALSE(model.configChanged);

    const QByteArray saved = readBytes(path(QStringLiteral("Config")));
    const ConfigImage image = encodeImage(model);
    EXPECT_EQ(saved, QByteArray(reinterpret_cast<const char *>(image.data()), kImageSize));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Config.ORV")))) << "no extension is added";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Config")})
        << "no temporary file is left behind";
}

// Lets writes to regular files fail past a size, as on a full disk, for root as well.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
};

TEST_F(ConfigFileTest, FailedSaveKeepsThePreviousFileByteForByte)
{
    const QByteArray previous(700, 'p');
    writeBytes(QStringLiteral("keep.orv"), previous);
    model.configChanged = true;

    FileStatus status;
    {
        const FileSizeLimit fullDisk(100);
        status = saveConfigFile(model, path(QStringLiteral("keep.orv")));
    }
    EXPECT_EQ(status, FileStatus::SaveError);
    EXPECT_EQ(fileStatusText(status), QStringLiteral("Error saving file"));
    EXPECT_TRUE(model.configChanged);
    EXPECT_EQ(readBytes(path(QStringLiteral("keep.orv"))), previous);
}

TEST_F(ConfigFileTest, SaveIntoAMissingOrReadOnlyFolderFails)
{
    EXPECT_EQ(saveConfigFile(model, path(QStringLiteral("no/such/folder/x"))),
              FileStatus::SaveError);

    if (::geteuid() == 0)
        return; // root may write into read-only folders
    QDir(dir.path()).mkdir(QStringLiteral("ro"));
    writeBytes(QStringLiteral("ro/old"), QByteArray(3, 'o'));
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("ro"))).constData(), 0555), 0);
    EXPECT_EQ(saveConfigFile(model, path(QStringLiteral("ro/old"))), FileStatus::SaveError);
    EXPECT_EQ(readBytes(path(QStringLiteral("ro/old"))), QByteArray(3, 'o'));
    ::chmod(QFile::encodeName(path(QStringLiteral("ro"))).constData(), 0755);
}

} // namespace
} // namespace orvex
