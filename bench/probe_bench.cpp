// What a probe costs: CanYouHandleThisFile of the real plug-in against a
// rules file of 500 sections with 10 members each, next to the plainest way
// to take in that file once (open, read it all, close). A file manager may
// probe every file it shows, so a probe must cost no more than that one read.
//
// A rules file at rest is the usual case: edited minutes or days before.
// A rules file written in the last few seconds is read in full at every
// probe, since its time stamps cannot yet tell a later write apart; that
// case is measured too.
#include <fcntl.h>
#include <sys/stat.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/plugin_copy.h"
#include "support/rules_text.h"

namespace quendrix::bench {
namespace {

constexpr int kSections = 500;
constexpr int kMembersPerSection = 10;

// Longer than the reader waits before it trusts the stamp of a written file.
constexpr std::chrono::milliseconds kSettleTime{3500};

const PluginCopy& RestingPlugin() {
  static const PluginCopy plugin(RulesText(kSections, kMembersPerSection));
  static const bool rested = [] {
    std::this_thread::sleep_for(kSettleTime);
    return true;
  }();
  static_cast<void>(rested);
  return plugin;
}

const PluginCopy& FreshPlugin() {
  static const PluginCopy plugin(RulesText(kSections, kMembersPerSection));
  return plugin;
}

void ProbeLoop(benchmark::State& state, const PluginCopy& plugin) {
  const std::string file =
      plugin.PathOf("report." + LastSectionName(kSections));
  for (auto _ : state) {
    if (!plugin.CanHandle(file)) {
      state.SkipWithError("the plug-in refused a file it has rules for");
      break;
    }
  }
}

void BM_Probe(benchmark::State& state) { ProbeLoop(state, RestingPlugin()); }

// Each repetition starts by stamping the rules file with the current time,
// as a save in an editor does, and lasts well under the settle time.
void BM_ProbeRightAfterASave(benchmark::State& state) {
  const PluginCopy& plugin = FreshPlugin();
  if (utimensat(AT_FDCWD, plugin.RulesPath().c_str(), nullptr, 0) != 0) {
    state.SkipWithError("cannot stamp the rules file");
    return;
  }
  ProbeLoop(state, plugin);
}

void BM_PlainReadOfTheRules(benchmark::State& state) {
  const std::string path = RestingPlugin().RulesPath();
  for (auto _ : state) {
    std::string bytes = ReadWholeFilePlainly(path);
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
}

// The part of a probe that takes in the rules file at rest. The rest of a
// probe is the lookup of the section's members, which expands each of them.
void BM_RulesSnapshot(benchmark::State& state) {
  const std::string path = RestingPlugin().RulesPath();
  for (auto _ : state) {
    const platform::Profile profile(path);
    benchmark::DoNotOptimize(&profile);
  }
}

BENCHMARK(BM_Probe);
BENCHMARK(BM_ProbeRightAfterASave);
BENCHMARK(BM_RulesSnapshot);
BENCHMARK(BM_PlainReadOfTheRules);

}  // namespace
}  // namespace quendrix::bench
