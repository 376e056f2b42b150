// quendrix: a command-line host for WCX packer plug-ins.
#include <string>
#include <vector>

#include "host.h"
#include "platform/platform.h"
#include "text/standard_text_stream.h"

int main(int argc, char** argv) {
  using namespace quendrix;
  // Every text of the host is UTF-8, so a name no code page can write still
  // reaches the plug-in's wide functions and the console whole.
  const std::vector<std::string> args = platform::ProgramArguments(argc, argv);
  host::HostSettings settings;
  settings.executableDirectory =
      platform::ExecutableDirectory(platform::TextEncoding::kUtf8);
  settings.errIsTerminal = platform::StandardErrorIsTerminal();
  // Ctrl+C stops the member being made through the plug-in's progress
  // callback, and the host ends in order, with its summary.
  platform::CatchInterrupt();
  host::StandardTextStream out(platform::StandardStream::kOutput);
  host::StandardTextStream err(platform::StandardStream::kError);
  return host::RunHost(args, out.stream(), err.stream(), settings);
}
