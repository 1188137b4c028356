#include "core/backends/virtual/VirtualDeviceAccess.h"

#include "core/access/DeviceProtocol.h"
#include "core/access/HardwareId.h"
#include "core/config/ConfigModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvex {

namespace {

ConfigImage defaultMemory()
{
    ConfigModel model;
    model.resetSettings();
    ConfigImage memory = encodeImage(model);
    memory[image::kSignatureAddress] = image::kSignature[0];
    memory[image::kSignatureAddress + 1] = image::kSignature[1];
    return memory;
}

int requestAddress(const HidReport &request)
{
    return request[2] * 256 + request[3];
}

bool isMemoryAddress(int address)
{
    return address >= 0 && address < kImageSize;
}

// The waves take one step every 10 ms, the pace of the programs' polls.
constexpr std::int64_t kAnimationStepMs = 10;

bool isValidDeviceNumber(int deviceNumber)
{
    return deviceNumber == 0 || deviceNumber == 1;
}

} // namespace

VirtualDevice::VirtualDevice()
    : memory(defaultMemory())
{}

std::array<std::uint8_t, 6> animatedLiveValues(std::int64_t step)
{
    // Periods in animation steps (a poll every 10 ms makes them 6 to 17 seconds long).
    constexpr std::array<double, 6> periods = {600, 830, 1070, 1310, 1490, 1730};
    std::array<std::uint8_t, 6> values{};
    for (std::size_t c = 0; c < values.size(); ++c) {
        const double phase = 1.1 * static_cast<double>(c);
        const double angle =
            2 * std::numbers::pi * (static_cast<double>(step) / periods[c]) + phase;
        values[c] = static_cast<std::uint8_t>(std::lround(127.5 + 127.5 * std::sin(angle)));
    }
    return values;
}

VirtualDeviceAccess::VirtualDeviceAccess()
{
    m_started.start();
    m_clockMs = [this] {
        return m_started.elapsed();
    };
}

VirtualDevice &VirtualDeviceAccess::device(int deviceNumber)
{
    return m_devices.at(static_cast<std::size_t>(deviceNumber));
}

const VirtualDevice &VirtualDeviceAccess::device(int deviceNumber) const
{
    return m_devices.at(static_cast<std::size_t>(deviceNumber));
}

HidStatus VirtualDeviceAccess::OpenHidDevice(std::uint16_t productId, int requestLength,
                                             int replyLength, HidHandle &handle)
{
    const int number = deviceNumberForProduct(productId);
    HidStatus status = hid::kSuccess;
    if (requestLength != kReportLength || replyLength != kReportLength)
        status = hid::kBadArgument;
    else if (number < 0 || !device(number).present)
        status = hid::kNotPresent;
    else if (device(number).openRefusal != hid::kSuccess)
        status = device(number).openRefusal;

    if (status == hid::kSuccess) {
        handle = m_nextHandle++;
        m_handles.emplace(handle, OpenHandle{number});
    }
    record(VirtualExchange::Kind::Open, number, status);
    return status;
}

HidStatus VirtualDeviceAccess::CloseHidDevice(HidHandle &handle)
{
    const auto found = m_handles.find(handle);
    const int number = found == m_handles.end() ? -1 : found->second.deviceNumber;
    const HidStatus status = found == m_handles.end() ? hid::kBadHandle : hid::kSuccess;
    if (found != m_handles.end())
        m_handles.erase(found);
    handle = kClosedHandle;
    record(VirtualExchange::Kind::Close, number, status);
    return status;
}

HidStatus VirtualDeviceAccess::WriteHidDevice(HidHandle &handle, const HidReport &request,
                                              HidReport &reply)
{
    const int index = m_exchangeCount++;
    if (const auto unplug = m_unplugAt.find(index); unplug != m_unplugAt.end())
        setPresent(unplug->second, false);

    const auto found = m_handles.find(handle);
    if (found == m_handles.end()) {
        record(VirtualExchange::Kind::Transfer, -1, hid::kBadHandle, request);
        return hid::kBadHandle;
    }

    OpenHandle &open = found->second;
    VirtualDevice &target = device(open.deviceNumber);
    if (!target.present)
        open.lost = true;

    HidStatus status = hid::kSuccess;
    HidReport answer{};
    if (open.lost) {
        status = hid::kIoError;
    } else if (const auto fault = m_failAt.find(index); fault != m_failAt.end()) {
        status = fault->second;
    } else {
        status = transfer(request, target, answer);
    }

    if (status == hid::kSuccess)
        reply = answer;
    record(VirtualExchange::Kind::Transfer, open.deviceNumber, status, request,
           status == hid::kSuccess ? answer : HidReport{});
    return status;
}

// The device's side of one exchange.  Nothing is stored unless the whole request is valid.
HidStatus VirtualDeviceAccess::transfer(const HidReport &request, VirtualDevice &target,
                                        HidReport &reply)
{
    if (request[0] != command::kReportId)
        return hid::kBadArgument;

    const int address = requestAddress(request);
    const std::uint8_t value = request[4];
    if (request[1] == command::kWriteByte) {
        if (isMemoryAddress(address)) {
            target.memory[static_cast<std::size_t>(address)] = value;
        } else if (address == address::kLiveValuesLow &&
                   (value == address::kAttach || value == address::kRelease)) {
            target.attached = value == address::kAttach;
        } else {
            return hid::kBadArgument;
        }
        reply = request;
        return hid::kSuccess;
    }

    if (request[1] != command::kRead)
        return hid::kBadArgument;
    reply = {command::kReportId, command::kRead, request[2], request[3], 0, 0};
    if (isMemoryAddress(address)) {
        reply[4] = target.memory[static_cast<std::size_t>(address)];
    } else if (address == address::kLiveValuesLow || address == address::kLiveValuesHigh) {
        if (target.animated)
            target.liveValues = animatedLiveValues(m_clockMs() / kAnimationStepMs);
        const std::size_t first = address == address::kLiveValuesLow ? 0 : 3;
        std::copy_n(target.liveValues.begin() + first, 3, reply.begin() + 2);
    } else {
        return hid::kBadArgument;
    }
    return hid::kSuccess;
}

HidStatus VirtualDeviceAccess::RestartHidDevice(const char *hardwareId)
{
    const std::optional<UsbId> id =
        hardwareId ? parseHardwareId(hardwareId) : std::optional<UsbId>{};
    const int number = id && id->vendorId == kVendorId ? deviceNumberForProduct(id->productId) : -1;
    const HidStatus status = number < 0 ? hid::kBadArgument : hid::kSuccess;
    if (number >= 0) {
        // A restart counts even for an unplugged device; the device re-enumerates, so any
        // handle still open on it is gone.
        ++device(number).restartCount;
        loseHandles(number);
    }
    record(VirtualExchange::Kind::Restart, number, status);
    return status;
}

std::vector<HidInterfaceInfo> VirtualDeviceAccess::interfaces(std::uint16_t productId)
{
    const int number = deviceNumberForProduct(productId);
    if (number < 0 || !device(number).present)
        return {};
    return {soleVendorInterface("in-process virtual device")};
}

void VirtualDeviceAccess::setPresent(int deviceNumber, bool present)
{
    device(deviceNumber).present = present;
    if (!present)
        loseHandles(deviceNumber);
}

void VirtualDeviceAccess::loseHandles(int deviceNumber)
{
    for (auto &[handle, open] : m_handles) {
        if (open.deviceNumber == deviceNumber)
            open.lost = true;
    }
}

std::vector<VirtualExchange> VirtualDeviceAccess::transfers() const
{
    std::vector<VirtualExchange> result;
    std::ranges::copy_if(m_log, std::back_inserter(result), [](const VirtualExchange &entry) {
        return entry.kind == VirtualExchange::Kind::Transfer;
    });
    return result;
}

void VirtualDeviceAccess::clearLog()
{
    m_log.clear();
}

int VirtualDeviceAccess::openHandleCount() const
{
    return static_cast<int>(m_handles.size());
}

int VirtualDeviceAccess::openHandleCount(int deviceNumber) const
{
    return static_cast<int>(std::ranges::count_if(m_handles, [deviceNumber](const auto &entry) {
        return entry.second.deviceNumber == deviceNumber;
    }));
}

void VirtualDeviceAccess::failExchange(int index, HidStatus status)
{
    m_failAt[index] = status == hid::kSuccess ? hid::kIoError : status;
}

void VirtualDeviceAccess::unplugAtExchange(int index, int deviceNumber)
{
    if (isValidDeviceNumber(deviceNumber))
        m_unplugAt[index] = deviceNumber;
}

void VirtualDeviceAccess::clearFaults()
{
    m_failAt.clear();
    m_unplugAt.clear();
    for (VirtualDevice &each : m_devices)
        each.openRefusal = hid::kSuccess;
}

void VirtualDeviceAccess::record(VirtualExchange::Kind kind, int deviceNumber, HidStatus status,
                                 const HidReport &request, const HidReport &reply)
{
    // Dropping the older half at once keeps the cost of trimming at a constant per entry.
    if (m_log.size() >= 2 * kLogCapacity)
        m_log.erase(m_log.begin(), m_log.begin() + static_cast<std::ptrdiff_t>(kLogCapacity));
    m_log.push_back(VirtualExchange{kind, deviceNumber, request, reply, status});
}

} // namespace orvex
