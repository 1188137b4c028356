#include "programs/ctl/DeviceSession.h"

namespace orvex::ctl {

DeviceSession::DeviceSession(DeviceAccess &access, const ConfigModel &model, int deviceNumber)
    : m_link(access, model)
{
    m_link.selectDevice(deviceNumber);
}

DeviceSession::~DeviceSession()
{
    end();
}

void DeviceSession::begin()
{
    m_link.prepareDevices();
    m_begun = true;
}

void DeviceSession::end()
{
    if (!m_begun)
        return;
    m_begun = false;
    m_link.releaseDevices();
    m_link.waitUntilIdle();
}

} // namespace orvex::ctl
