#pragma once

#include "core/link/DeviceLink.h"

namespace orvex {
class ConfigModel;
class DeviceAccess;
} // namespace orvex

namespace orvex::ctl {

// One command's time with the devices, as the main program spends its run: every present
// device gets the attach write at the start, and at the end the polling handle is closed,
// devices written meanwhile are restarted and the others get the release write.  The end also
// comes with the destructor, so no path out of a command leaves a device attached.
class DeviceSession
{
public:
    DeviceSession(DeviceAccess &access, const ConfigModel &model, int deviceNumber);
    ~DeviceSession();

    DeviceSession(const DeviceSession &) = delete;
    DeviceSession &operator=(const DeviceSession &) = delete;

    DeviceLink &link() { return m_link; }

    void begin(); // prepareDevices
    void end();   // releaseDevices, once

private:
    DeviceLink m_link;
    bool m_begun = false;
};

} // namespace orvex::ctl
