// Speed of the rules-file reader on large and hostile files: the parse must
// stay linear in the file's size whatever the shape of its lines, and the
// lookups of a section of 32767 pairs must stay cheap.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "format/profile_text.h"

namespace quendrix {
namespace {

constexpr std::int64_t kMegabyte = 1 << 20;
constexpr std::int64_t kMaxPairs = 32767;

// Many short key lines in many sections, the shape of a real file grown big.
std::string ManyKeys(std::int64_t size) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(size) + 64);
  for (std::int64_t n = 0; static_cast<std::int64_t>(bytes.size()) < size; ++n) {
    if (n % 1000 == 0) bytes += "[section" + std::to_string(n / 1000) + "]\r\n";
    bytes += "key" + std::to_string(n) + " = value " + std::to_string(n) + "\r\n";
  }
  return bytes;
}

// One line without an end, opening like a section header without its "]".
std::string OneLine(std::int64_t size) {
  return "[" + std::string(static_cast<std::size_t>(size), '=');
}

// Lines ended by CR only.
std::string CarriageReturnsOnly(std::int64_t size) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(size) + 16);
  while (static_cast<std::int64_t>(bytes.size()) < size) bytes += "k=v\r[s]\r";
  return bytes;
}

// The same key name over and over.
std::string OneKeyRepeated(std::int64_t size) {
  std::string bytes = "[a]\n";
  const std::string line = std::string(200, 'K') + "=v\n";
  while (static_cast<std::int64_t>(bytes.size()) < size) bytes += line;
  return bytes;
}

template <std::string (*Make)(std::int64_t)>
void Parse(benchmark::State& state) {
  const std::string bytes = Make(state.range(0));
  for (auto _ : state) {
    ProfileText text(bytes);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}

#define PARSE_BENCHMARK(Make)                                      \
  BENCHMARK_TEMPLATE(Parse, Make)                                  \
      ->Arg(kMegabyte)->Arg(8 * kMegabyte)->Arg(50 * kMegabyte)    \
      ->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)

PARSE_BENCHMARK(ManyKeys);
PARSE_BENCHMARK(OneLine);
PARSE_BENCHMARK(CarriageReturnsOnly);
PARSE_BENCHMARK(OneKeyRepeated);

// A lookup reads command1, fileout1, command2, ... of one section.
void ReadAllPairs(benchmark::State& state) {
  std::string bytes = "[txt]\n";
  for (std::int64_t n = 1; n <= kMaxPairs; ++n) {
    bytes += "command" + std::to_string(n) + "=c filein fileout\nfileout" +
             std::to_string(n) + "=[N]." + std::to_string(n) + "\n";
  }
  const ProfileText text(std::move(bytes));
  for (auto _ : state) {
    for (std::int64_t n = 1; n <= kMaxPairs; ++n) {
      benchmark::DoNotOptimize(text.Read("txt", "command" + std::to_string(n), "not found", 1024));
      benchmark::DoNotOptimize(text.Read("txt", "fileout" + std::to_string(n), "not found", 1024));
    }
  }
}
BENCHMARK(ReadAllPairs)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix
