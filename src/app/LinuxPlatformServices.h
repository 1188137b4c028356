#pragma once

#include "app/PlatformServices.h"

namespace orvex {

// The platform services of a Linux desktop session.
class LinuxPlatformServices : public PlatformServices
{
public:
    QString commandLine() const override;
    bool callsForElevation() override;
    bool elevate() override;
    QString currentVolumeLabel() override;
};

} // namespace orvex
