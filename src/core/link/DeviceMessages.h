#pragma once

#include "core/access/DeviceAccess.h"

#include <QString>

namespace orvex {

// "The ORVEX (1) was not found" for device number 0.
QString deviceNotFoundText(int deviceNumber);

// "The ORVEX (1) is in use by another program: orvex-config (PID 1234)", or without the holder
// when it is not known.
QString deviceInUseText(int deviceNumber, const QString &holder);

// Why a device could not be opened: held by another program (named when `access` knows who) or
// not found.
QString deviceUnavailableText(const DeviceAccess &access, int deviceNumber, HidStatus openStatus);

} // namespace orvex
