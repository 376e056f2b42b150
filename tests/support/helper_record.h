// The test helper program (tests/helper/) as the tests start it, and the
// record it leaves behind.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quendrix::testing {

// The helper built next to the test program.
std::string HelperPath();

// `words` joined into a command line that the platform's runner splits back
// into exactly these words; the first word is the program.
std::string CommandLineOf(const std::vector<std::string>& words);

// The helper's path followed by `words`, as one command line.
std::string HelperCommandLine(const std::vector<std::string>& words);

struct HelperRecord {
  std::optional<std::string> commandLine;
  // The wide command line in UTF-8 (Windows only).
  std::optional<std::string> wideCommandLine;
  std::vector<std::string> args;
  std::string cwd;
  // Value of each variable asked for; nothing when it was unset.
  std::map<std::string, std::optional<std::string>> env;
  std::vector<int> descriptors;
  // What each probed descriptor or handle read; nothing when it was closed.
  std::map<std::string, std::optional<std::string>> probes;
  std::string stdinState;
};

// The record at `path`; nothing when it is missing, malformed or incomplete.
std::optional<HelperRecord> ReadHelperRecord(const std::string& path);

}  // namespace quendrix::testing
