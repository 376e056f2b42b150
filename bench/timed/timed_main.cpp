// The probe and listing benchmarks without Google Benchmark, for builds that
// lack it (the Windows builds, run under Wine): each comparison alternates
// batches of its two sides in one run and compares their medians. The bounds
// are those of the Windows plug-in, whose system profile functions search
// the file on every call; the Linux promises are checked by quendrix_bench.
//
//   quendrix_bench_timed [repetitions]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/plugin_copy.h"
#include "support/rules_text.h"

namespace quendrix::bench {
namespace {

using Clock = std::chrono::steady_clock;
using Operation = std::function<void()>;

constexpr double kBatchSeconds = 0.05;

// Wine's profile functions read a file written in the last moments anew on
// every call, as its time stamp cannot yet tell a later write apart; a rules
// file at rest, which is what a file manager meets, is measured after this
// pause.
constexpr std::chrono::seconds kRulesAtRest{3};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// How many runs of `operation` fill one batch of about kBatchSeconds.
long BatchSize(const Operation& operation) {
  long count = 1;
  for (;;) {
    const Clock::time_point start = Clock::now();
    for (long i = 0; i < count; ++i) operation();
    const double seconds = SecondsSince(start);
    if (seconds >= kBatchSeconds || count >= (1L << 24)) return count;
    count = seconds <= 0 ? count * 10
                         : std::max(count + 1, static_cast<long>(
                                                   count * kBatchSeconds / seconds));
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle]
                                : (values[middle - 1] + values[middle]) / 2;
}

// The median time of one run of each operation, in seconds, measured in
// alternating batches so that a change of the machine's load falls on all.
std::vector<double> MediansSideBySide(const std::vector<Operation>& operations,
                                      int repetitions) {
  std::vector<long> sizes;
  for (const Operation& operation : operations) {
    sizes.push_back(BatchSize(operation));
  }
  std::vector<std::vector<double>> times(operations.size());
  for (int r = 0; r < repetitions; ++r) {
    for (std::size_t k = 0; k < operations.size(); ++k) {
      // Every other repetition runs the operations in reverse order.
      const std::size_t i = r % 2 == 0 ? k : operations.size() - 1 - k;
      const Clock::time_point start = Clock::now();
      for (long n = 0; n < sizes[i]; ++n) operations[i]();
      times[i].push_back(SecondsSince(start) / static_cast<double>(sizes[i]));
    }
  }
  std::vector<double> medians;
  for (const std::vector<double>& series : times) {
    medians.push_back(Median(series));
  }
  return medians;
}

bool Report(const char* what, double value, double limit, const char* unit) {
  const bool holds = value <= limit;
  std::printf("  %-52s %12.3f %-3s (at most %g)  %s\n", what, value, unit,
              limit, holds ? "holds" : "BROKEN");
  return holds;
}

int Run(int repetitions) {
  std::printf("quendrix_bench_timed: the %s plug-in, %d repetitions, medians\n",
              std::string(platform::kPluginFileName).c_str(), repetitions);
  bool kept = true;
  bool lost = false;
  std::size_t sink = 0;

  {
    const PluginCopy plugin(RulesText(500, 10));
    const std::string file = plugin.PathOf("report." + LastSectionName(500));
    const std::string rules = plugin.RulesPath();
    std::this_thread::sleep_for(kRulesAtRest);
    const std::vector<double> medians = MediansSideBySide(
        {[&] { lost = lost || !plugin.CanHandle(file); },
         [&] { sink += ReadWholeFilePlainly(rules).size(); }},
        repetitions);
    std::printf("probe against 500 sections of 10 members: %.1f us; "
                "plain read of the file: %.1f us\n",
                medians[0] * 1e6, medians[1] * 1e6);
    kept = Report("probe / plain read of the rules file",
                  medians[0] / medians[1], 2.0, "") && kept;
  }
  {
    const PluginCopy small(RulesText(1, 1000));
    const PluginCopy large(RulesText(1, 10000));
    const PluginCopy largest(RulesText(1, 32767));
    std::this_thread::sleep_for(kRulesAtRest);
    const std::vector<double> medians = MediansSideBySide(
        {[&] { lost = small.ListAll(small.PathOf("a.ext1")) != 1000 || lost; },
         [&] { lost = large.ListAll(large.PathOf("a.ext1")) != 10000 || lost; },
         [&] {
           lost = largest.ListAll(largest.PathOf("a.ext1")) != 32767 || lost;
         }},
        repetitions);
    std::printf("listing 1,000 members: %.2f ms; 10,000: %.2f ms; "
                "32,767: %.2f ms\n",
                medians[0] * 1e3, medians[1] * 1e3, medians[2] * 1e3);
    kept = Report("list 10,000 members / 1,000 members",
                  medians[1] / medians[0], 12.0, "") && kept;
    kept = Report("list 32,767 members", medians[2] * 1e3, 250.0, "ms") &&
           kept;
  }
  if (lost) std::printf("the plug-in refused a file or lost members\n");
  return kept && !lost && sink > 0 ? 0 : 2;
}

}  // namespace
}  // namespace quendrix::bench

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  try {
    return quendrix::bench::Run(repetitions);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quendrix_bench_timed: %s\n", error.what());
    return 1;
  }
}
