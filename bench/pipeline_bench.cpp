// What the Linux command syntax costs: a member made by `tool filein >
// fileout` next to a bare posix_spawn of the same program with its output
// sent into the same file, as a program that opens the member itself would
// do; and a pipeline of three programs moving 1 GiB, run by the plug-in's
// own pipes next to the same pipeline run by /bin/sh.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "extract/extraction.h"
#include "extract/runner.h"
#include "interface/wcx.h"
#include "platform/platform.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A folder of the run's files, removed at exit.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/quendrix-bench-XXXXXX";
    if (mkdtemp(pattern) != nullptr) dir_ = pattern;
  }
  ~Scratch() {
    std::error_code error;
    if (!dir_.empty()) fs::remove_all(dir_, error);
  }
  std::string file(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

const Scratch& Files() {
  static const Scratch scratch;
  return scratch;
}

// A small input, as most members are made from.
const std::string& SmallInput() {
  static const std::string path = [] {
    const std::string file = Files().file("input.txt");
    std::FILE* out = std::fopen(file.c_str(), "wb");
    for (int line = 0; line < 100; ++line) std::fprintf(out, "line %d of the input\n", line);
    std::fclose(out);
    return file;
  }();
  return path;
}

void BM_ExtractRedirected(benchmark::State& state) {
  const std::string input = SmallInput();
  const std::string member = Files().file("member.txt");
  quendrix::Entry entry;
  entry.command = "/bin/cat " + input + " > fileout";
  const quendrix::RuleSettings settings;
  quendrix::ExtractionRequest request;
  request.entryNumber = 1;
  request.entry = &entry;
  request.destName = member;
  request.settings = &settings;
  quendrix::ExtractionServices services;
  services.runCommand = [](const std::string& line, std::uint32_t style,
                           const quendrix::platform::ProcessWatch* watch) {
    return quendrix::RunCommand(line, style, watch);
  };
  services.programLookup.style = quendrix::platform::PathStyle::kPosix;
  services.programLookup.pluginDir = "/nonexistent/plugin/";
  services.programLookup.isProgram = [](const std::string& path) {
    return quendrix::platform::IsProgramFile(path);
  };
  services.programLookup.searchPath = [](const std::string& name) {
    return quendrix::platform::FindProgramOnPath(name);
  };
  for (auto _ : state) {
    if (quendrix::ExtractEntry(request, services) != 0) {
      state.SkipWithError("the member was not made");
      break;
    }
  }
}

void BM_BareSpawnRedirected(benchmark::State& state) {
  const std::string input = SmallInput();
  const std::string member = Files().file("member.txt");
  char program[] = "/bin/cat";
  std::string argument = input;
  char* argv[] = {program, argument.data(), nullptr};
  for (auto _ : state) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, member.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0666);
    pid_t pid = 0;
    int status = 0;
    const bool ran = posix_spawn(&pid, program, &actions, nullptr, argv, environ) == 0 &&
                     waitpid(pid, &status, 0) == pid && status == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!ran) {
      state.SkipWithError("posix_spawn failed");
      break;
    }
  }
}

// 1 GiB of zeros, made once.
const std::string& LargeInput() {
  static const std::string path = [] {
    const std::string file = Files().file("large.bin");
    std::FILE* out = std::fopen(file.c_str(), "wb");
    static char block[1 << 20] = {};
    for (int i = 0; i < 1024; ++i) std::fwrite(block, 1, sizeof block, out);
    std::fclose(out);
    return file;
  }();
  return path;
}

void RunPipeline(benchmark::State& state, const std::string& line) {
  for (auto _ : state) {
    const quendrix::platform::ProcessOutcome outcome =
        quendrix::RunCommand(line, quendrix::kWaitFlag);
    if (!outcome.started || outcome.value != 0) {
      state.SkipWithError("the pipeline failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) << 30);
}

void BM_Pipeline1GiB(benchmark::State& state) {
  RunPipeline(state, "/bin/cat " + LargeInput() + " | /bin/cat | /bin/cat > " +
                         Files().file("large.out"));
}

void BM_ShellPipeline1GiB(benchmark::State& state) {
  RunPipeline(state, "/bin/sh -c 'cat \"$1\" | cat | cat > \"$2\"' sh " + LargeInput() + " " +
                         Files().file("large.out"));
}

BENCHMARK(BM_ExtractRedirected)->UseRealTime();
BENCHMARK(BM_BareSpawnRedirected)->UseRealTime();
BENCHMARK(BM_Pipeline1GiB)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShellPipeline1GiB)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
