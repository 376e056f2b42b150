// One command of `quendrix`: it adds itself, with its options and
// arguments, to the host's parser, and runs itself once the parser has
// chosen it. RunHost (host.cpp) only gathers the commands, in the order
// --help lists them, so that a new command is a file of its own that
// declares and runs it, and a line in that list.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "client/plugin_client.h"
#include "host.h"

namespace CLI {
class App;
}  // namespace CLI

namespace quendrix::host {

// What a command has to work with when it runs.
struct CommandContext {
  std::ostream& out;
  std::ostream& err;
  const HostSettings& settings;
  // The plug-in to use (--plugin, else ChoosePluginPath's choice), absolute.
  std::string pluginPath;

  // The plug-in at pluginPath, loaded; nothing when it cannot be loaded,
  // which is told on `err` with the ways to name another.
  std::optional<PluginClient> LoadPlugin() const;
};

class HostCommand {
 public:
  virtual ~HostCommand() = default;

  // Adds the command to `app` with its options and arguments, bound to
  // this object, which the parse fills; gives the command's own parser.
  virtual CLI::App* AddTo(CLI::App& app) = 0;

  // Runs the command, once the parse has chosen it; the exit code.
  virtual int Run(const CommandContext& context) = 0;
};

}  // namespace quendrix::host
