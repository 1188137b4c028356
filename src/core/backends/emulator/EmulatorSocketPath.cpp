#include "core/backends/emulator/EmulatorSocketPath.h"

#include "core/backends/emulator/EmulatorClient.h"

#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

const QString kSocketName = QStringLiteral("orvex-emulator.sock");

// QDir::tempPath() is empty when TMPDIR names a folder that does not exist; the folder would
// then land at the root of the file system.
QString privateFallbackFolder()
{
    const QString temporary = QDir::tempPath();
    return (temporary.isEmpty() ? QStringLiteral("/tmp") : temporary) +
           QStringLiteral("/orvex-emulator-") + QString::number(::getuid());
}

} // namespace

QString defaultEmulatorSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(kSocketName);
    return QDir(privateFallbackFolder()).filePath(kSocketName);
}

bool emulatorIsListening(const QString &path)
{
    return EmulatorClient(path).ensureConnected();
}

bool prepareSocketFolder(const QString &socketPath, QString *error)
{
    const QString folder = QFileInfo(socketPath).absolutePath();
    if (folder != privateFallbackFolder())
        return true;

    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("Cannot create %1: %2").arg(folder, qt_error_string(errno));
        return false;
    }
    // lstat: a symbolic link planted by someone else must not redirect the socket.
    struct stat info
    {
    };
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        *error = QStringLiteral("%1 is not a private folder of this user").arg(folder);
        return false;
    }
    return true;
}

} // namespace orvex
