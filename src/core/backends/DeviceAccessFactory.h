#pragma once

#include "core/access/DeviceAccess.h"

#include <QString>
#include <memory>
#include <optional>

class QCommandLineParser;

namespace orvex {

// Which device access layer a program talks to, as chosen on its command line.
struct DeviceOptions
{
    bool simulate = false; // --simulate: in-process virtual Device 1 with animated inputs
    QString emulatorPath;  // --emulator PATH: the socket of a running orvex-emulator; the word
                           // "default" stands for where the emulator listens by default

    bool usesEmulator() const { return !emulatorPath.isEmpty(); }
};

// The devices a program uses, named alike by every program that uses the same ones: "usb" for
// the real devices, "emulator-" and a digest of the socket's path for an emulator's.  Nothing for
// --simulate, whose device belongs to the one program alone.
std::optional<QString> sharedDevicesKey(const DeviceOptions &options);

// Adds --simulate and --emulator PATH to a program's options.
void addDeviceOptions(QCommandLineParser &parser);

// Reads the options back after parsing.  Nothing, with a message in `error`, when they
// contradict each other or the emulator path is empty.
std::optional<DeviceOptions> readDeviceOptions(const QCommandLineParser &parser, QString *error);

// Real devices through hidapi by default; with --simulate an in-process virtual Device 1 whose
// inputs move in slow waves (Device 2 absent); with --emulator a client of orvex-emulator.
// Devices that other programs can reach too are used under the per-device locks.
std::unique_ptr<DeviceAccess> createDeviceAccess(const DeviceOptions &options);

} // namespace orvex
