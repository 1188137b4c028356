#include "core/platform/linux/VolumeLabelLookup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <blkid/blkid.h>
#include <memory>

namespace orvex {

namespace {

// The kernel writes blanks, tabs, line feeds and backslashes in mount table fields as \ooo.
QString unescapeMountField(const QByteArray &field)
{
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QByteArray octal = field.mid(i + 1, 3);
        bool ok = false;
        const int value = octal.size() == 3 ? octal.toInt(&ok, 8) : 0;
        if (field[i] == '\\' && ok && value <= 0xFF) {
            bytes.append(static_cast<char>(value));
            i += 3;
        } else {
            bytes.append(field[i]);
        }
    }
    return QFile::decodeName(bytes);
}

QString cleanPath(const QString &path)
{
    return QDir::cleanPath(path);
}

} // namespace

// Line format: id parent major:minor root mount-point options [optional fields...] - type source
// super-options
std::vector<MountEntry> parseMountInfo(const QByteArray &text)
{
    std::vector<MountEntry> mounts;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf(QByteArrayLiteral("-"), 6);
        if (separator < 0 || separator + 2 >= fields.size())
            continue;
        mounts.push_back({unescapeMountField(fields[4]), unescapeMountField(fields[separator + 1]),
                          unescapeMountField(fields[separator + 2])});
    }
    return mounts;
}

std::optional<MountEntry> mountAt(const std::vector<MountEntry> &mounts, const QString &directory)
{
    const QString wanted = cleanPath(directory);
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (cleanPath(it->mountPoint) == wanted)
            return *it;
    }
    return std::nullopt;
}

QString blkidLabel(const QString &devicePath)
{
    const std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
        blkid_new_probe_from_filename(QFile::encodeName(devicePath).constData()), blkid_free_probe);
    if (!probe)
        return {};
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return {};
    const char *label = nullptr;
    if (blkid_probe_lookup_value(probe.get(), "LABEL", &label, nullptr) != 0 || !label)
        return {};
    return QString::fromUtf8(label);
}

QString decodeUdevLinkName(const QString &name)
{
    const QByteArray encoded = QFile::encodeName(name);
    QByteArray decoded;
    decoded.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        bool ok = false;
        const int value = encoded.mid(i + 2, 2).toInt(&ok, 16);
        if (encoded.mid(i, 2) == "\\x" && encoded.mid(i + 2, 2).size() == 2 && ok) {
            decoded.append(static_cast<char>(value));
            i += 3;
        } else {
            decoded.append(encoded[i]);
        }
    }
    return QString::fromUtf8(decoded);
}

VolumeLabelLookup::VolumeLabelLookup(LinuxSystemRoots roots, LabelProbe probe)
    : m_roots(std::move(roots))
    , m_probe(std::move(probe))
{}

QString VolumeLabelLookup::labelOfMountPoint(const QString &directory) const
{
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    QFile mountInfo(m_roots.mountInfo);
    if (canonical.isEmpty() || !mountInfo.open(QIODevice::ReadOnly))
        return {};
    const std::optional<MountEntry> mount = mountAt(parseMountInfo(mountInfo.readAll()), canonical);
    if (!mount)
        return {};
    const QString device = devicePathOf(mount->source);
    if (device.isEmpty())
        return {};
    const QString label = labelFromLinks(device);
    return label.isEmpty() ? m_probe(device) : label;
}

// Only mounts of a device under /dev have a label; tmpfs, overlay, network shares have not.
QString VolumeLabelLookup::devicePathOf(const QString &source) const
{
    const QString devPrefix = QStringLiteral("/dev/");
    if (!source.startsWith(devPrefix) || source.size() == devPrefix.size())
        return {};
    const QString device = m_roots.dev + QLatin1Char('/') + source.mid(devPrefix.size());
    return QFileInfo::exists(device) ? device : QString();
}

QString VolumeLabelLookup::labelFromLinks(const QString &devicePath) const
{
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    QDirIterator links(m_roots.dev + QStringLiteral("/disk/by-label"),
                       QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    while (links.hasNext()) {
        const QFileInfo link = links.nextFileInfo();
        if (link.canonicalFilePath() == target)
            return decodeUdevLinkName(link.fileName());
    }
    return {};
}

} // namespace orvex
