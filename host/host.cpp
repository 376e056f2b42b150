#include "host.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "commands/cache_command.h"
#include "commands/check_command.h"
#include "commands/explain_command.h"
#include "commands/extract_command.h"
#include "commands/list_command.h"
#include "commands/mc_verbs.h"
#include "commands/mount_verbs.h"
#include "commands/probe_command.h"
#include "help/bash_completion.h"
#include "help/command_line.h"
#include "help/options_markdown.h"
#include "host_command.h"
#include "platform/platform.h"
#include "setup/setup_command.h"
#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPluginVariable = "QUENDRIX_PLUGIN";

// The plug-in's folder relative to the host's in the installed layout (the
// Debian package's /usr/bin and /usr/lib/quendrix/), so that the packaged
// host needs no option; empty where there is no such layout.
constexpr std::string_view kInstalledPluginDir = QUENDRIX_INSTALLED_PLUGIN_DIR;

}  // namespace

std::string ChoosePluginPath(const std::string& named,
                             const std::string& executableDirectory) {
  if (!named.empty()) return named;
  const std::string beside =
      executableDirectory + std::string(platform::kPluginFileName);
  std::error_code error;
  if (fs::exists(PathOf(beside), error)) return beside;
  const std::string fromEnvironment =
      platform::EnvironmentValue(kPluginVariable, platform::TextEncoding::kUtf8);
  if (!fromEnvironment.empty()) return fromEnvironment;
  if (!kInstalledPluginDir.empty()) {
    const std::string installed = executableDirectory +
                                  std::string(kInstalledPluginDir) +
                                  std::string(platform::kPluginFileName);
    if (fs::exists(PathOf(installed), error)) return installed;
  }
  return beside;
}

std::optional<PluginClient> CommandContext::LoadPlugin() const {
  std::string error;
  std::optional<PluginClient> plugin = PluginClient::Load(pluginPath, error);
  if (!plugin) {
    err << "quendrix: cannot load the plug-in " << pluginPath << ": " << error
        << "\n(name one with --plugin PATH or the environment variable "
        << kPluginVariable << ")\n";
  }
  return plugin;
}

int RunHost(const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err, const HostSettings& settings) {
  CLI::App app{
      "quendrix: drives a WCX packer plug-in from the command line.\n"
      "Exit codes: 0 done, 1 some member failed (check and explain: the rules "
      "have a problem), 2 usage error, no rules file or the file refused, 130 "
      "stopped by Ctrl+C.",
      "quendrix"};
  app.require_subcommand(1);
  app.fallthrough();
  app.set_version_flag("--version", "quendrix " QUENDRIX_VERSION);
  std::string pluginOption;
  app.add_option("--plugin", pluginOption,
                 std::string("the plug-in to load (default: ") +
                     std::string(platform::kPluginFileName) +
                     " next to quendrix, then $" + kPluginVariable +
                     (kInstalledPluginDir.empty()
                          ? std::string()
                          : ", then the installed one in " +
                                std::string(kInstalledPluginDir)) +
                     ")")
      ->type_name("PATH");

  // Every command, in the order --help lists them; each adds its own
  // options and runs itself.
  const std::unique_ptr<HostCommand> commands[] = {
      ProbeCommand(),   ListCommand(),  ExtractCommand(), ExplainCommand(),
      CheckCommand(),   CacheCommand(), McCommand(),      MountCommand(),
      UnmountCommand(), SetupCommand()};
  std::vector<CLI::App*> parsers;
  for (const std::unique_ptr<HostCommand>& command : commands) {
    parsers.push_back(command->AddTo(app));
  }

  // The shell completion and the manual's list of commands and options are
  // read from this parser once it holds every command, so that neither
  // misses one; --help does not show these two options (an empty group).
  app.add_option_function<std::string>(
         "--completion",
         [&app, &out](const std::string&) {
           WriteBashCompletion(DescribeCommandLine(app), out);
           throw CLI::Success();
         },
         "print the bash completion script")
      ->check(CLI::IsMember({"bash"}))
      ->group("");
  app.add_flag_function(
         "--options-markdown",
         [&app, &out](std::int64_t) {
           WriteOptionsMarkdown(DescribeCommandLine(app), out);
           throw CLI::Success();
         },
         "print the commands and options as Markdown, for the manual page")
      ->group("");

  try {
    // CLI11 takes the arguments from the last to the first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? kExitDone : kExitRefused;
  }

  const CommandContext context{
      out, err, settings,
      AbsolutePath(ChoosePluginPath(pluginOption, settings.executableDirectory))};
  for (std::size_t i = 0; i < parsers.size(); ++i) {
    if (parsers[i]->parsed()) return commands[i]->Run(context);
  }
  return kExitRefused;
}

}  // namespace quendrix::host
