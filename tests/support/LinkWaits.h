#pragma once

// Asking the device link for a tick and waiting until the device thread has run it and the
// window thread has heard what it announced.

#include "core/link/DeviceLink.h"

namespace orvex::testing {

inline void pollAndWait(DeviceLink &link)
{
    link.pollDevice();
    link.waitUntilIdle();
}

inline void searchAndWait(DeviceLink &link)
{
    link.waitForDeviceTick();
    link.waitUntilIdle();
}

// Until the device thread has done all it was asked, a transfer's end (the polls resume)
// included: the window asks for that while the first wait's answers are handed out.
inline void settle(DeviceLink &link)
{
    link.waitUntilIdle();
    link.waitUntilIdle();
}

} // namespace orvex::testing
