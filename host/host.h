// The quendrix host as a function, so that it runs the same from main() and
// in-process from the tests, on Linux and under Wine.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "exit_codes.h"

namespace quendrix::host {

// What the host takes from its surroundings rather than from its arguments.
struct HostSettings {
  // Where the plug-in is looked for first when none is named; ends in the
  // path separator.
  std::string executableDirectory;
  // Whether a person watches standard error, so progress is worth showing.
  bool errIsTerminal = false;
  // Whether Ctrl+C was pressed; the platform's answer when empty.
  std::function<bool()> interruptRequested;
};

// Runs the host with `args` (without the program name): the command, its
// arguments and options. Output goes to `out`, messages to `err`. Returns the
// exit code.
int RunHost(const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err, const HostSettings& settings);

// The plug-in the host uses: `named` when given; else the one next to the
// executable when it exists; else $QUENDRIX_PLUGIN when set; else the one
// of the installed layout (../lib/quendrix/ from the executable's folder, on
// Linux) when it exists; else the path next to the executable, which then
// fails to load with a clear message.
std::string ChoosePluginPath(const std::string& named,
                             const std::string& executableDirectory);

}  // namespace quendrix::host
