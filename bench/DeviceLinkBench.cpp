// The device link where a run goes on for hours: whether memory stays flat while polling.

#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "core/link/LinkEngine.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

namespace orvex::bench {

namespace {

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd; // small blocks and the large ones mapped on their own
}

// Nobody listens: the heap of the views is not the link's.
class NoListener : public LinkEngine::Listener
{
public:
    void stateChanged(const LinkState &) override {}
    void sampled(const LiveSample &) override {}
    void transferProgress(const QString &) override {}
};

// The heap the device side of the link holds after N polls of a moving virtual device, as
// --simulate and orvex-emulator run it for hours: it must not grow with N.
void BM_PollingHeap(benchmark::State &state)
{
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        {
            VirtualDeviceAccess devices;
            devices.device(0).animated = true;
            NoListener listener;
            LinkEngine engine(devices, listener);
            engine.setThresholds({12, 12, 12, 12, 12, 12});
            engine.waitForDeviceTick();
            for (std::int64_t i = 0; i < state.range(0); ++i)
                engine.pollDevice();
            state.counters["heap_bytes"] =
                static_cast<double>(heapInUse()) - static_cast<double>(before);
            if (!engine.state().viewing)
                state.SkipWithError("the virtual device was lost");
        }
    }
}
BENCHMARK(BM_PollingHeap)
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

} // namespace orvex::bench
