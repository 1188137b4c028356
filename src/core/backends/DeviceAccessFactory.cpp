#include "core/backends/DeviceAccessFactory.h"

#include "core/backends/emulator/EmulatorDeviceAccess.h"
#include "core/backends/emulator/EmulatorSocketPath.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"
#include "core/backends/locking/DeviceLock.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>

namespace orvex {

namespace {

const QString kSimulateOption = QStringLiteral("simulate");
const QString kEmulatorOption = QStringLiteral("emulator");

QString tr(const char *text)
{
    return QCoreApplication::translate("DeviceOptions", text);
}

std::unique_ptr<DeviceAccess> createSimulation()
{
    auto devices = std::make_unique<VirtualDeviceAccess>();
    devices->setPresent(1, false);
    devices->device(0).animated = true;
    return devices;
}

} // namespace

std::optional<QString> sharedDevicesKey(const DeviceOptions &options)
{
    if (options.simulate)
        return std::nullopt;
    if (!options.usesEmulator())
        return QStringLiteral("usb");
    // One socket reached through other spellings of its path (a link, "..") is the same one.
    const QFileInfo socket(options.emulatorPath);
    const QString path = socket.exists() ? socket.canonicalFilePath() : socket.absoluteFilePath();
    const QByteArray digest =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("emulator-") + QString::fromLatin1(digest.left(16));
}

void addDeviceOptions(QCommandLineParser &parser)
{
    parser.addOption({kSimulateOption, tr("Use an in-process virtual Device 1 with animated "
                                          "inputs instead of USB devices.")});
    parser.addOption({kEmulatorOption,
                      tr("Use the virtual devices of the orvex-emulator listening at <path>; "
                         "\"default\" is where it listens unless told otherwise."),
                      tr("path")});
}

std::optional<DeviceOptions> readDeviceOptions(const QCommandLineParser &parser, QString *error)
{
    DeviceOptions options;
    options.simulate = parser.isSet(kSimulateOption);
    if (parser.isSet(kEmulatorOption)) {
        const QString path = parser.value(kEmulatorOption);
        if (path.isEmpty()) {
            *error = tr("--emulator needs the path of the emulator's socket.");
            return std::nullopt;
        }
        // QLocalSocket would look for a bare name in the temporary folder, not here.  A socket
        // file really called "default" is reached as ./default.
        options.emulatorPath = path == kDefaultSocketWord ? defaultEmulatorSocketPath()
                                                          : QFileInfo(path).absoluteFilePath();
    }
    if (options.simulate && options.usesEmulator()) {
        *error = tr("--simulate and --emulator cannot be used together.");
        return std::nullopt;
    }
    return options;
}

std::unique_ptr<DeviceAccess> createDeviceAccess(const DeviceOptions &options)
{
    if (options.simulate)
        return createSimulation();
    // Devices that other programs can reach too are used under a per-device lock, so that two
    // programs never talk to one device at once.  Each emulator's devices have locks of their
    // own; the in-process simulation is this program's alone.
    if (options.usesEmulator()) {
        return std::make_unique<LockingDeviceAccess>(
            std::make_unique<EmulatorDeviceAccess>(options.emulatorPath),
            DeviceLocks::shared(emulatorLockFolder(options.emulatorPath)));
    }
    return std::make_unique<LockingDeviceAccess>(std::make_unique<HidapiDeviceAccess>());
}

} // namespace orvex
