// File > Write and File > Read of the largest configuration against a virtual device that
// answers at once, with the progress window shown: what remains is the program's own cost per
// exchange, the progress window's repaints included.

#include "BenchProgram.h"
#include "BenchWorkloads.h"
#include "PaintCounter.h"
#include "ui/windows/StatusWindow.h"

#include <benchmark/benchmark.h>

namespace orvex::bench {

namespace {

enum class Direction { Write, Read };

const QString kWriteSuccess =
    QStringLiteral("The configuration was successfully saved to the device");
const QString kReadSuccess =
    QStringLiteral("The configuration was successfully read from the device");

void fullTransfer(benchmark::State &state, Direction direction)
{
    BenchProgram program;
    loadLargestConfiguration(program.model);
    if (!program.viewing()) {
        state.SkipWithError("the virtual Device 1 was not attached");
        return;
    }
    // A read finds the largest configuration in the device; a write leaves it there.
    program.window.onWriteTriggered();
    program.settle();
    if (program.prompts.lastMessage.text != kWriteSuccess) {
        state.SkipWithError("the first write failed");
        return;
    }
    program.model.markUnchanged(); // the read asks nothing

    const PaintCounter paints;
    const int exchangesBefore = program.devices.exchangeCount();
    const QString &success = direction == Direction::Write ? kWriteSuccess : kReadSuccess;
    bool allSucceeded = true;
    for (auto _ : state) {
        program.prompts.lastMessage = {};
        if (direction == Direction::Write)
            program.window.onWriteTriggered();
        else
            program.window.onReadTriggered();
        program.settle();
        allSucceeded = allSucceeded && program.prompts.lastMessage.text == success;
        program.devices.clearLog();
    }
    if (!allSucceeded) {
        state.SkipWithError("a transfer did not report success");
        return;
    }

    const double exchanges = program.devices.exchangeCount() - exchangesBefore;
    // Seconds per exchange: the transfer's time divided among its exchanges.
    state.counters["per_exchange"] =
        benchmark::Counter(exchanges, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["exchanges"] = benchmark::Counter(exchanges, benchmark::Counter::kAvgIterations);
    state.counters["paints"] =
        benchmark::Counter(paints.count(), benchmark::Counter::kAvgIterations);
}

void BM_FullWrite(benchmark::State &state)
{
    fullTransfer(state, Direction::Write);
}
BENCHMARK(BM_FullWrite)->Unit(benchmark::kMillisecond);

void BM_FullRead(benchmark::State &state)
{
    fullTransfer(state, Direction::Read);
}
BENCHMARK(BM_FullRead)->Unit(benchmark::kMillisecond);

} // namespace

} // namespace orvex::bench
