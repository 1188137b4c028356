// The configuration image codec on the largest configuration.

#include "BenchWorkloads.h"
#include "core/config/ConfigImage.h"

#include <benchmark/benchmark.h>

namespace orvex::bench {

namespace {

void BM_EncodeImage(benchmark::State &state)
{
    ConfigModel model;
    loadLargestConfiguration(model);
    ConfigImage image{};
    for (auto _ : state) {
        encodeImage(model.configuration(), image);
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EncodeImage);

void BM_DecodeImage(benchmark::State &state)
{
    ConfigModel source;
    loadLargestConfiguration(source);
    const ConfigImage image = encodeImage(source);
    ConfigModel model;
    bool accepted = true;
    for (auto _ : state) {
        accepted = decodeImage(model, image) && accepted;
        benchmark::DoNotOptimize(&model.configuration());
        benchmark::ClobberMemory();
    }
    if (!accepted || model.channels() != source.channels())
        state.SkipWithError("the largest configuration did not decode to itself");
}
BENCHMARK(BM_DecodeImage);

} // namespace

} // namespace orvex::bench
