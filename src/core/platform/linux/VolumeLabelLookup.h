#pragma once

#include "core/platform/linux/SystemRoots.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace orvex {

// One line of /proc/self/mountinfo, reduced to what the label lookup needs.
struct MountEntry
{
    QString mountPoint;
    QString fileSystemType;
    QString source;

    bool operator==(const MountEntry &) const = default;
};

// Parses the kernel's mount table; malformed lines are skipped.
std::vector<MountEntry> parseMountInfo(const QByteArray &text);

// The file system mounted last at exactly this directory (later mounts hide earlier ones).
std::optional<MountEntry> mountAt(const std::vector<MountEntry> &mounts, const QString &directory);

// Reads a file system's label straight from the block device (needs read access to it).
using LabelProbe = std::function<QString(const QString &devicePath)>;
QString blkidLabel(const QString &devicePath);

// Finds the label of the file system mounted at a directory: first through the
// /dev/disk/by-label links that udev keeps (readable by every user), then by probing the device.
class VolumeLabelLookup
{
public:
    explicit VolumeLabelLookup(LinuxSystemRoots roots = {}, LabelProbe probe = blkidLabel);

    // Empty when the directory is no mount point, the mount has no block device, or the label
    // cannot be found.
    QString labelOfMountPoint(const QString &directory) const;

private:
    QString devicePathOf(const QString &source) const;
    QString labelFromLinks(const QString &devicePath) const;

    LinuxSystemRoots m_roots;
    LabelProbe m_probe;
};

// udev escapes characters of a label in its link names as \xNN.
QString decodeUdevLinkName(const QString &name);

} // namespace orvex
