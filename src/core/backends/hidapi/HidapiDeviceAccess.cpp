#include "core/backends/hidapi/HidapiDeviceAccess.h"

#include "core/access/DeviceProtocol.h"
#include "core/access/HardwareId.h"
#include "core/backends/hidapi/HidReportDescriptor.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <tuple>

namespace orvex {

namespace {

// Larger than any report of ours, so that a longer report never passes for a reply by being cut
// to its length.
constexpr std::size_t kReadBufferSize = 64;

HidStatus openFailureStatus(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return hid::kAccessDenied;
    case EBUSY:
        return hid::kInUse;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return hid::kNotPresent;
    default:
        return hid::kIoError;
    }
}

// A reply is an input report with our report ID and exactly the interface's reply length: the
// keyboard's 8-byte reports also start with 1 whenever Ctrl is held.
bool isReply(std::span<const std::uint8_t> received, int replyLength)
{
    return received.size() == static_cast<std::size_t>(replyLength) &&
           received.size() >= static_cast<std::size_t>(kReportLength) &&
           received.front() == command::kReportId;
}

// One interface with what its report descriptor says, when it could be read.
struct Candidate
{
    HidInterface interface;
    std::optional<HidReportLayout> layout;
};

// The interfaces in an order that does not depend on the order the kernel happened to number
// the nodes in: by USB device, then by interface.
std::vector<Candidate> candidates(HidPlatform &platform, std::uint16_t productId)
{
    std::vector<Candidate> list;
    for (HidInterface &interface : platform.enumerate(kVendorId, productId)) {
        if (std::ranges::any_of(list, [&interface](const Candidate &known) {
                return known.interface.path == interface.path;
            }))
            continue; // listed again for another of its collections
        std::optional<HidReportLayout> layout;
        if (const auto descriptor = platform.reportDescriptor(interface.path))
            layout = parseReportDescriptor(*descriptor);
        list.push_back({std::move(interface), std::move(layout)});
    }
    std::ranges::sort(list, [](const Candidate &a, const Candidate &b) {
        return std::tie(a.interface.physicalDevice, a.interface.interfaceNumber, a.interface.path) <
               std::tie(b.interface.physicalDevice, b.interface.interfaceNumber, b.interface.path);
    });
    return list;
}

std::uint16_t usagePageOf(const Candidate &candidate)
{
    if (candidate.layout && candidate.layout->usagePage != 0)
        return candidate.layout->usagePage;
    return candidate.interface.usagePage;
}

bool declaresOurReport(const Candidate &candidate, int requestLength, int replyLength)
{
    if (!candidate.layout)
        return false;
    const HidReportLayout::Lengths lengths = candidate.layout->lengthsOf(command::kReportId);
    return lengths.output == requestLength && lengths.input == replyLength;
}

// The interface that declares our report; else the first with a vendor-defined usage page
// (0xFF00 to 0xFFFF); else the first of all.
std::optional<std::size_t> chooseInterface(const std::vector<Candidate> &list, int requestLength,
                                           int replyLength)
{
    if (list.empty())
        return std::nullopt;
    const auto index = [&list](auto found) {
        return static_cast<std::size_t>(found - list.begin());
    };
    const auto exact = std::ranges::find_if(list, [&](const Candidate &candidate) {
        return declaresOurReport(candidate, requestLength, replyLength);
    });
    if (exact != list.end())
        return index(exact);
    const auto vendor = std::ranges::find_if(
        list, [](const Candidate &candidate) { return usagePageOf(candidate) >= 0xFF00; });
    return vendor != list.end() ? index(vendor) : 0;
}

// The lengths to show for an interface: those of our report ID when it declares it, else those
// of its first report.
HidInterfaceInfo describe(const Candidate &candidate)
{
    HidInterfaceInfo info;
    info.node = candidate.interface.path;
    info.usagePage = usagePageOf(candidate);
    if (candidate.layout && !candidate.layout->reports.empty()) {
        const auto &reports = candidate.layout->reports;
        const auto ours = reports.find(command::kReportId);
        const auto &[reportId, lengths] = ours != reports.end() ? *ours : *reports.begin();
        info.reportId = reportId;
        info.inputLength = lengths.input;
        info.outputLength = lengths.output;
    }
    return info;
}

} // namespace

HidapiDeviceAccess::HidapiDeviceAccess(std::unique_ptr<HidPlatform> platform)
    : m_platform(std::move(platform))
{}

HidapiDeviceAccess::~HidapiDeviceAccess() = default;

HidStatus HidapiDeviceAccess::OpenHidDevice(std::uint16_t productId, int requestLength,
                                            int replyLength, HidHandle &handle)
{
    if (requestLength != kReportLength || replyLength != kReportLength)
        return hid::kBadArgument;

    const std::vector<Candidate> list = candidates(*m_platform, productId);
    const std::optional<std::size_t> chosen = chooseInterface(list, requestLength, replyLength);
    if (!chosen)
        return hid::kNotPresent;
    const Candidate &candidate = list[*chosen];

    HidPlatform::OpenResult opened = m_platform->open(candidate.interface.path);
    if (!opened.connection)
        return openFailureStatus(opened.error);

    // An interface whose descriptor says nothing of our report is taken at our word.
    const int declared =
        candidate.layout ? candidate.layout->lengthsOf(command::kReportId).input : 0;
    handle = m_nextHandle++;
    m_devices.emplace(
        handle, OpenDevice{std::move(opened.connection), declared > 0 ? declared : replyLength});
    return hid::kSuccess;
}

HidStatus HidapiDeviceAccess::CloseHidDevice(HidHandle &handle)
{
    const auto found = m_devices.find(handle);
    handle = kClosedHandle;
    if (found == m_devices.end())
        return hid::kBadHandle;
    m_devices.erase(found);
    return hid::kSuccess;
}

HidStatus HidapiDeviceAccess::WriteHidDevice(HidHandle &handle, const HidReport &request,
                                             HidReport &reply)
{
    const auto found = m_devices.find(handle);
    if (found == m_devices.end())
        return hid::kBadHandle;
    OpenDevice &device = found->second;

    drainStaleReports(*device.connection);
    if (device.connection->write(request) != kReportLength)
        return hid::kIoError;
    return awaitReply(device, reply);
}

// Replies that came too late for an earlier exchange would otherwise be taken for this one's.
void HidapiDeviceAccess::drainStaleReports(HidConnection &connection)
{
    std::array<std::uint8_t, kReadBufferSize> buffer{};
    for (int i = 0; i < kMaxDrainedReports; ++i) {
        if (connection.read(buffer, 0) <= 0)
            return;
    }
}

HidStatus HidapiDeviceAccess::awaitReply(OpenDevice &device, HidReport &reply)
{
    const QDeadlineTimer deadline(kReplyTimeoutMs);
    std::array<std::uint8_t, kReadBufferSize> buffer{};
    for (int skipped = 0; skipped <= kMaxSkippedReports; ++skipped) {
        const int received =
            device.connection->read(buffer, static_cast<int>(deadline.remainingTime()));
        if (received < 0)
            return hid::kIoError;
        if (received == 0)
            return hid::kTimeout;
        const std::span<const std::uint8_t> report(buffer.data(),
                                                   static_cast<std::size_t>(received));
        if (isReply(report, device.replyLength)) {
            std::copy_n(report.begin(), kReportLength, reply.begin());
            return hid::kSuccess;
        }
        if (deadline.hasExpired())
            break;
    }
    return hid::kTimeout;
}

HidStatus HidapiDeviceAccess::RestartHidDevice(const char *hardwareId)
{
    const std::optional<UsbId> id = hardwareId ? parseHardwareId(hardwareId) : std::nullopt;
    if (!id)
        return hid::kBadArgument;
    return m_platform->resetUsbDevice(*id);
}

std::vector<HidInterfaceInfo> HidapiDeviceAccess::interfaces(std::uint16_t productId)
{
    const std::vector<Candidate> list = candidates(*m_platform, productId);
    std::vector<HidInterfaceInfo> infos;
    for (const Candidate &candidate : list)
        infos.push_back(describe(candidate));
    if (const auto chosen = chooseInterface(list, kReportLength, kReportLength))
        infos[*chosen].chosen = true;
    return infos;
}

} // namespace orvex
