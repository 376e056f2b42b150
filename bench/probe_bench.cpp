// What a probe costs: CanYouHandleThisFile of the real plug-in against a
// rules file of 500 sections with 10 members each, next to the plainest way
// to take in that file once (open, read it all, close). A file manager probes
// every file it shows, so a probe must cost no more than that one read.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/platform.h"
#include "support/plugin_copy.h"
#include "support/rules_text.h"

namespace quendrix::bench {
namespace {

constexpr int kSections = 500;
constexpr int kMembersPerSection = 10;

const PluginCopy& ProbedPlugin() {
  static const PluginCopy plugin(RulesText(kSections, kMembersPerSection));
  return plugin;
}

void BM_Probe(benchmark::State& state) {
  const PluginCopy& plugin = ProbedPlugin();
  const std::string file =
      plugin.PathOf("report." + LastSectionName(kSections));
  for (auto _ : state) {
    if (!plugin.CanHandle(file)) {
      state.SkipWithError("the plug-in refused a file it has rules for");
      break;
    }
  }
}

void BM_PlainReadOfTheRules(benchmark::State& state) {
  const std::string path = ProbedPlugin().RulesPath();
  for (auto _ : state) {
    std::string bytes = ReadWholeFilePlainly(path);
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
}

// The part of a probe that takes in the rules file: one read of it, compared
// with what was parsed last. The rest of a probe is the lookup of the
// section's members, which expands each of them.
void BM_RulesSnapshot(benchmark::State& state) {
  const std::string path = ProbedPlugin().RulesPath();
  for (auto _ : state) {
    const platform::Profile profile(path);
    benchmark::DoNotOptimize(&profile);
  }
}

BENCHMARK(BM_Probe);
BENCHMARK(BM_RulesSnapshot);
BENCHMARK(BM_PlainReadOfTheRules);

}  // namespace
}  // namespace quendrix::bench
