#pragma once

#include "core/access/DeviceAccess.h"

#include <QString>
#include <vector>

namespace orvex {

// What can be found out about one device without talking to it: its HID interfaces and whether
// this program may open it.
struct DeviceSurveyEntry
{
    enum class Access {
        Absent,           // not plugged in
        Usable,           // opened and closed again
        PermissionDenied, // plugged in, but this user may not open it
        InUse,            // another program holds it
        Failed,           // plugged in, but the open failed for another reason
    };

    int deviceNumber = 0; // 0 = Device 1, 1 = Device 2
    std::uint16_t productId = 0;
    Access access = Access::Absent;
    HidStatus openStatus = hid::kNotPresent;
    QString holder; // who holds it, when another program does and it is known
    std::vector<HidInterfaceInfo> interfaces;

    bool isPresent() const { return access != Access::Absent; }
};

// Looks at Device 1 and Device 2: lists their interfaces and tries an open of each, which is
// closed at once.  Nothing is sent to a device.
std::vector<DeviceSurveyEntry> surveyDevices(DeviceAccess &access);

} // namespace orvex
