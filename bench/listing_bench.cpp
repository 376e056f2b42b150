// What members listed by a program cost: an open whose list program prints
// 10,000 names, next to that program run alone; an open of the same
// unchanged file again, which runs nothing; reading all 10,000 headers; and
// the resident memory of a session of 10,000 listed members.
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "format/member_list.h"
#include "platform/platform.h"
#include "support/plugin_copy.h"
#include "support/resident_memory.h"

namespace quendrix::bench {
namespace {

constexpr int kListed = 10000;

// The plug-in with a section whose list program prints 10,000 names in
// folders, with sizes and times, and a file of that kind.
struct ListedSetUp {
  ListedSetUp() : plugin(Rules()) {
    std::string names;
    for (int i = 0; i < kListed; ++i) {
      names += "folder" + std::to_string(i % 100) + "/member" + std::to_string(i) +
               ".txt\t1234\t2024-03-15 13:45:59\n";
    }
    WriteWholeFile(plugin.PathOf("names.txt"), names);
    archive = plugin.PathOf("box.lst");
    WriteWholeFile(archive, "the box\n");
  }

  static std::string Rules() {
    return "[lst]\nlist=/bin/cat names.txt\nextract=/bin/cat [M] > fileout\n";
  }

  // The list program alone, as the plug-in runs it.
  std::string ListCommand() const { return "/bin/cat " + plugin.PathOf("names.txt"); }

  PluginCopy plugin;
  std::string archive;
};

ListedSetUp& ListedFixture() {
  static ListedSetUp setUp;
  return setUp;
}

// A file that changes before each open is listed anew each time.
void Touch(const std::string& path, long second) {
  struct timespec times[2] = {{second, 0}, {second, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void BM_OpenListedAnew(benchmark::State& state) {
  ListedSetUp& setUp = ListedFixture();
  // The list command names its file relative to the plug-in's folder, as
  // the host's current folder; the bench runs from there.
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(setUp.plugin.PathOf(""));
  long second = 1'000'000'000;
  for (auto _ : state) {
    state.PauseTiming();
    Touch(setUp.archive, ++second);
    state.ResumeTiming();
    if (!setUp.plugin.OpenAndClose(setUp.archive)) {
      state.SkipWithError("the open failed");
      break;
    }
  }
  std::filesystem::current_path(previous);
}

void BM_ListProgramAlone(benchmark::State& state) {
  const std::string command = ListedFixture().ListCommand();
  for (auto _ : state) {
    const platform::CapturedOutput captured =
        platform::RunCapturingOutput(command, kListOutputLimit, std::chrono::seconds(30));
    benchmark::DoNotOptimize(captured.output.data());
  }
}

void BM_OpenListedAgain(benchmark::State& state) {
  ListedSetUp& setUp = ListedFixture();
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(setUp.plugin.PathOf(""));
  setUp.plugin.OpenAndClose(setUp.archive);
  for (auto _ : state) {
    if (!setUp.plugin.OpenAndClose(setUp.archive)) {
      state.SkipWithError("the open failed");
      break;
    }
  }
  std::filesystem::current_path(previous);
}

void BM_ReadListedHeaders(benchmark::State& state) {
  ListedSetUp& setUp = ListedFixture();
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(setUp.plugin.PathOf(""));
  setUp.plugin.OpenAndClose(setUp.archive);
  for (auto _ : state) {
    if (setUp.plugin.ListAll(setUp.archive) != kListed) {
      state.SkipWithError("the listing lost members");
      break;
    }
  }
  std::filesystem::current_path(previous);
}

// One iteration, in a process of its own: what a session of 10,000 listed
// members, with its kept list, adds to the host.
void BM_MemoryOfListedOpen(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    ListedSetUp& setUp = ListedFixture();
    std::filesystem::current_path(setUp.plugin.PathOf(""));
    malloc_trim(0);
    const double before = ResidentMiB();
    state.ResumeTiming();
    const int members = setUp.plugin.ListAll(setUp.archive);
    state.PauseTiming();
    const double after = ResidentMiB();
    state.ResumeTiming();
    if (members != kListed) state.SkipWithError("the listing lost members");
    state.counters["rss_growth_MiB"] = after - before;
  }
}

BENCHMARK(BM_OpenListedAnew)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListProgramAlone)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenListedAgain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadListedHeaders)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryOfListedOpen)->Iterations(1);

}  // namespace
}  // namespace quendrix::bench
