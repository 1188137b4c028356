#include "core/link/DeviceMessages.h"

namespace orvex {

QString deviceNotFoundText(int deviceNumber)
{
    return QStringLiteral("The ORVEX (%1) was not found").arg(deviceNumber + 1);
}

QString deviceInUseText(int deviceNumber, const QString &holder)
{
    const QString text =
        QStringLiteral("The ORVEX (%1) is in use by another program").arg(deviceNumber + 1);
    return holder.isEmpty() ? text : text + QStringLiteral(": ") + holder;
}

QString deviceUnavailableText(const DeviceAccess &access, int deviceNumber, HidStatus openStatus)
{
    if (openStatus == hid::kInUse && deviceNumber >= 0 &&
        deviceNumber < static_cast<int>(kProductIds.size()))
        return deviceInUseText(deviceNumber, access.holderOf(kProductIds[deviceNumber]));
    return deviceNotFoundText(deviceNumber);
}

} // namespace orvex
