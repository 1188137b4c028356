#include "programs/ctl/DeviceSession.h"

namespace orvex::ctl {

DeviceSession::DeviceSession(DeviceAccess &access, ConfigModel &model, int deviceNumber)
    : m_transport(access)
    , m_model(model)
    , m_polling(m_transport, model)
{
    m_polling.deviceNumber = deviceNumber;
}

DeviceSession::~DeviceSession()
{
    end();
}

void DeviceSession::begin()
{
    m_polling.prepareDevices();
    m_begun = true;
}

void DeviceSession::end()
{
    if (!m_begun)
        return;
    m_begun = false;
    m_polling.releaseDevices();
}

} // namespace orvex::ctl
