// Micro-benchmarks of the number formatter and scanner, each beside the C library call it
// replaces: <Pair>/libc and <Pair>/brintom do the same work on the same values, and bench/run
// divides the second's time by the first's. Items are values.
//
//   build-bench/bench/number_text_benchmark [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/number_format.hpp"
#include "support/number_scan.hpp"

namespace {

using namespace brintom;

constexpr std::size_t kValues = 1 << 16;

// Like a scan's voxels: mostly a few hundred to a few thousand, some negative.
const std::vector<float> kVoxels = [] {
  std::mt19937 random(7);
  std::normal_distribution<float> spread(800.0f, 900.0f);
  std::vector<float> values(kValues);
  for (float& value : values) value = spread(random);
  return values;
}();

// Like a mesh's coordinates: floats in double, printed with six significant digits.
const std::vector<double> kCoordinates = [] {
  std::mt19937 random(8);
  std::uniform_real_distribution<float> spread(0.0f, 512.0f);
  std::vector<double> values(kValues);
  for (double& value : values) value = static_cast<double>(spread(random)) - 1.0;
  return values;
}();

// Small integers, as a mask's labels and a mesh's vertex numbers are.
const std::vector<long long> kIntegers = [] {
  std::vector<long long> values(kValues);
  for (std::size_t i = 0; i < kValues; ++i) values[i] = static_cast<long long>(i % 13) - 3;
  return values;
}();

char* snprintf_fixed2(char* out, float value) {
  return out + std::snprintf(out, kFormattedRoom, "%8.2f", static_cast<double>(value));
}
char* snprintf_general(char* out, double value) {
  return out + std::snprintf(out, kFormattedRoom, "%g", value);
}
char* snprintf_integer(char* out, long long value) {
  return out + std::snprintf(out, kFormattedRoom, "%lld", value);
}

template <typename Value>
void Format(benchmark::State& state, const std::vector<Value>& values,
            char* (*print)(char*, Value)) {
  char text[kFormattedRoom];
  for (auto _ : state) {
    for (const Value value : values) benchmark::DoNotOptimize(print(text, value));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
// The names are stringized: "Fixed2/libc" would not be "Fixed2/libc".
// clang-format off
BENCHMARK_CAPTURE(Format, Fixed2/libc, kVoxels, snprintf_fixed2);
BENCHMARK_CAPTURE(Format, Fixed2/brintom, kVoxels, format_fixed2_field);
BENCHMARK_CAPTURE(Format, General/libc, kCoordinates, snprintf_general);
BENCHMARK_CAPTURE(Format, General/brintom, kCoordinates, format_general);
BENCHMARK_CAPTURE(Format, Integer/libc, kIntegers, snprintf_integer);
BENCHMARK_CAPTURE(Format, Integer/brintom, kIntegers, format_integer);
// clang-format on

// As the image reader scans: in bulk, one value at a time only where the bulk scan stops.
void scan_in_bulk(std::FILE* file, std::vector<float>& values) {
  NumberScanner scanner(file);
  for (std::size_t done = 0; done < values.size();) {
    done += scanner.scan_plain_floats(values.data() + done, values.size() - done);
    if (done < values.size()) scanner.scan_float(values[done++]);
  }
}
// As the mesh reader scans: one value at a time.
void scan_floats(std::FILE* file, std::vector<float>& values) {
  NumberScanner scanner(file);
  for (float& value : values) scanner.scan_float(value);
}
void fscanf_floats(std::FILE* file, std::vector<float>& values) {
  for (float& value : values) std::fscanf(file, "%g ", &value);
}
void scan_longs(std::FILE* file, std::vector<long>& values) {
  NumberScanner scanner(file);
  for (long& value : values) scanner.scan_long(value);
}
void fscanf_longs(std::FILE* file, std::vector<long>& values) {
  for (long& value : values) std::fscanf(file, "%ld ", &value);
}

// Scans the values back from their text, printed by print and a blank each.
template <typename Printed, typename Value>
void Scan(benchmark::State& state, const std::vector<Printed>& printed,
          char* (*print)(char*, Printed), void (*scan)(std::FILE*, std::vector<Value>&)) {
  std::string text;
  char number[kFormattedRoom];
  for (const Printed value : printed) text.append(number, print(number, value)).push_back(' ');
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  std::vector<Value> values(printed.size());
  for (auto _ : state) {
    std::rewind(file);
    scan(file, values);
    benchmark::DoNotOptimize(values.data());
  }
  std::fclose(file);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
// clang-format off
BENCHMARK_CAPTURE(Scan, Fixed2/libc, kVoxels, format_fixed2_field, fscanf_floats);
BENCHMARK_CAPTURE(Scan, Fixed2/brintom, kVoxels, format_fixed2_field, scan_in_bulk);
BENCHMARK_CAPTURE(Scan, General/libc, kCoordinates, format_general, fscanf_floats);
BENCHMARK_CAPTURE(Scan, General/brintom, kCoordinates, format_general, scan_floats);
BENCHMARK_CAPTURE(Scan, Long/libc, kIntegers, format_integer, fscanf_longs);
BENCHMARK_CAPTURE(Scan, Long/brintom, kIntegers, format_integer, scan_longs);
// clang-format on

}  // namespace

BENCHMARK_MAIN();
