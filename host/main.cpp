// quendrix: a command-line host for WCX packer plug-ins.
#include <iostream>
#include <string>
#include <vector>

#include "host.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  using namespace quendrix;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  host::HostSettings settings;
  settings.executableDirectory = platform::ExecutableDirectory();
  settings.errIsTerminal = platform::StandardErrorIsTerminal();
  // Ctrl+C stops the member being made through the plug-in's progress
  // callback, and the host ends in order, with its summary.
  platform::CatchInterrupt();
  return host::RunHost(args, std::cout, std::cerr, settings);
}
