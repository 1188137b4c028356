#include "core/link/DeviceSurvey.h"

namespace orvex {

namespace {

DeviceSurveyEntry::Access accessForOpenStatus(HidStatus status)
{
    using Access = DeviceSurveyEntry::Access;
    switch (status) {
    case hid::kSuccess:
        return Access::Usable;
    case hid::kNotPresent:
        return Access::Absent;
    case hid::kAccessDenied:
        return Access::PermissionDenied;
    case hid::kInUse:
        return Access::InUse;
    default:
        return Access::Failed;
    }
}

} // namespace

std::vector<DeviceSurveyEntry> surveyDevices(DeviceAccess &access)
{
    std::vector<DeviceSurveyEntry> entries;
    for (int number = 0; number < static_cast<int>(kProductIds.size()); ++number) {
        DeviceSurveyEntry entry;
        entry.deviceNumber = number;
        entry.productId = kProductIds[static_cast<std::size_t>(number)];

        HidHandle handle = kClosedHandle;
        entry.openStatus =
            access.OpenHidDevice(entry.productId, kReportLength, kReportLength, handle);
        if (entry.openStatus == hid::kSuccess)
            access.CloseHidDevice(handle);
        entry.access = accessForOpenStatus(entry.openStatus);
        if (entry.access == DeviceSurveyEntry::Access::InUse)
            entry.holder = access.holderOf(entry.productId);
        if (entry.isPresent())
            entry.interfaces = access.interfaces(entry.productId);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace orvex
