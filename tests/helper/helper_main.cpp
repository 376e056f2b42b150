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
  int sleepMilliseconds = 0;
  std::optional<int> signalNumber;
  int exitCode = 0;
  // Positions in argv of the two paths of each copy.
  std::vector<std::pair<int, int>> copies;
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
    } else if (option == "--sleep" && value(text)) {
      options.sleepMilliseconds = std::atoi(text.c_str());
    } else if (option == "--signal" && value(text)) {
      options.signalNumber = std::atoi(text.c_str());
    } else if (option == "--copy" && i + 2 < argc) {
      options.copies.emplace_back(i + 1, i + 2);
      i += 2;
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

int Run(int argc, char** argv) {
  const std::optional<Options> options = Parse(argc, argv);
  if (!options) {
    std::cerr << "quendrix_test_helper: unknown option or missing value\n";
    return 125;
  }
  // The descriptors are listed before the record file is opened, so the
  // list shows only what the program was started with.
  const std::vector<std::string> descriptors = OpenDescriptors();
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
  if (options->sleepMilliseconds > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(options->sleepMilliseconds));
  }
  for (const std::string& text : options->prints) {
    std::cout << text << std::endl;
    std::cerr << text << std::endl;
  }
  if (options->signalNumber) EndBySignal(*options->signalNumber);
  return options->exitCode;
}

}  // namespace
}  // namespace quendrix::helper

int main(int argc, char** argv) { return quendrix::helper::Run(argc, argv); }
