// How the rules lookup grows with the number of members: LookupRules over a
// parsed rules file of one section with 1,000, 10,000 and 32,767 members, and
// the whole listing of 32,767 members through the real plug-in, both with
// the rules file unchanged since the last lookup and right after an edit.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "rules/lookup.h"
#include "format/profile_text.h"
#include "support/plugin_copy.h"
#include "support/rules_text.h"

namespace quendrix::bench {
namespace {

class ParsedRules final : public RulesSource {
 public:
  explicit ParsedRules(std::string bytes) : text_(std::move(bytes)) {}
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue,
                   std::size_t bufferSize) const override {
    return text_.Read(section, key, defaultValue, bufferSize);
  }

 private:
  ProfileText text_;
};

void BM_LookupRules(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  const ParsedRules rules(RulesText(1, members));
  ExpansionContext context;
  context.pathStyle = platform::PathStyle::kPosix;
  context.pluginDir = "/opt/quendrix/";
  context.archivePath = "/home/user/data/report.ext1";
  context.baseName = "report";
  context.extension = "ext1";
  RuleSettings settings;
  EntryTable table;
  for (auto _ : state) {
    LookupRules("ext1", rules, context, settings, table);
    if (table.UpperBound() != members) {
      state.SkipWithError("the lookup lost members");
      break;
    }
  }
  state.counters["members"] = members;
}

void BM_ListThroughPlugin(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  const PluginCopy plugin(RulesText(1, members));
  const std::string archive = plugin.PathOf("report.ext1");
  for (auto _ : state) {
    if (plugin.ListAll(archive) != members) {
      state.SkipWithError("the listing lost members");
      break;
    }
  }
}

// Each listing follows an edit of one member name, so the rules file is
// taken in and parsed anew, as after a user saves it.
void BM_ListThroughPluginAfterAnEdit(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  std::string rules = RulesText(1, members);
  const std::size_t edited = rules.rfind(".out");
  const PluginCopy plugin(rules);
  const std::string archive = plugin.PathOf("report.ext1");
  for (auto _ : state) {
    state.PauseTiming();
    rules[edited + 1] = rules[edited + 1] == 'o' ? 'O' : 'o';
    WriteWholeFile(plugin.RulesPath(), rules);
    state.ResumeTiming();
    if (plugin.ListAll(archive) != members) {
      state.SkipWithError("the listing lost members");
      break;
    }
  }
}

BENCHMARK(BM_LookupRules)
    ->Arg(1000)->Arg(10000)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListThroughPlugin)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListThroughPluginAfterAnEdit)
    ->Arg(32767)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix::bench
