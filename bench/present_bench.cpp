// Cost of one redraw: colour conversion of a dithered frame, scaling into common window sizes,
// and a plain fill of the same window buffers as the memory-bandwidth yardstick (with a ramp
// beside it).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "present/present.h"

namespace {

// Bands of flat colour, checkerboards, stripes and noise: what a dithered frame looks like.
std::vector<std::uint8_t> dithered_frame() {
  std::vector<std::uint8_t> out(ot::kFramePixels);
  std::uint32_t x = 0x1234;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::size_t col = i % 640, row = i / 640;
    x = x * 1664525u + 1013904223u;
    const auto base = static_cast<std::uint8_t>(16 + (row / 24) % 8 * 2);
    std::uint8_t v = base;
    switch ((row / 24 + col / 80) % 4) {
      case 1:
        v = static_cast<std::uint8_t>(base + (row + col) % 2);
        break;
      case 2:
        v = static_cast<std::uint8_t>(base + col % 2);
        break;
      case 3:
        v = static_cast<std::uint8_t>(base + row % 2);
        break;
      default:
        break;
    }
    if ((x >> 26) == 0) v = static_cast<std::uint8_t>(x >> 16);
    out[i] = v;
  }
  return out;
}

// With --benchmark_repetitions, the fastest repetition as well: on a shared machine it is the
// best estimate of the cost itself.
double fastest(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

ot::Palette palette() {
  ot::Palette p;
  for (std::size_t i = 0; i < 256; ++i) {
    p.colours[i] = ot::Colour{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(i * 91),
                              static_cast<std::uint8_t>(i * 53)};
  }
  return p;
}

void colour(benchmark::State& state, bool dedither) {
  const auto layer = dithered_frame();
  const auto pal = palette();
  std::vector<std::uint32_t> image(ot::kFramePixels);
  ot::Presenter presenter;
  for (auto _ : state) {
    presenter.to_colour(layer, pal, dedither, image);
    benchmark::DoNotOptimize(image.data());
    benchmark::ClobberMemory();
  }
}

void BM_ToColourPlain(benchmark::State& state) {
  colour(state, false);
}
BENCHMARK(BM_ToColourPlain)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

void BM_ToColourDedither(benchmark::State& state) {
  colour(state, true);
}
BENCHMARK(BM_ToColourDedither)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

void BM_ScaleInto(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const auto image = ot::to_colour(dithered_frame(), palette(), true);
  std::vector<std::uint32_t> window(static_cast<std::size_t>(width) *
                                    static_cast<std::size_t>(height));
  ot::Presenter presenter;
  for (auto _ : state) {
    presenter.scale_into(image, window, width, height);
    benchmark::DoNotOptimize(window.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(window.size() * sizeof(std::uint32_t)));
}
BENCHMARK(BM_ScaleInto)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);

void BM_FillWindow(benchmark::State& state) {
  std::vector<std::uint32_t> window(static_cast<std::size_t>(state.range(0)) *
                                    static_cast<std::size_t>(state.range(1)));
  std::uint32_t v = 0;
  for (auto _ : state) {
    std::fill(window.begin(), window.end(), ++v);
    benchmark::DoNotOptimize(window.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(window.size() * sizeof(std::uint32_t)));
}
BENCHMARK(BM_FillWindow)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);

// Writing the same buffer with pixels that differ (a ramp computed in registers, nothing read):
// on some machines a fill with one value is much faster than any write of a real picture.
void BM_RampWindow(benchmark::State& state) {
  std::vector<std::uint32_t> window(static_cast<std::size_t>(state.range(0)) *
                                    static_cast<std::size_t>(state.range(1)));
  std::uint32_t v = 0;
  for (auto _ : state) {
    ++v;
    std::uint32_t* d = window.data();
    for (std::size_t i = 0; i < window.size(); ++i) d[i] = static_cast<std::uint32_t>(i) + v;
    benchmark::DoNotOptimize(window.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(window.size() * sizeof(std::uint32_t)));
}
BENCHMARK(BM_RampWindow)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);

}  // namespace

BENCHMARK_MAIN();
