#include "commands/mount_verbs.h"

#include <CLI/CLI.hpp>

#include "mount/mount_command.h"
#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

class MountVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand(
        "mount",
        "show SOURCE (a file, or a folder with a NAME# folder beside each file "
        "the rules serve) at MOUNTPOINT as a read-only file system whose "
        "members are made when opened (Linux)");
    command->footer(
        "Members named with a / show in their folders. Why a member cannot be "
        "read, or a NAME# folder opened (its list failed): the mount's log, "
        "$XDG_STATE_HOME/quendrix/mount.log (else "
        "~/.local/state/quendrix/mount.log), and the attribute: "
        "getfattr -n user.quendrix.error MEMBER (or NAME#)");
    command->add_option("SOURCE", request_.source, "the file or folder")->required();
    command->add_option("MOUNTPOINT", request_.mountPoint, "an existing folder")->required();
    command->add_flag("-f,--foreground", request_.foreground,
                      "serve it from this process, logging here too, "
                      "until Ctrl+C or unmount");
    return command;
  }

  int Run(const CommandContext& context) override {
    const std::optional<PluginClient> plugin = context.LoadPlugin();
    if (!plugin) return kExitRefused;
    request_.source = AbsolutePath(request_.source);
    request_.mountPoint = AbsolutePath(request_.mountPoint);
    return RunMount(*plugin, context.pluginPath, request_, context.out, context.err);
  }

 private:
  MountRequest request_;
};

class UnmountVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand("unmount", "unmount a quendrix mount (Linux)");
    command->add_option("MOUNTPOINT", mountPoint_, "where it is mounted")->required();
    return command;
  }

  int Run(const CommandContext& context) override {
    return RunUnmount(AbsolutePath(mountPoint_), context.err);
  }

 private:
  std::string mountPoint_;
};

}  // namespace

std::unique_ptr<HostCommand> MountCommand() { return std::make_unique<MountVerb>(); }

std::unique_ptr<HostCommand> UnmountCommand() { return std::make_unique<UnmountVerb>(); }

}  // namespace quendrix::host
