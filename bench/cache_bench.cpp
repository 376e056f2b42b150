// What the cache of made members costs: finding an entry among 10,000, and
// delivering a kept member of 1 GiB, next to `cp` of its entry to the same
// destination. The delivery runs no program: the benchmark fails if one is
// started.
#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "extract/cached_extraction.h"
#include "extract/member_cache.h"
#include "extract/runner.h"
#include "platform/platform.h"

extern char** environ;

namespace quendrix::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kEntries = 10000;
constexpr std::int64_t kLarge = std::int64_t{1} << 30;

// A cache folder with 10,000 small entries and one of 1 GiB, for a member
// whose key the benchmarks know.
struct CacheSetUp {
  CacheSetUp() {
    char pattern[] = "/tmp/quendrix-cache-bench-XXXXXX";
    dir = mkdtemp(pattern);
    folder = dir + "/members/";
    cache.emplace(folder, platform::TextEncoding::kSystem);
    cache->Prepare();
    for (int i = 0; i < kEntries; ++i) {
      const Sha256Digest digest = Sha256Of("entry " + std::to_string(i));
      const std::string bytes = "member " + std::to_string(i) + "\n";
      std::FILE* out = std::fopen(cache->EntryPath(digest).c_str(), "wb");
      std::fwrite(bytes.data(), 1, bytes.size(), out);
      const std::string footer = EntryFooter(digest, Sha256Of("source"),
                                             static_cast<std::int64_t>(bytes.size()));
      std::fwrite(footer.data(), 1, footer.size(), out);
      std::fclose(out);
    }
    source = dir + "/source.bin";
    std::FILE* in = std::fopen(source.c_str(), "wb");
    std::fputs("a source\n", in);
    std::fclose(in);
    entry.command = "/bin/cat filein > fileout";
    entry.fileout = "large.bin";
    lookup.style = platform::PathStyle::kPosix;
    lookup.pluginDir = "/nonexistent/";
    lookup.isProgram = [](const std::string& path) { return platform::IsProgramFile(path); };
    lookup.searchPath = [](const std::string& name) { return platform::FindProgramOnPath(name); };
    largeDigest = DigestOf(*MemberKeyOf(source, entry, lookup, platform::TextEncoding::kSystem));
    std::FILE* out = std::fopen(cache->EntryPath(largeDigest).c_str(), "wb");
    static char block[1 << 20] = {};
    for (int i = 0; i < 1024; ++i) std::fwrite(block, 1, sizeof block, out);
    const std::string footer = EntryFooter(largeDigest, Sha256Of(source), kLarge);
    std::fwrite(footer.data(), 1, footer.size(), out);
    std::fclose(out);
  }
  ~CacheSetUp() {
    std::error_code error;
    fs::remove_all(dir, error);
  }

  std::string dir;
  std::string folder;
  std::optional<MemberCache> cache;
  std::string source;
  Entry entry;
  ProgramLookup lookup;
  Sha256Digest largeDigest{};
};

CacheSetUp& CacheFixture() {
  static CacheSetUp setUp;
  return setUp;
}

void BM_FindAmong10000Entries(benchmark::State& state) {
  CacheSetUp& setUp = CacheFixture();
  int i = 0;
  for (auto _ : state) {
    const Sha256Digest digest = Sha256Of("entry " + std::to_string(i++ % kEntries));
    if (!setUp.cache->Find(digest, false)) {
      state.SkipWithError("an entry was not found");
      break;
    }
  }
}

void BM_DeliverKept1GiB(benchmark::State& state) {
  CacheSetUp& setUp = CacheFixture();
  const std::string destination = setUp.dir + "/delivered.bin";
  const RuleSettings settings;
  ExtractionRequest request;
  request.entryNumber = 1;
  request.entry = &setUp.entry;
  request.destName = destination;
  request.settings = &settings;
  ExtractionServices services;
  bool started = false;
  services.runCommand = [&started](const std::string&, std::uint32_t,
                                   const platform::ProcessWatch*) {
    started = true;
    return platform::ProcessOutcome{};
  };
  services.programLookup = setUp.lookup;
  for (auto _ : state) {
    if (ExtractThroughCache(request, services, setUp.source, *setUp.cache, nullptr, {}) != 0 ||
        started) {
      state.SkipWithError("the kept member was not delivered from its entry");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kLarge);
}

void BM_CpOfTheEntry1GiB(benchmark::State& state) {
  CacheSetUp& setUp = CacheFixture();
  std::string from = setUp.cache->EntryPath(setUp.largeDigest);
  std::string to = setUp.dir + "/copied.bin";
  char program[] = "/bin/cp";
  char* argv[] = {program, from.data(), to.data(), nullptr};
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0 ||
        waitpid(pid, &status, 0) != pid || status != 0) {
      state.SkipWithError("cp failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kLarge);
}

BENCHMARK(BM_FindAmong10000Entries)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeliverKept1GiB)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpOfTheEntry1GiB)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix::bench
