#pragma once

#include <QString>
#include <memory>

class QCommandLineParser;

namespace orvex {
class DeviceAccess;
}

namespace orvex::ctl {

// The device options every device command shares with the main program (--simulate,
// --emulator PATH), and the device access layer they choose.
void addDeviceBackendOptions(QCommandLineParser &parser);

// nullptr with `error` set when the options cannot be honoured.
std::unique_ptr<DeviceAccess> createDeviceBackend(const QCommandLineParser &parser, QString &error);

} // namespace orvex::ctl
