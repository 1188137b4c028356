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
    QString emulatorPath;  // --emulator PATH: the socket of a running orvex-emulator

    bool usesEmulator() const { return !emulatorPath.isEmpty(); }
};

// Adds --simulate and --emulator PATH to a program's options.
void addDeviceOptions(QCommandLineParser &parser);

// Reads the options back after parsing.  Nothing, with a message in `error`, when they
// contradict each other or the emulator path is empty.
std::optional<DeviceOptions> readDeviceOptions(const QCommandLineParser &parser, QString *error);

// Real devices through hidapi by default; with --simulate a VirtualDeviceAccess on which only
// Device 1 is present and animated (the caller drives its waves by calling animate() on a
// clock, e.g. from the main poll tick; dynamic_cast finds it); with --emulator a client of
// orvex-emulator.
std::unique_ptr<DeviceAccess> createDeviceAccess(const DeviceOptions &options);

} // namespace orvex
