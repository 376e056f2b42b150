#include "commands/mc_verbs.h"

#include <CLI/CLI.hpp>

#include "mc/mc_command.h"
#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

class McHelperVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    command_ = app.add_subcommand(
        "mc",
        "serve Midnight Commander as an extfs helper: mc list FILE, "
        "mc copyout FILE MEMBER DEST");
    // Everything after the verb is a name as mc hands it over, so none of it
    // may be taken for an option, not even a member called "--help", nor be
    // passed up to the main command, which would take a member called "list"
    // for its own subcommand.
    command_->prefix_command();
    command_->fallthrough(false);
    return command_;
  }

  int Run(const CommandContext& context) override {
    std::optional<McRequest> request = ParseMcRequest(command_->remaining(), context.err);
    if (!request) return kExitRefused;
    request->file = AbsolutePath(request->file);
    request->destination = AbsolutePath(request->destination);
    const std::optional<PluginClient> plugin = context.LoadPlugin();
    if (!plugin) return kExitRefused;
    return RunMcRequest(*plugin, *request, context.out, context.err);
  }

 private:
  CLI::App* command_ = nullptr;
};

}  // namespace

std::unique_ptr<HostCommand> McCommand() { return std::make_unique<McHelperVerb>(); }

}  // namespace quendrix::host
