// The window thread while the device thread talks to a device that answers late or not at all:
// the whole program on the real hidapi backend, over a scripted composite device whose replies
// come after a given time, with the link's own timers running for a few seconds.  What counts is
// how long the window thread is ever kept from its event loop, how many polls the device
// thread achieves, and the processor time the program takes meanwhile.

#include "BenchApplication.h"
#include "BenchPrompts.h"
#include "ScriptedHidPlatform.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"
#include "core/link/DeviceLink.h"
#include "ui/program/Program.h"
#include "ui/windows/MainWindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <sys/resource.h>
#include <thread>

namespace orvex::bench {

namespace {

using testing::InterfaceKind;
using testing::ScriptedHidPlatform;
using testing::ScriptedNode;

constexpr int kSilent = -1;

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int runSeconds()
{
    const int seconds = qEnvironmentVariableIntValue("ORVEX_BENCH_THREAD_SECONDS");
    return seconds > 0 ? seconds : 5;
}

// Argument: the reply delay in milliseconds, or kSilent.
void BM_WindowWhileDeviceAnswers(benchmark::State &state)
{
    const int delayMs = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto platform = std::make_unique<ScriptedHidPlatform>();
        ScriptedHidPlatform &script = *platform;
        script.addComposite(
            {InterfaceKind::Keyboard, InterfaceKind::Joystick, InterfaceKind::Vendor});
        ScriptedNode &vendor = script.node(InterfaceKind::Vendor);
        vendor.replyDelayMs = delayMs == kSilent ? std::nullopt : std::optional(delayMs);
        script.device.device(0).animated = true;
        script.letTimePass = [](int ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };

        SilentPrompts prompts;
        NoPlatform noPlatform;
        Program program(
            {std::make_unique<HidapiDeviceAccess>(std::move(platform)), &prompts, &noPlatform});
        int polls = 0;
        QObject::connect(&program.link(), &DeviceLink::sampled,
                         [&polls](const LiveSample &sample) { polls += sample.read ? 1 : 0; });
        if (program.start() != StartupOutcome::ShowWindow) {
            state.SkipWithError("start-up did not show the window");
            return;
        }

        // From the first time a device is viewed: a silent one is, until its first poll fails.
        QEventLoop untilViewing;
        QObject::connect(&program.link(), &DeviceLink::stateChanged, &untilViewing,
                         [&untilViewing](const LinkState &linkState) {
                             if (linkState.viewing)
                                 untilViewing.quit();
                         });
        QTimer::singleShot(10'000, &untilViewing, &QEventLoop::quit);
        untilViewing.exec();
        if (!program.link().isViewing()) {
            state.SkipWithError("the device was never viewed");
            return;
        }
        polls = 0;
        BenchApplication::instance()->resetLongestEvent();
        const double processorBefore = processorSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(runSeconds() * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;

        state.counters["longest_block_ms"] = BenchApplication::instance()->longestEventMs();
        state.counters["polls_per_s"] = polls / seconds;
        state.counters["cpu_percent"] = 100.0 * (processorSeconds() - processorBefore) / seconds;
        state.SetIterationTime(seconds);
        // The link's own end: the device thread finishes what it does, then stops.
        program.window().onExitTriggered();
        program.link().waitUntilIdle();
    }
}
BENCHMARK(BM_WindowWhileDeviceAnswers)
    ->Arg(0)
    ->Arg(25)
    ->Arg(400)
    ->Arg(kSilent)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

} // namespace orvex::bench
