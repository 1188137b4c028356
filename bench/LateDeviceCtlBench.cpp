// orvexctl read and monitor against a device whose replies come late: the real command, the real
// hidapi backend and a scripted composite device that takes the given time for every reply.

#include "MemoryConsole.h"
#include "ScriptedHidPlatform.h"
#include "programs/ctl/OrvexCtl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

namespace orvex::bench {

namespace {

using testing::InterfaceKind;
using testing::ScriptedHidPlatform;

// The command, on memory streams, against Device 1 answering after `delayMs`; its exit status.
int runCtl(const QStringList &arguments, int delayMs)
{
    auto [access, script] = ScriptedHidPlatform::device1();
    script->node(InterfaceKind::Vendor).replyDelayMs = delayMs;
    script->letTimePass = [](int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
    testing::MemoryConsole streams;
    ctl::OrvexCtl program(streams.console);
    program.setDeviceAccess(access.get());
    return program.run(QStringList{"orvexctl"} + arguments);
}

// The reply delays measured, in milliseconds.
void lateReplies(benchmark::internal::Benchmark *benchmark)
{
    for (const int delayMs : {0, 12, 25, 45, 60, 400})
        benchmark->Arg(delayMs);
}

void BM_CtlReadLateDevice(benchmark::State &state)
{
    const QTemporaryDir folder;
    for (auto _ : state) {
        if (runCtl({"read", folder.filePath("Config.ORV")}, static_cast<int>(state.range(0))) != 0)
            state.SkipWithError("the read failed");
    }
}
BENCHMARK(BM_CtlReadLateDevice)
    ->Apply(lateReplies)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

void BM_CtlMonitorLateDevice(benchmark::State &state)
{
    constexpr int kPolls = 20;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (runCtl({"monitor", "--polls", QString::number(kPolls)},
                   static_cast<int>(state.range(0))) != 0)
            state.SkipWithError("the monitor failed");
        state.counters["polls_per_s"] = kPolls * 1000.0 / static_cast<double>(timer.elapsed());
    }
}
BENCHMARK(BM_CtlMonitorLateDevice)
    ->Apply(lateReplies)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

} // namespace

} // namespace orvex::bench

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv); // the link announces through the event loop
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
