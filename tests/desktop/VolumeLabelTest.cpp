#include "FakeSystemTree.h"
#include "core/platform/linux/LinuxPlatformServices.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

using test::FakeSystemTree;

TEST(MountInfoTest, ReadsMountPointTypeAndSourceAcrossOptionalFields)
{
    const QByteArray text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "35 22 0:31 / /run rw,nosuid - tmpfs tmpfs rw,size=812k\n"
        "90 22 11:0 / /media/anna/ORVEX\\040CD ro,nosuid shared:7 master:2 - iso9660 /dev/sr0 ro\n"
        "91 22 8:17 / /mnt/back\\134slash rw - vfat /dev/sdb1 rw\n";
    const std::vector<MountEntry> mounts = parseMountInfo(text);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[0], (MountEntry{"/", "ext4", "/dev/sda1"}));
    EXPECT_EQ(mounts[1], (MountEntry{"/run", "tmpfs", "tmpfs"}));
    EXPECT_EQ(mounts[2], (MountEntry{"/media/anna/ORVEX CD", "iso9660", "/dev/sr0"}));
    EXPECT_EQ(mounts[3].mountPoint, QStringLiteral("/mnt/back\\slash"));
}

TEST(MountInfoTest, SkipsMalformedLines)
{
    const QByteArray text = "\n"
                            "garbage\n"
                            "22 1 8:1 / / rw - ext4\n"             // source missing
                            "23 1 8:1 / /x rw ext4 /dev/sda1 rw\n" // no separator
                            "24 1 8:2 / /ok rw - xfs /dev/sda2 rw";
    const std::vector<MountEntry> mounts = parseMountInfo(text);
    ASSERT_EQ(mounts.size(), 1u);
    EXPECT_EQ(mounts[0].mountPoint, QStringLiteral("/ok"));
}

TEST(MountInfoTest, LaterMountsHideEarlierOnesAndOnlyExactPointsCount)
{
    const std::vector<MountEntry> mounts = {
        {"/mnt", "ext4", "/dev/sda1"}, {"/mnt", "vfat", "/dev/sdb1"}, {"/", "ext4", "/dev/sda2"}};
    EXPECT_EQ(mountAt(mounts, QStringLiteral("/mnt"))->source, QStringLiteral("/dev/sdb1"));
    EXPECT_EQ(mountAt(mounts, QStringLiteral("/mnt/"))->source, QStringLiteral("/dev/sdb1"));
    EXPECT_EQ(mountAt(mounts, QStringLiteral("/mnt/sub")), std::nullopt);
}

TEST(UdevLinkNameTest, DecodesEscapedCharacters)
{
    EXPECT_EQ(decodeUdevLinkName(QStringLiteral("ORVEX\\x20CD")), QStringLiteral("ORVEX CD"));
    EXPECT_EQ(decodeUdevLinkName(QStringLiteral("a\\x2fb\\x5c")), QStringLiteral("a/b\\"));
    EXPECT_EQ(decodeUdevLinkName(QStringLiteral("Übung\\x20")), QStringLiteral("Übung "));
    EXPECT_EQ(decodeUdevLinkName(QStringLiteral("bad\\xZZ\\x4")), QStringLiteral("bad\\xZZ\\x4"));
}

// A CD labelled "ORVEX CD" mounted at media/ORVEX CD of the fake tree, with udev's link.
class VolumeLabelLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tree.makeFolder(QStringLiteral("media/ORVEX CD/sub"));
        tree.makeFolder(QStringLiteral("home"));
        tree.writeFile(QStringLiteral("dev/sr0"), {});
        tree.writeFile(QStringLiteral("dev/sda1"), {});
        tree.link(QStringLiteral("../../sr0"), QStringLiteral("dev/disk/by-label/ORVEX\\x20CD"));
        QByteArray mountPoint = tree.path(QStringLiteral("media/ORVEX CD")).toUtf8();
        mountPoint.replace(" ", "\\040");
        tree.writeFile(QStringLiteral("proc/self/mountinfo"),
                       "22 1 8:1 / " + tree.path(QStringLiteral("home")).toUtf8() +
                           " rw - ext4 /dev/sda1 rw\n"
                           "90 22 11:0 / " +
                           mountPoint + " ro shared:7 - iso9660 /dev/sr0 ro\n");
    }

    VolumeLabelLookup lookup()
    {
        return VolumeLabelLookup(tree.roots(), [this](const QString &device) {
            probed.append(device);
            return probeAnswer;
        });
    }

    FakeSystemTree tree;
    QStringList probed;
    QString probeAnswer;
};

TEST_F(VolumeLabelLookupTest, FindsTheLabelThroughUdevLinks)
{
    EXPECT_EQ(lookup().labelOfMountPoint(tree.path(QStringLiteral("media/ORVEX CD"))),
              QStringLiteral("ORVEX CD"));
    EXPECT_TRUE(probed.isEmpty());
}

TEST_F(VolumeLabelLookupTest, ProbesTheDeviceWhenNoLinkNamesIt)
{
    probeAnswer = QStringLiteral("DATA");
    EXPECT_EQ(lookup().labelOfMountPoint(tree.path(QStringLiteral("home"))), probeAnswer);
    EXPECT_EQ(probed, QStringList{tree.path(QStringLiteral("dev/sda1"))});
}

TEST_F(VolumeLabelLookupTest, NoMountPointOrNoTableMeansNoLabel)
{
    probeAnswer = QStringLiteral("DATA");
    EXPECT_EQ(lookup().labelOfMountPoint(tree.path(QStringLiteral("media/ORVEX CD/sub"))), "");
    EXPECT_EQ(lookup().labelOfMountPoint(tree.path(QStringLiteral("missing"))), "");

    LinuxSystemRoots noTable = tree.roots();
    noTable.mountInfo = tree.path(QStringLiteral("proc/none"));
    EXPECT_EQ(VolumeLabelLookup(noTable, [](const QString &) { return QStringLiteral("X"); })
                  .labelOfMountPoint(tree.path(QStringLiteral("home"))),
              "");
}

TEST_F(VolumeLabelLookupTest, MountsWithoutBlockDeviceAreNeverProbed)
{
    tree.makeFolder(QStringLiteral("run"));
    tree.makeFolder(QStringLiteral("gone"));
    tree.writeFile(QStringLiteral("proc/self/mountinfo"),
                   "35 22 0:31 / " + tree.path(QStringLiteral("run")).toUtf8() +
                       " rw - tmpfs tmpfs rw\n"
                       "36 22 0:32 / " +
                       tree.path(QStringLiteral("gone")).toUtf8() + " rw - ext4 /dev/sdz9 rw\n");
    EXPECT_EQ(lookup().labelOfMountPoint(tree.path(QStringLiteral("run"))), "");
    EXPECT_EQ(lookup().labelOfMountPoint(tree.path(QStringLiteral("gone"))), "");
    EXPECT_TRUE(probed.isEmpty());
}

TEST_F(VolumeLabelLookupTest, ServicesReportTheLabelOfTheCurrentDirectory)
{
    LinuxPlatformServices::System system;
    system.roots = tree.roots();
    system.probeLabel = [](const QString &) {
        return QString();
    };
    QString current = tree.path(QStringLiteral("media/ORVEX CD"));
    system.currentDirectory = [&current] {
        return current;
    };
    LinuxPlatformServices services(nullptr, system);

    EXPECT_EQ(services.currentVolumeLabel(), QStringLiteral("ORVEX CD"));
    EXPECT_TRUE(volumeLabelNeedsWarning(services.currentVolumeLabel()));
    current = tree.path(QStringLiteral("media/ORVEX CD/sub"));
    EXPECT_EQ(services.currentVolumeLabel(), "");
}

// The smallest ISO 9660 image libblkid recognises: a primary volume descriptor at sector 16
// with the volume identifier, and the set terminator after it.
QByteArray isoImage(const QByteArray &volumeId)
{
    constexpr int kSector = 2048;
    QByteArray image(18 * kSector, '\0');
    char *primary = image.data() + 16 * kSector;
    primary[0] = 1;
    memcpy(primary + 1, "CD001", 5);
    primary[6] = 1;
    memcpy(primary + 8, QByteArray(32, ' ').constData(), 32);
    memcpy(primary + 40, volumeId.leftJustified(32, ' ').constData(), 32);
    primary[80] = primary[87] = 18;                  // volume space size, both byte orders
    primary[120] = primary[123] = 1;                 // volume set size
    primary[128 + 1] = primary[130] = kSector / 256; // logical block size
    char *terminator = image.data() + 17 * kSector;
    terminator[0] = char(255);
    memcpy(terminator + 1, "CD001", 5);
    terminator[6] = 1;
    return image;
}

TEST(BlkidLabelTest, ReadsTheLabelOfAFileSystemImage)
{
    QTemporaryDir dir;
    QFile image(dir.filePath(QStringLiteral("orvex.iso")));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(isoImage("ORVEX_CD"));
    image.close();
    EXPECT_EQ(blkidLabel(image.fileName()), QStringLiteral("ORVEX_CD"));
}

TEST(BlkidLabelTest, UnreadableOrUnknownDevicesHaveNoLabel)
{
    EXPECT_EQ(blkidLabel(QStringLiteral("/nonexistent/device")), "");
    QTemporaryDir dir;
    QFile blank(dir.filePath(QStringLiteral("blank.img")));
    ASSERT_TRUE(blank.open(QIODevice::WriteOnly));
    blank.write(QByteArray(64 * 1024, '\0'));
    blank.close();
    EXPECT_EQ(blkidLabel(blank.fileName()), "");
}

} // namespace
} // namespace orvex
