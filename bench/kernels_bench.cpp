// Kernel timings with the outputs preallocated and reused, next to their
// baselines measured in the same run: the memory floor (read one image,
// write four, column by column) and the straightforward design kept in the
// tests as the literal reference.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
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
        std::memcpy(o.data() + static_cast<std::size_t>(M) * j,
                    x.data() + static_cast<std::size_t>(M) * j, sizeof(double) * M);
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
    waveprob::forward_transform(x.data(), b[0].data(), b[1].data(), b[2].data(), b[3].data(), level,
                                M, M);
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
    waveprob::inverse_transform(out.data(), b[0].data(), b[1].data(), b[2].data(), b[3].data(),
                                level, M, M);
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

// Statistics on 2048 x 2048: a class map with about half the positions
// selected, detail bands of realistic magnitude.
struct statistics_data {
  int M = 2048;
  image detail = noise(static_cast<std::size_t>(M) * M, 7, 12.0);
  image coarser = noise(static_cast<std::size_t>(M) * M, 8, 12.0);
  image sector = [this] {
    image s(detail.size());
    for (std::size_t k = 0; k < s.size(); ++k) s[k] = std::fabs(detail[k]) >= 8.0 ? 1.0 : 0.0;
    return s;
  }();
  image likelihood = noise(64, 9, 1.0), prior = noise(64, 10, 1.0);
  std::size_t selected = waveprob::count_selected(sector.data(), sector.size());
};

const statistics_data& stats() {
  static const statistics_data data;
  return data;
}

// Reads one image, writes one.
void copy_floor(benchmark::State& state) {
  const auto& d = stats();
  image out(d.detail.size());
  for (auto _ : state) {
    std::memcpy(out.data(), d.detail.data(), sizeof(double) * out.size());
    benchmark::ClobberMemory();
  }
}

// Reads the class map and the band, writes as many values as are
// selected: the traffic of the magnitude list, streamed.
void list_floor(benchmark::State& state) {
  const auto& d = stats();
  image out(d.selected);
  for (auto _ : state) {
    std::uint64_t seen = 0;
    const std::size_t n = d.detail.size();
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t a, b;
      std::memcpy(&a, &d.sector[i], sizeof a);
      std::memcpy(&b, &d.detail[i], sizeof b);
      seen |= a ^ b;
    }
    std::memset(out.data(), 0, sizeof(double) * out.size());
    benchmark::DoNotOptimize(seen);
    benchmark::ClobberMemory();
  }
}

void threshold_mask(benchmark::State& state) {
  const auto& d = stats();
  image out(d.detail.size());
  for (auto _ : state) {
    waveprob::threshold_mask(d.detail.data(), out.data(), d.M, d.M, 8.0);
    benchmark::ClobberMemory();
  }
}

void selected_magnitudes(benchmark::State& state) {
  const auto& d = stats();
  image out(d.selected);
  for (auto _ : state) {
    waveprob::selected_magnitudes(out.data(), d.sector.data(), d.detail.data(), d.M, d.M);
    benchmark::ClobberMemory();
  }
}

void selected_neighbourhood_energy(benchmark::State& state) {
  const auto& d = stats();
  const int h = static_cast<int>(state.range(0));
  image out(d.selected);
  for (auto _ : state) {
    // The count that sizes the output, as the straightforward design's time
    // includes its own.
    const std::size_t count = waveprob::count_selected(d.sector.data(), d.sector.size());
    waveprob::selected_neighbourhood_energy(out.data(), count, d.sector.data(), d.detail.data(),
                                            d.coarser.data(), h, d.M, d.M);
    benchmark::ClobberMemory();
  }
}

void selected_neighbourhood_energy_straightforward(benchmark::State& state) {
  const auto& d = stats();
  const int h = static_cast<int>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        reference::selected_neighbourhood_energy(d.sector, d.detail, d.coarser, h, d.M, d.M));
}

void significance_probability(benchmark::State& state) {
  const auto& d = stats();
  const int h = static_cast<int>(state.range(0));
  image out(d.detail.size());
  for (auto _ : state) {
    waveprob::significance_probability(d.detail.data(), d.coarser.data(), out.data(), d.M, d.M,
                                       d.likelihood.data(), d.prior.data(), d.likelihood.size(),
                                       d.prior.size(), 0.5, h);
    benchmark::ClobberMemory();
  }
}

void significance_probability_straightforward(benchmark::State& state) {
  const auto& d = stats();
  const int h = static_cast<int>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(reference::significance_probability(d.detail, d.coarser, d.M, d.M,
                                                                 d.likelihood, d.prior, 0.5, h));
}

}  // namespace

BENCHMARK(copy_floor)->Unit(benchmark::kMillisecond);
BENCHMARK(list_floor)->Unit(benchmark::kMillisecond);
BENCHMARK(threshold_mask)->Unit(benchmark::kMillisecond);
BENCHMARK(selected_magnitudes)->Unit(benchmark::kMillisecond);
BENCHMARK(selected_neighbourhood_energy)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(selected_neighbourhood_energy_straightforward)
    ->DenseRange(1, 3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(significance_probability)->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(significance_probability_straightforward)
    ->DenseRange(1, 3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK(memory_floor)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(forward)->Apply(transform_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(inverse)->Apply(transform_sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(forward_straightforward)
    ->Args({2048, 0})
    ->Args({2048, 3})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(inverse_straightforward)
    ->Args({2048, 0})
    ->Args({2048, 3})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
