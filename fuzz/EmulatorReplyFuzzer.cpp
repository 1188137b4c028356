// Any line as an emulator reply to the client: it is taken apart without surprises, and only a
// real error status is ever passed on as one.

#include "core/backends/emulator/EmulatorWire.h"
#include "FuzzSupport.h"
#include "core/backends/emulator/EmulatorDeviceAccess.h"

using namespace orvex;
using namespace orvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const EmulatorReply reply = parseEmulatorReply(line);
    switch (reply.kind) {
    case EmulatorReply::Kind::Ok:
        require(line == "OK" || (line.startsWith("OK ") && reply.value == line.sliced(3)),
                "OK carries the rest of the line");
        break;
    case EmulatorReply::Kind::Error:
        require(line.startsWith("ERR ") && reply.status != hid::kSuccess,
                "an error reply never passes as success");
        break;
    case EmulatorReply::Kind::Bad:
        require(line.startsWith("BAD"), "BAD is BAD");
        break;
    case EmulatorReply::Kind::Invalid:
        require(reply.status != hid::kSuccess, "an invalid reply is a failure");
        break;
    }
    return 0;
}
