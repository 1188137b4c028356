// main() of the benchmarks that need windows: the application object first, then Google
// Benchmark.  Windows are drawn offscreen unless the caller chose a platform.

#include "BenchApplication.h"

#include <benchmark/benchmark.h>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    orvex::bench::BenchApplication app(argc, argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
