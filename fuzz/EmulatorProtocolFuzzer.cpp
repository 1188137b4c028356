// Any byte stream as requests to the emulator: every line gets exactly one well-formed reply
// that the client understands, and the session's handles are all closed when it ends.

#include "FuzzSupport.h"
#include "core/backends/emulator/EmulatorClient.h"
#include "core/backends/emulator/EmulatorDeviceAccess.h"
#include "core/backends/emulator/EmulatorWire.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "programs/emulator/EmulatorProtocol.h"

#include <QByteArrayView>
#include <algorithm>

using namespace orvex;
using namespace orvex::fuzz;

namespace {

bool isPrintable(QByteArrayView text)
{
    return std::ranges::all_of(text, [](char c) { return c == '\t' || (c >= 0x20 && c < 0x7F); });
}

bool isDecimalStatus(QByteArrayView text)
{
    bool isNumber = false;
    const int status = text.toByteArray().toInt(&isNumber);
    return isNumber && status != hid::kSuccess;
}

void checkReply(const QByteArray &reply)
{
    require(reply.size() <= EmulatorClient::kMaxReplyLength, "a reply fits the client's limit");
    require(isPrintable(reply), "a reply is one printable line");
    const bool ok = reply == "OK" || reply.startsWith("OK ");
    const bool err = reply.startsWith("ERR ") && isDecimalStatus(QByteArrayView(reply).sliced(4));
    const bool bad = reply == "BAD" || reply.startsWith("BAD ");
    require(ok || err || bad, "a reply is OK, ERR <status> or BAD");
    const EmulatorReply parsed = parseEmulatorReply(reply);
    require(parsed.kind != EmulatorReply::Kind::Invalid, "the client understands every reply");
    require((parsed.kind == EmulatorReply::Kind::Ok) == ok, "the client reads OK as OK");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    InputReader input({data, size});
    // The first byte cuts the stream into pieces, as a socket may deliver it in any pieces.
    const std::size_t piece = 1 + input.byte() % 64;
    const std::span<const std::uint8_t> stream = input.rest();

    VirtualDeviceAccess devices;
    {
        EmulatorSession session(devices);
        LineFramer framer;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            const std::size_t length = std::min(piece, stream.size() - at);
            framer.append(QByteArrayView(reinterpret_cast<const char *>(stream.data() + at),
                                         static_cast<qsizetype>(length)));
            while (framer.hasLine()) {
                const LineFramer::Line line = framer.takeLine();
                require(line.text.size() <= emulator::kMaxLineLength + 1,
                        "the framer holds no more than one bounded line");
                require(!line.text.contains('\n'), "a framed line holds no newline");
                require(!line.overlong || line.text.isEmpty(), "an overlong line is dropped");
                checkReply(session.handle(line));
            }
        }
    }
    require(devices.openHandleCount() == 0, "an ended session leaves no handle open");
    return 0;
}
