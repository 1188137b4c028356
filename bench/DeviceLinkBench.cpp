// The device link where a device misbehaves or a run goes on for hours: what a device that
// never answers costs the window thread per tick, and whether memory stays flat while polling.

#include "ScriptedHidPlatform.h"
#include "core/config/ConfigModel.h"
#include "core/link/DeviceLink.h"
#include "core/link/DeviceTransport.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <malloc.h>
#include <thread>

namespace orvex::bench {

namespace {

using testing::InterfaceKind;
using testing::ScriptedHidPlatform;

// The real backend on a composite device whose vendor interface takes requests and never
// answers; a read that finds nothing waits its time-out as the kernel would.
struct SilentDevice
{
    SilentDevice()
        : platform(std::make_unique<ScriptedHidPlatform>())
        , script(*platform)
        , access(std::move(platform))
        , link(access, model)
    {
        script.addComposite(
            {InterfaceKind::Keyboard, InterfaceKind::Joystick, InterfaceKind::Vendor});
        script.node(InterfaceKind::Vendor).onWrite = nullptr;
        script.waitForNothing = [](int timeoutMs) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        };
        model.resetSettings();
    }

    std::unique_ptr<ScriptedHidPlatform> platform;
    ScriptedHidPlatform &script;
    HidapiDeviceAccess access;
    ConfigModel model;
    DeviceLink link;
};

// One 10 ms poll tick while the silent device is viewed: it fails and the device is lost.
void BM_SilentDevicePollTick(benchmark::State &state)
{
    SilentDevice device;
    for (auto _ : state) {
        state.PauseTiming();
        device.link.waitForDeviceTick();
        const bool attached = device.link.isViewing();
        state.ResumeTiming();
        device.link.pollDevice();
        if (!attached || device.link.isViewing()) {
            state.SkipWithError("the silent device was not attached and then lost");
            break;
        }
    }
}
BENCHMARK(BM_SilentDevicePollTick)->UseRealTime()->Unit(benchmark::kMillisecond);

// One 1000 ms wait tick that finds the silent device: its attach write goes unanswered.
void BM_SilentDeviceWaitTick(benchmark::State &state)
{
    SilentDevice device;
    for (auto _ : state) {
        device.link.waitForDeviceTick();
        state.PauseTiming();
        device.link.selectDevice(1); // back to searching, on the absent Device 2
        device.link.selectDevice(0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SilentDeviceWaitTick)->UseRealTime()->Unit(benchmark::kMillisecond);

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd; // small blocks and the large ones mapped on their own
}

// The heap the device link holds after N polls of a moving virtual device, as --simulate and
// orvex-emulator run it for hours: it must not grow with N.
void BM_PollingHeap(benchmark::State &state)
{
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        {
            VirtualDeviceAccess devices;
            devices.device(0).animated = true;
            ConfigModel model;
            model.resetSettings();
            DeviceLink link(devices, model);
            link.waitForDeviceTick();
            for (std::int64_t i = 0; i < state.range(0); ++i)
                link.pollDevice();
            state.counters["heap_bytes"] =
                static_cast<double>(heapInUse()) - static_cast<double>(before);
            if (!link.isViewing())
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
