// quendrix_test_helper: a stand-in for a converter. It writes down what a
// started program sees, so that tests can check what the runner gave it, and
// can end in the ways a real converter ends.
//
//   quendrix_test_helper [option]... [--] [word]...
//
// Options, read until the first word that is not one (or "--"):
//   --record FILE   write the record to FILE (replacing it)
//   --env NAME      record the value of the environment variable NAME
//   --probe VALUE   record what reading the descriptor or handle VALUE gives
//   --read-stdin    record the state of standard input
//   --print TEXT    write TEXT and a newline to standard output and error
//   --sleep MS      sleep for MS milliseconds after recording
//   --signal N      end by signal N (POSIX) or abnormally (Windows)
//   --copy FROM TO  copy the bytes of FROM into TO, as a converter makes a
//                   member from its archive
//   --pid-file FILE write this process's identifier to FILE first
//   --count FILE    append one line to FILE first, so that a test counts
//                   the runs of a command
//   --write-steps FILE COUNT BYTES MS
//                   append BYTES bytes to FILE COUNT times, waiting MS
//                   milliseconds after each, as a slow converter grows its
//                   output
//   --start-sleeper PIDFILE MS
//                   start a copy of this program that writes its identifier
//                   to PIDFILE and sleeps for MS milliseconds, as a
//                   converter starts a program of its own
//   --stderr-bytes N
//                   write N bytes to standard error, lines of the letters
//                   a to z ending in their number, as a chatty program does;
//                   exit with 122 when a write falls short
//   --stdout-file FILE
//                   write the bytes of FILE to standard output, as a list
//                   program prints its names
//   --cat TAG       copy standard input to standard output, then write TAG
//                   and a newline there, as one program of a pipeline
//   --exit N        exit with code N (default 0)
//
// The record has one item a line. Values are written as LENGTH:BYTES, so a
// value may hold any byte, newlines included:
//   cmdline LENGTH:BYTES     the raw command line (Windows only)
//   wcmdline LENGTH:BYTES    the raw wide command line in UTF-8 (Windows only)
//   arg LENGTH:BYTES         each remaining word, in order
//   cwd LENGTH:BYTES         the current directory
//   env NAME LENGTH:BYTES    or: env NAME unset
//   fd N                     each open descriptor (POSIX only)
//   probe VALUE LENGTH:BYTES or: probe VALUE none
//   stdin STATE              eof, data, blocked, closed or unchecked
//   end                      the record is complete
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "helper_system.h"

namespace quendrix::helper {
namespace {

struct Options {
  std::optional<std::string> recordPath;
  std::vector<std::string> envNames;
  std::vector<std::string> probes;
  bool readStdin = false;
  std::vector<std::string> prints;
  std::optional<std::string> catTag;
  std::optional<std::string> stdoutFile;
  long long stderrBytes = 0;
  int sleepMilliseconds = 0;
  std::optional<int> signalNumber;
  int exitCode = 0;
  // Positions in argv of the two paths of each copy.
  std::vector<std::pair<int, int>> copies;
  std::optional<std::string> pidFile;
  std::optional<std::string> countFile;
  struct WriteSteps {
    std::string file;
    int count = 0;
    int bytes = 0;
    int milliseconds = 0;
  };
  std::optional<WriteSteps> writeSteps;
  std::optional<std::pair<std::string, std::string>> sleeper;
  std::vector<std::string> words;
};

std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  int i = 1;
  auto value = [&](std::string& out) {
    if (i + 1 >= argc) return false;
    out = argv[++i];
    return true;
  };
  for (; i < argc; ++i) {
    const std::string_view option = argv[i];
    std::string text;
    if (option == "--") {
      ++i;
      break;
    } else if (option == "--record" && value(text)) {
      options.recordPath = text;
    } else if (option == "--env" && value(text)) {
      options.envNames.push_back(text);
    } else if (option == "--probe" && value(text)) {
      options.probes.push_back(text);
    } else if (option == "--read-stdin") {
      options.readStdin = true;
    } else if (option == "--print" && value(text)) {
      options.prints.push_back(text);
    } else if (option == "--stdout-file" && value(text)) {
      options.stdoutFile = text;
    } else if (option == "--cat" && value(text)) {
      options.catTag = text;
    } else if (option == "--stderr-bytes" && value(text)) {
      options.stderrBytes = std::atoll(text.c_str());
    } else if (option == "--sleep" && value(text)) {
      options.sleepMilliseconds = std::atoi(text.c_str());
    } else if (option == "--signal" && value(text)) {
      options.signalNumber = std::atoi(text.c_str());
    } else if (option == "--copy" && i + 2 < argc) {
      options.copies.emplace_back(i + 1, i + 2);
      i += 2;
    } else if (option == "--pid-file" && value(text)) {
      options.pidFile = text;
    } else if (option == "--count" && value(text)) {
      options.countFile = text;
    } else if (option == "--write-steps" && value(text)) {
      std::string count, bytes, milliseconds;
      if (!value(count) || !value(bytes) || !value(milliseconds)) return std::nullopt;
      options.writeSteps = Options::WriteSteps{text, std::atoi(count.c_str()),
                                               std::atoi(bytes.c_str()),
                                               std::atoi(milliseconds.c_str())};
    } else if (option == "--start-sleeper" && value(text)) {
      std::string milliseconds;
      if (!value(milliseconds)) return std::nullopt;
      options.sleeper.emplace(text, milliseconds);
    } else if (option == "--exit" && value(text)) {
      options.exitCode = std::atoi(text.c_str());
    } else if (option.substr(0, 2) == "--") {
      return std::nullopt;
    } else {
      break;
    }
  }
  for (; i < argc; ++i) options.words.emplace_back(argv[i]);
  return options;
}

std::string Counted(std::string_view bytes) {
  return std::to_string(bytes.size()) + ":" + std::string(bytes);
}

std::string MakeRecord(const Options& options,
                       const std::vector<std::string>& descriptors) {
  std::string record;
  if (std::optional<std::string> raw = RawCommandLine()) {
    record += "cmdline " + Counted(*raw) + "\n";
  }
  if (std::optional<std::string> wide = WideCommandLine()) {
    record += "wcmdline " + Counted(*wide) + "\n";
  }
  for (const std::string& word : options.words) {
    record += "arg " + Counted(word) + "\n";
  }
  std::error_code error;
  record += "cwd " + Counted(std::filesystem::current_path(error).string()) + "\n";
  for (const std::string& name : options.envNames) {
    const char* value = std::getenv(name.c_str());
    record += "env " + name + " " + (value ? Counted(value) : "unset") + "\n";
  }
  for (const std::string& fd : descriptors) record += "fd " + fd + "\n";
  for (const std::string& probe : options.probes) {
    const std::optional<std::string> read = ProbeReadable(probe);
    record += "probe " + probe + " " + (read ? Counted(*read) : "none") + "\n";
  }
  if (options.readStdin) record += "stdin " + StandardInputState() + "\n";
  record += "end\n";
  return record;
}

bool WriteRecord(const std::string& path, const std::string& record) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
  return std::fclose(file) == 0 && written;
}

// Written under another name and renamed, so that a reader never sees the
// file half written.
bool WriteFileAtOnce(const std::string& path, const std::string& text) {
  const std::string partial = path + ".partial";
  if (!WriteRecord(partial, text)) return false;
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  return !error;
}

bool AppendBytes(const std::string& path, std::size_t count) {
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return false;
  const std::string bytes(count, 'x');
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Numbered lines, so that a test can tell which part of the stream was
// kept: the last line is always "...z <count>". False when a write fell
// short, as on a standard error that refuses to wait for its reader.
bool WriteStandardErrorBytes(long long count) {
  std::string chunk;
  long long line = 0;
  while (count > 0) {
    chunk.clear();
    while (chunk.size() < 65536 && count > static_cast<long long>(chunk.size())) {
      chunk += "abcdefghijklmnopqrstuvwxyz " + std::to_string(++line) + "\n";
    }
    if (static_cast<long long>(chunk.size()) > count) {
      chunk.erase(0, chunk.size() - static_cast<std::size_t>(count));
    }
    if (std::fwrite(chunk.data(), 1, chunk.size(), stderr) != chunk.size()) return false;
    count -= static_cast<long long>(chunk.size());
  }
  return std::fflush(stderr) == 0;
}

int Run(int argc, char** argv) {
  const std::optional<Options> options = Parse(argc, argv);
  if (!options) {
    std::cerr << "quendrix_test_helper: unknown option or missing value\n";
    return 125;
  }
  // The descriptors are listed before the record file is opened, so the
  // list shows only what the program was started with.
  const std::vector<std::string> descriptors = OpenDescriptors();
  if (options->countFile && !AppendBytes(*options->countFile, 1)) return 126;
  if (options->pidFile &&
      !WriteFileAtOnce(*options->pidFile, std::to_string(CurrentProcessId()))) {
    return 126;
  }
  if (options->recordPath &&
      !WriteRecord(*options->recordPath, MakeRecord(*options, descriptors))) {
    return 126;
  }
  for (const auto& [from, to] : options->copies) {
    std::error_code error;
    std::filesystem::copy_file(PathArgument(argc, argv, from),
                               PathArgument(argc, argv, to),
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) return 124;
  }
  if (const auto& steps = options->writeSteps) {
    for (int i = 0; i < steps->count; ++i) {
      if (!AppendBytes(steps->file, static_cast<std::size_t>(steps->bytes))) return 124;
      std::this_thread::sleep_for(std::chrono::milliseconds(steps->milliseconds));
    }
  }
  if (const auto& sleeper = options->sleeper) {
    if (!StartSelf({"--pid-file", sleeper->first, "--sleep", sleeper->second})) return 123;
  }
  if (options->sleepMilliseconds > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(options->sleepMilliseconds));
  }
  for (const std::string& text : options->prints) {
    std::cout << text << std::endl;
    std::cerr << text << std::endl;
  }
  if (options->stdoutFile) {
    std::FILE* file = std::fopen(options->stdoutFile->c_str(), "rb");
    if (file == nullptr) return 120;
    char chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
      if (std::fwrite(chunk, 1, got, stdout) != got) break;
    }
    std::fclose(file);
    std::fflush(stdout);
  }
  if (options->catTag) {
    std::cout << std::cin.rdbuf();
    // An empty input leaves the stream failed; the tag goes out all the same.
    std::cout.clear();
    std::cout << *options->catTag << std::endl;
    if (!std::cout) return 121;
  }
  if (options->stderrBytes > 0 && !WriteStandardErrorBytes(options->stderrBytes)) return 122;
  if (options->signalNumber) EndBySignal(*options->signalNumber);
  return options->exitCode;
}

}  // namespace
}  // namespace quendrix::helper

int main(int argc, char** argv) { return quendrix::helper::Run(argc, argv); }
