// Micro-benchmarks of the number formatter and the number scanner, beside the C library calls
// they replace, so that a change that slows either shows:
//
//   build-bench/bench/number_text_benchmark [--benchmark_filter=...]
//
// Built with -DBRINTOM_BENCH=ON; not run by ctest. Items per second are values per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/number_format.hpp"
#include "support/number_scan.hpp"

namespace {

using namespace brintom;

constexpr std::size_t kValues = 1 << 16;

// Values like a scan's voxels: mostly a few hundred to a few thousand, some negative.
std::vector<float> voxel_like_values() {
  std::mt19937 random(7);
  std::normal_distribution<float> spread(800.0f, 900.0f);
  std::vector<float> values(kValues);
  for (float& value : values) value = spread(random);
  return values;
}

// Coordinates of a mesh: (float - 1) in double, six significant digits to print.
std::vector<double> coordinate_values() {
  std::mt19937 random(8);
  std::uniform_real_distribution<float> spread(0.0f, 512.0f);
  std::vector<double> values(kValues);
  for (double& value : values) value = static_cast<double>(spread(random)) - 1.0;
  return values;
}

void FormatFixed2Field(benchmark::State& state) {
  const std::vector<float> values = voxel_like_values();
  char text[kFormattedRoom];
  for (auto _ : state) {
    for (float value : values) benchmark::DoNotOptimize(format_fixed2_field(text, value));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(FormatFixed2Field);

void SnprintfFixed2Field(benchmark::State& state) {
  const std::vector<float> values = voxel_like_values();
  char text[64];
  for (auto _ : state) {
    for (float value : values) {
      benchmark::DoNotOptimize(
          std::snprintf(text, sizeof text, "%8.2f", static_cast<double>(value)));
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(SnprintfFixed2Field);

void FormatGeneral(benchmark::State& state) {
  const std::vector<double> values = coordinate_values();
  char text[kFormattedRoom];
  for (auto _ : state) {
    for (double value : values) benchmark::DoNotOptimize(format_general(text, value));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(FormatGeneral);

void SnprintfGeneral(benchmark::State& state) {
  const std::vector<double> values = coordinate_values();
  char text[64];
  for (auto _ : state) {
    for (double value : values) {
      benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%g", value));
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(SnprintfGeneral);

void FormatInteger(benchmark::State& state) {
  char text[kFormattedRoom];
  for (auto _ : state) {
    for (long long value = -32768; value < 32768; ++value) {
      benchmark::DoNotOptimize(format_integer(text, value));
    }
  }
  state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(FormatInteger);

// A file of the values printed in the given form, eight to a line, to be scanned.
std::string printed_file(bool fixed) {
  std::string text;
  char number[64];
  if (fixed) {
    for (float value : voxel_like_values()) {
      std::snprintf(number, sizeof number, "%8.2f ", static_cast<double>(value));
      text += number;
    }
  } else {
    for (double value : coordinate_values()) {
      std::snprintf(number, sizeof number, "%g ", value);
      text += number;
    }
  }
  return text;
}

std::FILE* open_text(const std::string& text) {
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  return file;
}

// Whole-file reads: the scanner in bulk, one scan_float call a value, and fscanf.
enum Way { kInBulk, kOneByOne, kFscanf };

void Scan(benchmark::State& state, Way way, bool fixed) {
  const std::string text = printed_file(fixed);
  std::FILE* file = open_text(text);
  std::vector<float> values(kValues);
  for (auto _ : state) {
    std::rewind(file);
    if (way == kInBulk) {  // as the image reader reads: in bulk, one by one where that stops
      NumberScanner scanner(file);
      for (std::size_t done = 0; done < values.size();) {
        done += scanner.scan_plain_floats(values.data() + done, values.size() - done);
        if (done < values.size()) benchmark::DoNotOptimize(scanner.scan_float(values[done++]));
      }
    } else if (way == kOneByOne) {
      NumberScanner scanner(file);
      for (float& value : values) benchmark::DoNotOptimize(scanner.scan_float(value));
    } else {
      for (float& value : values) benchmark::DoNotOptimize(std::fscanf(file, "%g ", &value));
    }
  }
  std::fclose(file);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(Scan, FixedInBulk, kInBulk, true);
BENCHMARK_CAPTURE(Scan, FixedOneByOne, kOneByOne, true);
BENCHMARK_CAPTURE(Scan, FixedFscanf, kFscanf, true);
BENCHMARK_CAPTURE(Scan, GeneralOneByOne, kOneByOne, false);
BENCHMARK_CAPTURE(Scan, GeneralFscanf, kFscanf, false);

void ScanLong(benchmark::State& state, bool with_fscanf) {
  std::string text;
  for (int i = 0; i < static_cast<int>(kValues); ++i) text += std::to_string(i % 13 - 3) + ' ';
  std::FILE* file = open_text(text);
  long value = 0;
  for (auto _ : state) {
    std::rewind(file);
    if (with_fscanf) {
      for (std::size_t i = 0; i < kValues; ++i) {
        benchmark::DoNotOptimize(std::fscanf(file, "%ld ", &value));
      }
    } else {
      NumberScanner scanner(file);
      for (std::size_t i = 0; i < kValues; ++i) benchmark::DoNotOptimize(scanner.scan_long(value));
    }
  }
  std::fclose(file);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValues));
}
BENCHMARK_CAPTURE(ScanLong, Scanner, false);
BENCHMARK_CAPTURE(ScanLong, Fscanf, true);

}  // namespace

BENCHMARK_MAIN();
