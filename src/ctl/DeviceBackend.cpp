#include "ctl/DeviceBackend.h"

#include "device/backends/VirtualDeviceAccess.h"

#include <QCommandLineParser>

namespace orvex::ctl {

void addDeviceBackendOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("simulate"), QStringLiteral("Use two simulated devices.")});
}

std::unique_ptr<DeviceAccess> createDeviceBackend(const QCommandLineParser &parser, QString &error)
{
    if (parser.isSet(QStringLiteral("simulate")))
        return std::make_unique<VirtualDeviceAccess>();
    error = QStringLiteral("no device backend available");
    return nullptr;
}

} // namespace orvex::ctl
