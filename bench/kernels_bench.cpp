// Kernel timings with the outputs preallocated and reused, next to their
// baselines measured in the same run: the memory floor (read one image,
// write four, column by column) and the straightforward design kept in the
// tests as the literal reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/statistics.h"
#include "core/transform.h"
#include "reference.h"

namespace {

using image = std::vector<double>;

image noise(std::size_t n, unsigned seed, double scale = 40.0) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> d(0.0, scale);
  image x(n);
  for (double& v : x) v = d(engine);
  return x;
}

// Reads one M x M image and writes four, one column at a time.
void memory_floor(benchmark::State& state) {
  const int M = static_cast<int>(state.range(0));
  const std::size_t n = static_cast<std::size_t>(M) * M;
  const image x = noise(n, 1);
  std::vector<image> out(4, image(n));
  for (auto _ : state) {
    for (int j = 0; j < M; ++j)
      for (image& o : out)
        std::memcpy(o.data() + static_cast<std::size_t>(M) * j, x.data() + static_cast<std::size_t>(M) * j,
                    sizeof(double) * M);
    benchmark::DoNotOptimize(out[3].data());
    benchmark::ClobberMemory();
  }
}

void forward(benchmark::State& state) {
  const int M = static_cast<int>(state.range(0)), level = static_cast<int>(state.range(1));
  const std::size_t n = static_cast<std::size_t>(M) * M;
  const image x = noise(n, 2);
  std::vector<image> b(4, image(n));
  for (auto _ : state) {
    waveprob::forward_transform(x.data(), b[0].data(), b[1].data(), b[2].data(), b[3].data(), level, M, M);
    benchmark::ClobberMemory();
  }
}

void forward_straightforward(benchmark::State& state) {
  const int M = static_cast<int>(state.range(0)), level = static_cast<int>(state.range(1));
  const image x = noise(static_cast<std::size_t>(M) * M, 2);
  for (auto _ : state) benchmark::DoNotOptimize(reference::forward_transform(x, level, M, M));
}

void inverse(benchmark::State& state) {
  const int M = static_cast<int>(state.range(0)), level = static_cast<int>(state.range(1));
  const std::size_t n = static_cast<std::size_t>(M) * M;
  std::vector<image> b;
  for (unsigned k = 0; k < 4; ++k) b.push_back(noise(n, 3 + k));
  image out(n);
  for (auto _ : state) {
    waveprob::inverse_transform(out.data(), b[0].data(), b[1].data(), b[2].data(), b[3].data(), level, M, M);
    benchmark::ClobberMemory();
  }
}

void inverse_straightforward(benchmark::State& state) {
  const int M = static_cast<int>(state.range(0)), level = static_cast<int>(state.range(1));
  const std::size_t n = static_cast<std::size_t>(M) * M;
  std::vector<image> b;
  for (unsigned k = 0; k < 4; ++k) b.push_back(noise(n, 3 + k));
  for (auto _ : state) benchmark::DoNotOptimize(reference::inverse_transform(b, level, M, M));
}

void transform_sizes(benchmark::internal::Benchmark* b) {
  for (int size : {2048, 4096})
    for (int level = 0; level <= 4; ++level) b->Args({size, level});
}

}  // namespace

BENCHMARK(memory_floor)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(forward)->Apply(transform_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(inverse)->Apply(transform_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(forward_straightforward)->Args({2048, 0})->Args({2048, 3})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(inverse_straightforward)->Args({2048, 0})->Args({2048, 3})->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
