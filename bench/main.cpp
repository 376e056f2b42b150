// The benchmarks of quendrix in one program. After the usual report it
// prints each promise that the run measured: a ratio of two medians taken
// side by side in this run, or a median against a fixed bound.
#include <benchmark/benchmark.h>

#include <iostream>

#include "support/ratio_reporter.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  using namespace quendrix::bench;
  RatioReporter reporter({
      Ratio("probe / plain read of the rules file", "BM_Probe",
            "BM_PlainReadOfTheRules", 1.0),
      Ratio("rules snapshot alone / plain read of the rules file",
            "BM_RulesSnapshot", "BM_PlainReadOfTheRules", 1.0),
      Ratio("probe within 3 s of a save / plain read (read in full)",
            "BM_ProbeRightAfterASave", "BM_PlainReadOfTheRules", kMeasuredOnly),
      Ratio("LookupRules 10,000 members / 1,000 members",
            "BM_LookupRules/10000", "BM_LookupRules/1000", 12.0),
      Bound("list 32,767 members, rules unchanged (ms)",
            "BM_ListThroughPlugin/32767", 100.0),
      Bound("list 32,767 members, rules just edited (ms)",
            "BM_ListThroughPluginAfterAnEdit/32767", 100.0),
      Bound("resident memory growth for 32,767 members (MiB)",
            "BM_MemoryOfListing/iterations:1", 32.0, "rss_growth_MiB"),
      Ratio("RunCommand / bare posix_spawn, small host",
            "BM_RunCommand/0/real_time", "BM_BarePosixSpawn/0/real_time", 1.10,
            Clock::kReal),
      Ratio("RunCommand / bare posix_spawn, 2 GiB host",
            "BM_RunCommand/2/real_time", "BM_BarePosixSpawn/2/real_time", 1.10,
            Clock::kReal),
      Ratio("extraction of `cat filein > fileout` / bare posix_spawn into the file",
            "BM_ExtractRedirected/real_time", "BM_BareSpawnRedirected/real_time", 1.05,
            Clock::kReal),
      Ratio("1 GiB through cat | cat | cat > file, time / the same run by /bin/sh",
            "BM_Pipeline1GiB/real_time", "BM_ShellPipeline1GiB/real_time", 1.25,
            Clock::kReal),
      Difference("open listing 10,000 names, beyond its list program (ms)",
                 "BM_OpenListedAnew/real_time", "BM_ListProgramAlone/real_time", 5.0,
                 Clock::kReal),
      Bound("open of the same unchanged file again (ms)", "BM_OpenListedAgain", 1.0),
      Bound("ReadHeader of 10,000 listed members, open included (ms)",
            "BM_ReadListedHeaders", 20.0),
      Bound("resident memory of a session of 10,000 listed members (MiB)",
            "BM_MemoryOfListedOpen/iterations:1", 16.0, "rss_growth_MiB"),
      Bound("find a kept member among 10,000 entries (ms)",
            "BM_FindAmong10000Entries/real_time", 1.0),
      Ratio("deliver a kept member of 1 GiB, time / cp of its entry",
            "BM_DeliverKept1GiB/real_time", "BM_CpOfTheEntry1GiB/real_time", 1.25, Clock::kReal),
  });
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const bool kept = reporter.PrintPromises(std::cout);
  benchmark::Shutdown();
  return kept ? 0 : 2;
}
