// What 32,767 members cost the host in resident memory: the host's resident
// set before the plug-in is loaded, and after it has been loaded and has
// listed a section of 32,767 members with short templates. One iteration;
// run it in a process of its own (bench/run.sh does), so that memory the
// other benchmarks took and freed does not hide the plug-in's.
#include <malloc.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "support/plugin_copy.h"
#include "support/resident_memory.h"
#include "support/rules_text.h"

namespace quendrix::bench {
namespace {

constexpr int kMembers = 32767;

void BM_MemoryOfListing(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    // The rules text is this program's, not the plug-in's: it is made before
    // the first reading and stays until after the second. Memory freed so
    // far goes back to the system, so that the plug-in cannot quietly reuse
    // pages this program already holds.
    const std::string rules = RulesText(1, kMembers);
    malloc_trim(0);
    const double before = ResidentMiB();
    state.ResumeTiming();

    // Loading the plug-in is part of what the host pays.
    const PluginCopy plugin(rules);
    const int members = plugin.ListAll(plugin.PathOf("report.ext1"));

    state.PauseTiming();
    const double after = ResidentMiB();
    state.ResumeTiming();
    if (members != kMembers) state.SkipWithError("the listing lost members");
    state.counters["rss_before_MiB"] = before;
    state.counters["rss_after_MiB"] = after;
    state.counters["rss_growth_MiB"] = after - before;
  }
}

BENCHMARK(BM_MemoryOfListing)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix::bench
