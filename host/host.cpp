#include "host.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

#include "commands/cache_command.h"
#include "commands/check_command.h"
#include "commands/explain_command.h"
#include "commands/extract_command.h"
#include "commands/list_command.h"
#include "client/member_watch.h"
#include "help/bash_completion.h"
#include "help/command_line.h"
#include "help/options_markdown.h"
#include "mc/mc_command.h"
#include "mount/mount_command.h"
#include "platform/platform.h"
#include "client/plugin_client.h"
#include "commands/probe_command.h"
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

// A path as a file manager hands it to a plug-in: absolute, in the
// platform's own form. The dynamic loader also needs this: a bare file name
// would send it searching the system's library directories.
std::string Absolute(const std::string& path) {
  if (path.empty()) return path;
  std::error_code error;
  const fs::path absolute = fs::absolute(PathOf(path), error);
  return error ? path
               : TextOf(absolute.lexically_normal().make_preferred());
}

std::optional<PluginClient> LoadPlugin(const std::string& path,
                                       std::ostream& err) {
  std::string error;
  std::optional<PluginClient> plugin = PluginClient::Load(path, error);
  if (!plugin) {
    err << "quendrix: cannot load the plug-in " << path << ": " << error
        << "\n(name one with --plugin PATH or the environment variable "
        << kPluginVariable << ")\n";
  }
  return plugin;
}

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

  std::vector<std::string> probeFiles;
  CLI::App* probe =
      app.add_subcommand("probe", "tell which of the files the plug-in takes");
  probe->add_option("FILE", probeFiles, "the files to ask about")->required();

  std::string listFile;
  bool json = false;
  CLI::App* list = app.add_subcommand("list", "list the members of FILE");
  list->add_option("FILE", listFile, "the file to list")->required();
  list->add_flag("--json", json, "print one JSON document, for scripts");

  ExtractRequest extract;
  CLI::App* extractCommand = app.add_subcommand(
      "extract", "make members of FILE, all or those that MEMBER patterns name");
  extractCommand->add_option("FILE", extract.file, "the file to extract from")
      ->required();
  extractCommand->add_option(
      "MEMBER", extract.patterns,
      "members to make; shell-style patterns (* ? [...]) allowed");
  extractCommand
      ->add_option("-C,--directory", extract.directory,
                   "where the members go (default: here)")
      ->type_name("DIR");
  extractCommand->add_flag("--overwrite", extract.overwrite,
                           "replace files that exist (default: keep them)");
  double timeoutSeconds = 0;
  extractCommand
      ->add_option("--timeout", timeoutSeconds,
                   "stop a member whose program runs longer than SECONDS, "
                   "report it as timed out and go on with the next")
      ->type_name("SECONDS")
      ->check(CLI::PositiveNumber);

  std::string explainFile;
  CLI::App* explain = app.add_subcommand(
      "explain",
      "show what quendrix's rules make of FILE; runs nothing, unless --run-list");
  explain->add_option("FILE", explainFile, "the file to explain")->required();
  bool runList = false;
  explain->add_flag("--run-list", runList,
                    "run the section's list program and show which names it gives");

  std::string checkFile;
  CLI::App* check = app.add_subcommand(
      "check",
      "list every problem of a rules file as FILE:LINE: [section] TEXT, without "
      "running anything: programs that are missing, commands that never name "
      "fileout, misspelt placeholders, gaps in the numbering, repeated keys, ...");
  check->add_option("RULES_FILE", checkFile,
                    "the rules file (default: the one the plug-in would take)");

  CacheRequest cacheRequest;
  CLI::App* cacheCommand = app.add_subcommand(
      "cache",
      "show the cache of made members (of sections with Cache=1): its folder, its entries "
      "and their size, and the cap on it; cache clear and cache limit change it");
  cacheCommand->require_subcommand(0, 1);
  std::string clearFile;
  CLI::App* cacheClear = cacheCommand->add_subcommand(
      "clear", "remove every entry of the cache, or the entries of the members of FILE");
  CLI::Option* clearFileOption = cacheClear->add_option(
      "FILE", clearFile, "the file whose members' entries go (it need not exist any more)");
  CLI::App* cacheLimit = cacheCommand->add_subcommand(
      "limit",
      "set the cap on the cache's size, kept in limit.txt in its folder, and trim the cache "
      "to it; default: the smaller of 2 GiB and a tenth of the free space");
  cacheLimit
      ->add_option("SIZE", cacheRequest.size,
                   "bytes, or a number with K, M, G or T (powers of 1024): 500M, 2G; or "
                   "default")
      ->required();

  CLI::App* mc = app.add_subcommand(
      "mc",
      "serve Midnight Commander as an extfs helper: mc list FILE, "
      "mc copyout FILE MEMBER DEST");
  // Everything after the verb is a name as mc hands it over, so none of it
  // may be taken for an option, not even a member called "--help", nor be
  // passed up to the main command, which would take a member called "list"
  // for its own subcommand.
  mc->prefix_command();
  mc->fallthrough(false);

  MountRequest mountRequest;
  CLI::App* mountCommand = app.add_subcommand(
      "mount",
      "show SOURCE (a file, or a folder with a NAME# folder beside each file "
      "the rules serve) at MOUNTPOINT as a read-only file system whose "
      "members are made when opened (Linux)");
  mountCommand->footer(
      "Members named with a / show in their folders. Why a member cannot be "
      "read, or a NAME# folder opened (its list failed): the mount's log, "
      "$XDG_STATE_HOME/quendrix/mount.log (else "
      "~/.local/state/quendrix/mount.log), and the attribute: "
      "getfattr -n user.quendrix.error MEMBER (or NAME#)");
  mountCommand->add_option("SOURCE", mountRequest.source, "the file or folder")
      ->required();
  mountCommand->add_option("MOUNTPOINT", mountRequest.mountPoint,
                           "an existing folder")
      ->required();
  mountCommand->add_flag("-f,--foreground", mountRequest.foreground,
                         "serve it from this process, logging here too, "
                         "until Ctrl+C or unmount");
  std::string unmountPoint;
  CLI::App* unmountCommand =
      app.add_subcommand("unmount", "unmount a quendrix mount (Linux)");
  unmountCommand->add_option("MOUNTPOINT", unmountPoint, "where it is mounted")
      ->required();

  SetupRequest setupRequest;
  CLI::App* setupCommand = app.add_subcommand(
      "setup",
      "register the plug-in with a file manager for every extension of the rules in use: "
      "doublecmd (Double Commander's packer plug-ins, in its doublecmd.xml) or mc "
      "(Midnight Commander's mc.ext.ini); a backup of the file is kept");
  setupCommand->footer(
      "Close Double Commander first: it writes its settings back when it closes. Run it "
      "again after you add a section to the rules. Before a change the file is copied to "
      "FILE.quendrix-backup; --undo takes out what setup added.");
  setupCommand->add_option("HOST", setupRequest.host, "doublecmd or mc")
      ->required()
      ->check(CLI::IsMember({"doublecmd", "mc"}));
  setupCommand->add_flag("--undo", setupRequest.undo,
                         "take out what setup added, and nothing else");
  setupCommand->add_flag("--dry-run", setupRequest.dryRun,
                         "show the change as a diff and write nothing");
  setupCommand
      ->add_option("--config", setupRequest.configFile,
                   "the file to change (default: the doublecmd.xml or mc.ext.ini that the "
                   "file manager reads)")
      ->type_name("FILE");

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

  const std::string pluginPath =
      Absolute(ChoosePluginPath(pluginOption, settings.executableDirectory));
  if (explain->parsed()) {
    return ExplainRules(pluginPath, Absolute(explainFile), out, err, runList);
  }

  if (check->parsed()) {
    return CheckRulesFile(pluginPath, checkFile, out, err);
  }

  if (cacheCommand->parsed()) {
    if (cacheClear->parsed()) {
      cacheRequest.action = CacheRequest::Action::kClear;
      if (clearFileOption->count() > 0) {
        if (clearFile.empty()) {
          err << "quendrix cache clear: FILE is empty (without FILE every entry goes)\n";
          return kExitRefused;
        }
        // The plug-in keeps a member under the path a host opened its file
        // by, which every command makes absolute this way.
        cacheRequest.file = Absolute(clearFile);
      }
    } else if (cacheLimit->parsed()) {
      cacheRequest.action = CacheRequest::Action::kLimit;
    }
    return RunCacheCommand(cacheRequest, out, err);
  }

  if (unmountCommand->parsed()) return RunUnmount(Absolute(unmountPoint), err);

  if (setupCommand->parsed()) {
    setupRequest.configFile = Absolute(setupRequest.configFile);
    return RunSetup(pluginPath, setupRequest, SetupPlaces::Platform(), out, err);
  }

  std::optional<McRequest> mcRequest;
  if (mc->parsed()) {
    mcRequest = ParseMcRequest(mc->remaining(), err);
    if (!mcRequest) return kExitRefused;
    mcRequest->file = Absolute(mcRequest->file);
    mcRequest->destination = Absolute(mcRequest->destination);
  }

  const std::optional<PluginClient> plugin = LoadPlugin(pluginPath, err);
  if (!plugin) return kExitRefused;
  if (mcRequest) return RunMcRequest(*plugin, *mcRequest, out, err);
  if (mountCommand->parsed()) {
    mountRequest.source = Absolute(mountRequest.source);
    mountRequest.mountPoint = Absolute(mountRequest.mountPoint);
    return RunMount(*plugin, pluginPath, mountRequest, out, err);
  }
  if (probe->parsed()) {
    std::vector<std::string> files;
    std::transform(probeFiles.begin(), probeFiles.end(),
                   std::back_inserter(files), Absolute);
    return ProbeFiles(*plugin, files, out);
  }
  if (list->parsed()) {
    return ListMembers(*plugin, Absolute(listFile), out, err,
                       json ? ListFormat::kJson : ListFormat::kTable);
  }
  extract.file = Absolute(extract.file);
  extract.progress = settings.errIsTerminal;
  extract.timeout = std::chrono::milliseconds(
      static_cast<std::int64_t>(std::min(timeoutSeconds, 1e9) * 1000));
  MemberWatch::Instance().SetInterruptSource(settings.interruptRequested);
  return ExtractMembers(*plugin, extract, out, err);
}

}  // namespace quendrix::host
