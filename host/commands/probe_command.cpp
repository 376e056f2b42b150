#include "commands/probe_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iterator>
#include <ostream>

#include "client/archive_session.h"
#include "text/utf8_path.h"

namespace quendrix::host {

int ProbeFiles(const PluginClient& plugin, const std::vector<std::string>& files,
               std::ostream& out) {
  int status = kExitDone;
  for (const std::string& file : files) {
    const bool taken = PluginTakes(plugin, file);
    out << (taken ? "taken    " : "refused  ") << file << "\n";
    if (!taken) status = kExitRefused;
  }
  return status;
}

namespace {

class ProbeVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand("probe", "tell which of the files the plug-in takes");
    command->add_option("FILE", files_, "the files to ask about")->required();
    return command;
  }

  int Run(const CommandContext& context) override {
    const std::optional<PluginClient> plugin = context.LoadPlugin();
    if (!plugin) return kExitRefused;
    std::vector<std::string> files;
    std::transform(files_.begin(), files_.end(), std::back_inserter(files), AbsolutePath);
    return ProbeFiles(*plugin, files, context.out);
  }

 private:
  std::vector<std::string> files_;
};

}  // namespace

std::unique_ptr<HostCommand> ProbeCommand() { return std::make_unique<ProbeVerb>(); }

}  // namespace quendrix::host
