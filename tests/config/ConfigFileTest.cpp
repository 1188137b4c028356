#include "core/config/ConfigFile.h"

#include "ModelEditing.h"
#include "core/config/ConfigModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        testing::editConfiguration(m, [](Configuration &configuration) {
            for (auto &c : configuration.channels) {
                c.steps = 2;
                c.keys[0] = 0x1E;
            }
            configuration.powerOnDelay = 5;
        });
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
        testing::makeUnsavedChange(model);
        EXPECT_EQ(loadConfigFile(model, path(QStringLiteral("f"))), FileStatus::InvalidFile)
            << length;
        EXPECT_EQ(model.channel(0).steps, 3) << "model unchanged";
        EXPECT_TRUE(model.configChanged());
    }

    writeBytes(QStringLiteral("f"), good);
    EXPECT_EQ(loadConfigFile(model, path(QStringLiteral("f"))), FileStatus::Ok);
    EXPECT_EQ(model.channels(), custom.channels());
    EXPECT_EQ(model.powerOnDelay(), 5);
    EXPECT_FALSE(model.configChanged());
}

TEST_F(ConfigFileTest, RejectedImageLeavesTheModel)
{
    ConfigImage image = encodeImage(model);
    image[image::kPowerOnDelayAddress] = 31;
    writeBytes(QStringLiteral("bad"),
               QByteArray(reinterpret_cast<const char *>(image.data()), 512));
    ConfigModel custom;
    customise(custom);
    testing::editConfiguration(model, [&](Configuration &c) { c.channels = custom.channels(); });
    testing::makeUnsavedChange(model);

    EXPECT_EQ(loadConfigFile(model, path(QStringLiteral("bad"))), FileStatus::InvalidFile);
    EXPECT_EQ(model.channels(), custom.channels());
    EXPECT_TRUE(model.configChanged());
    EXPECT_EQ(fileStatusText(FileStatus::InvalidFile),
              QStringLiteral("Invalid configuration file"));
}

TEST_F(ConfigFileTest, SaveWritesExactly512BytesUnderTheGivenName)
{
    writeBytes(QStringLiteral("Config"), QByteArray(4096, 'x'));
    testing::makeUnsavedChange(model);
    ASSERT_EQ(saveConfigFile(model, path(QStringLiteral("Config"))), FileStatus::Ok);
    EXPECT_FALSE(model.configChanged());

    const QByteArray saved = readBytes(path(QStringLiteral("Config")));
    const ConfigImage image = encodeImage(model);
    EXPECT_EQ(saved, QByteArray(reinterpret_cast<const char *>(image.data()), kImageSize));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Config.ORV")))) << "no extension is added";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Config")})
        << "no temporary file is left behind";
}

} // namespace
} // namespace orvex
