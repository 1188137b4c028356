#include "core/backends/emulator/EmulatorDeviceAccess.h"

#include "core/backends/emulator/EmulatorWire.h"

#include <cstring>

namespace orvex {

namespace {

// Hardware-identifier texts travel as one word of a request line.
bool isSendableWord(const char *text)
{
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > 128)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] <= ' ' || text[i] >= 0x7F)
            return false;
    }
    return true;
}

} // namespace

EmulatorDeviceAccess::EmulatorDeviceAccess(QString socketPath, int timeoutMs)
    : m_client(std::move(socketPath), timeoutMs)
{}

bool EmulatorDeviceAccess::isLive(const RemoteHandle &remote) const
{
    return m_client.isConnected() && remote.connectionNumber == m_client.connectionNumber();
}

HidStatus EmulatorDeviceAccess::failureStatus(HidStatus whenUnreachable) const
{
    switch (m_client.lastFailure()) {
    case EmulatorClient::Failure::Unreachable:
        return whenUnreachable;
    case EmulatorClient::Failure::Timeout:
        return hid::kTimeout;
    default:
        return hid::kIoError;
    }
}

HidStatus EmulatorDeviceAccess::OpenHidDevice(std::uint16_t productId, int requestLength,
                                              int replyLength, HidHandle &handle)
{
    if (requestLength != kReportLength || replyLength != kReportLength)
        return hid::kBadArgument;

    const QByteArray request = "OPEN " + QByteArray::number(productId, 16).rightJustified(4, '0');
    const std::optional<QByteArray> line = m_client.roundTrip(request);
    if (!line)
        return failureStatus(hid::kNotPresent);

    const EmulatorReply reply = parseEmulatorReply(*line);
    if (reply.kind == EmulatorReply::Kind::Error)
        return reply.status;
    bool isNumber = false;
    const int serverHandle = reply.value.toInt(&isNumber);
    if (reply.kind != EmulatorReply::Kind::Ok || !isNumber || serverHandle <= 0)
        return hid::kIoError;

    handle = m_nextHandle++;
    m_handles.emplace(handle, RemoteHandle{m_client.connectionNumber(), serverHandle});
    return hid::kSuccess;
}

HidStatus EmulatorDeviceAccess::CloseHidDevice(HidHandle &handle)
{
    const auto found = m_handles.find(handle);
    handle = kClosedHandle;
    if (found == m_handles.end())
        return hid::kBadHandle;
    const RemoteHandle remote = found->second;
    m_handles.erase(found);
    // A handle of a connection that is gone was closed by the emulator already.
    if (!isLive(remote))
        return hid::kSuccess;
    const std::optional<QByteArray> line =
        m_client.roundTrip("CLOSE " + QByteArray::number(remote.serverHandle));
    if (!line)
        return failureStatus(hid::kIoError);
    const EmulatorReply reply = parseEmulatorReply(*line);
    return reply.kind == EmulatorReply::Kind::Ok ? hid::kSuccess : reply.status;
}

HidStatus EmulatorDeviceAccess::WriteHidDevice(HidHandle &handle, const HidReport &request,
                                               HidReport &reply)
{
    const auto found = m_handles.find(handle);
    if (found == m_handles.end())
        return hid::kBadHandle;
    if (!isLive(found->second))
        return hid::kIoError;

    const std::optional<QByteArray> line =
        m_client.roundTrip(TransferRequest(found->second.serverHandle, request).line());
    if (!line)
        return failureStatus(hid::kIoError);
    const EmulatorReply answer = parseEmulatorReply(*line);
    if (answer.kind == EmulatorReply::Kind::Error)
        return answer.status;
    if (answer.kind != EmulatorReply::Kind::Ok || !reportFromHex(answer.value, reply))
        return hid::kIoError;
    return hid::kSuccess;
}

HidStatus EmulatorDeviceAccess::RestartHidDevice(const char *hardwareId)
{
    if (!hardwareId || !isSendableWord(hardwareId))
        return hid::kBadArgument;
    const std::optional<QByteArray> line = m_client.roundTrip(QByteArray("RESTART ") + hardwareId);
    if (!line)
        return failureStatus(hid::kNotPresent);
    const EmulatorReply reply = parseEmulatorReply(*line);
    return reply.kind == EmulatorReply::Kind::Ok ? hid::kSuccess : reply.status;
}

std::vector<HidInterfaceInfo> EmulatorDeviceAccess::interfaces(std::uint16_t productId)
{
    (void)productId;
    return {soleVendorInterface("emulator at " + m_client.socketPath().toStdString())};
}

} // namespace orvex
