// The work of the 10 ms timers while a device is viewed: the main window's poll tick (two
// exchanges, the direction rule and all six overview graphs) and the settings dialog's tick
// (the same poll and the step graph).

#include "BenchProgram.h"
#include "BenchWorkloads.h"
#include "PaintCounter.h"
#include "ui/dialogs/KeyPicker.h" // SettingsDialog.h holds a QPointer<KeyPicker>
#include "ui/dialogs/SettingsDialog.h"
#include "ui/graphs/GraphCanvas.h"
#include "ui/graphs/GraphView.h"
#include "ui/graphs/StepGraph.h"

#include <QTimer>
#include <benchmark/benchmark.h>

namespace orvex::bench {

namespace {

enum class Inputs { Moving, Steady };

int totalRefreshes(const MainWindow &window)
{
    int count = 0;
    for (int i = 0; i < MainWindow::kChannelColumns; ++i)
        count += window.findChild<GraphView *>(QStringLiteral("picGraph%1").arg(i))->updateCount();
    return count;
}

bool checkViewing(benchmark::State &state, const BenchProgram &program)
{
    if (!program.viewing())
        state.SkipWithError("the virtual Device 1 was not attached");
    return program.viewing();
}

// One 10 ms tick of the device link, with the main window drawing what it read.  `repaint` also
// runs the events the tick left behind, as the event loop does right after it, and counts the
// paints: six graphs per tick when every input moves, none at all when nothing changed.
void mainWindowPollTick(benchmark::State &state, Inputs inputs, bool repaint)
{
    BenchProgram program;
    loadDirectionalMix(program.model);
    if (!checkViewing(state, program))
        return;
    MovingInputs moving;
    VirtualDevice &device = program.devices.device(0);
    device.liveValues = moving.next();
    // The first tick finds movement against the start-up reference, the second settles it.
    for (int warmUp = 0; warmUp < 2; ++warmUp) {
        program.tick();
        program.runPendingEvents();
    }

    const int refreshesBefore = totalRefreshes(program.window);
    const PaintCounter paints;
    for (auto _ : state) {
        if (inputs == Inputs::Moving)
            device.liveValues = moving.next();
        program.tick();
        if (repaint)
            program.runPendingEvents();
        program.devices.clearLog(); // the virtual device's own record, not the program's cost
    }
    if (!program.viewing())
        state.SkipWithError("the device was lost during the ticks");
    // Pictures handed to the screen per tick: 6 when every picture changed, 0 when none did.
    state.counters["refreshes"] = benchmark::Counter(
        totalRefreshes(program.window) - refreshesBefore, benchmark::Counter::kAvgIterations);
    if (repaint)
        state.counters["paints"] =
            benchmark::Counter(paints.count(), benchmark::Counter::kAvgIterations);
}

void BM_MainWindowPollTick(benchmark::State &state)
{
    mainWindowPollTick(state, Inputs::Moving, false);
}
BENCHMARK(BM_MainWindowPollTick);

void BM_MainWindowPollTickSteady(benchmark::State &state)
{
    mainWindowPollTick(state, Inputs::Steady, false);
}
BENCHMARK(BM_MainWindowPollTickSteady);

void BM_MainWindowPollTickAndRepaint(benchmark::State &state)
{
    mainWindowPollTick(state, Inputs::Moving, true);
}
BENCHMARK(BM_MainWindowPollTickAndRepaint);

void BM_MainWindowPollTickAndRepaintSteady(benchmark::State &state)
{
    mainWindowPollTick(state, Inputs::Steady, true);
}
BENCHMARK(BM_MainWindowPollTickAndRepaintSteady);

// The channel whose dialog is open: 32 labelled steps, or Directional with both arrows.
enum class StepLayout { ThirtyTwoSteps, Directional };

void settingsDialogTick(benchmark::State &state, StepLayout layout)
{
    BenchProgram program;
    loadDirectionalMix(program.model);
    if (!checkViewing(state, program))
        return;
    // Channel 1 (index 0) is Directional in the mix, channel 2 has 32 steps.
    const int channel = layout == StepLayout::Directional ? 0 : 1;

    // The dialog's share of a tick: the poll and its step graph, without the main window's.
    QObject::disconnect(&program.link, nullptr, &program.window, nullptr);
    SettingsDialog dialog(program.model, &program.window);
    QObject::connect(&program.link, &DeviceLink::sampled, &dialog, &SettingsDialog::showSample);
    dialog.loadForm(channel);
    dialog.show();
    auto *graph = dialog.findChild<GraphView *>(QStringLiteral("picGraph"));
    if (graph->drawingAreaSize() != QSize(221, 541)) {
        state.SkipWithError("the step graph's drawing area is not 221 x 541");
        return;
    }

    MovingInputs moving;
    VirtualDevice &device = program.devices.device(0);
    for (auto _ : state) {
        device.liveValues = moving.next();
        program.tick();
        program.devices.clearLog();
    }
    state.counters["sections"] = dialog.sections();
}

void BM_SettingsDialogTick32Steps(benchmark::State &state)
{
    settingsDialogTick(state, StepLayout::ThirtyTwoSteps);
}
BENCHMARK(BM_SettingsDialogTick32Steps);

void BM_SettingsDialogTickDirectional(benchmark::State &state)
{
    settingsDialogTick(state, StepLayout::Directional);
}
BENCHMARK(BM_SettingsDialogTickDirectional);

// drawStepGraph's painting alone, on a canvas of the dialog's size, with the joystick label too
// (mode 3): the upper bound of what one tick paints.
void BM_StepGraphPaint32StepsAndJoystick(benchmark::State &state)
{
    ConfigModel model;
    loadLargestConfiguration(model);
    ChannelSettings settings = model.channel(0);
    settings.mode = kModeBoth;
    GraphCanvas canvas(QSize(221, 541));
    StepGraphPainter painter;
    MovingInputs moving;
    StepGraphInput input{0, &settings, sectionsForSteps(settings.steps),
                         0, 0,         QStringLiteral("Slider")};
    for (auto _ : state) {
        input.liveValue = moving.next()[0];
        painter.draw(canvas, input);
        benchmark::DoNotOptimize(canvas.image().constBits());
    }
}
BENCHMARK(BM_StepGraphPaint32StepsAndJoystick);

} // namespace

} // namespace orvex::bench
