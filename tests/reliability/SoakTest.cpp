// Ten thousand unplug and replug cycles while a device is viewed, ticks driven directly.

#include "ReliabilitySupport.h"

#include <gtest/gtest.h>
#include <malloc.h>

namespace orvex::reliability {
namespace {

constexpr int kCycles = 10'000;

// Bytes the C allocator has handed out.  The sanitizers bring their own allocator, which
// mallinfo2() does not see; there the handle count and the log are the measure.
std::size_t allocatedBytes()
{
    return mallinfo2().uordblks;
}

bool allocatorIsMeasurable()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

// One cycle: the viewed device is pulled, the poll notices, the search finds nothing, the
// device comes back and the next wait tick views it again.  False at the first surprise.
bool unplugAndReplug(Link &link, int deviceNumber)
{
    link.devices.setPresent(deviceNumber, false);
    link.link.pollDevice();
    if (link.link.isViewing() || link.statusLog.status != kSearchingText)
        return false;
    link.link.waitForDeviceTick();
    if (link.link.isViewing() || link.devices.openHandleCount() != 0)
        return false;

    link.devices.setPresent(deviceNumber, true);
    link.link.waitForDeviceTick();
    if (!link.link.isViewing() || link.statusLog.status != viewingText(deviceNumber))
        return false;
    const int draws = link.statusLog.draws;
    link.link.pollDevice();
    return link.statusLog.draws == draws + 1 && link.devices.openHandleCount() == 1;
}

TEST(Soak, TenThousandUnplugCyclesReattachEveryTimeWithoutGrowth)
{
    Link link;
    link.devices.setPresent(1, false);
    link.link.waitForDeviceTick();
    ASSERT_TRUE(link.link.isViewing());

    std::size_t settledBytes = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        ASSERT_TRUE(unplugAndReplug(link, 0)) << "cycle " << cycle;
        // The virtual device and the status recorder log everything; the program itself must
        // keep nothing.
        link.devices.clearLog();
        link.statusLog.calls.clear();
        if (cycle == kCycles / 10)
            settledBytes = allocatedBytes();
    }

    EXPECT_EQ(link.devices.openHandleCount(), 1);
    EXPECT_EQ(link.devices.device(0).attached, std::optional<bool>(true));
    if (allocatorIsMeasurable()) {
        // Nine thousand cycles after settling, allow a page of allocator noise.
        const std::size_t grown = allocatedBytes() - std::min(allocatedBytes(), settledBytes);
        EXPECT_LT(grown, 4096U) << "grew by " << grown << " bytes";
    }
}

} // namespace
} // namespace orvex::reliability
