// Throughput of chunk decompression on a 16 MiB picture-like payload (bytes/s are output bytes).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "assets/decompress.h"
#include "authoring/compress.h"

namespace {

// A 640-wide indexed picture: horizontal bands with a checkerboard dither and some noise,
// roughly what screens and sprite sheets look like.
std::vector<std::uint8_t> picture(std::size_t size) {
  std::vector<std::uint8_t> out(size);
  std::uint32_t x = 0x1234;
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t col = i % 640, row = i / 640;
    x = x * 1664525u + 1013904223u;
    std::uint8_t v = static_cast<std::uint8_t>(16 + (row / 24) % 8);
    if ((row + col) % 2 == 0 && (row / 24) % 3 == 0) v = static_cast<std::uint8_t>(v + 8);
    if ((x >> 27) == 0) v = static_cast<std::uint8_t>(x >> 16);
    out[i] = v;
  }
  return out;
}

void run(benchmark::State& state, const std::vector<std::uint8_t>& payload, std::size_t size) {
  for (auto _ : state) {
    auto out = ot::decompress_chunk(payload);
    benchmark::DoNotOptimize(out->data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

void BM_DecompressLzw16MiB(benchmark::State& state) {
  const std::size_t size = ot::kMaxUnpackedSize;
  static const auto payload = ot::authoring::lzw_compress(picture(size), {{}, true});
  run(state, payload, size);
}
BENCHMARK(BM_DecompressLzw16MiB)->Unit(benchmark::kMillisecond);

void BM_DecompressRunLength16MiB(benchmark::State& state) {
  const std::size_t size = ot::kMaxUnpackedSize;
  static const auto payload = ot::authoring::rle_compress(picture(size));
  run(state, payload, size);
}
BENCHMARK(BM_DecompressRunLength16MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
