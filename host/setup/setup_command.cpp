#include "setup/setup_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

#include "cache/member_keys.h"
#include "commands/rules_in_use.h"
#include "exit_codes.h"
#include "setup/config_file.h"
#include "setup/line_diff.h"
#include "setup/setup_steps.h"
#include "text/utf8_path.h"

namespace quendrix::host {

std::optional<SetupRules> ReadSetupRules(const std::string& pluginPath, std::string_view command,
                                         std::ostream& err) {
  const RulesInUse found = FindRulesInUse(PluginDirectoryOf(pluginPath), HostLookupServices());
  if (!found.choice) {
    err << "quendrix " << command
        << ": there is no rules file to take the extensions from; the plug-in looks in these "
           "places:\n";
    ListPlacesLookedAt(found.folders, err);
    return std::nullopt;
  }
  SetupRules rules;
  rules.path = found.choice->rulesPath;
  rules.place = PlaceName(found.choice->place);
  std::string why;
  std::optional<std::string> bytes = ReadRulesBytes(rules.path, why);
  if (!bytes) {
    err << "quendrix " << command << ": cannot read the rules file " << rules.path << ": " << why
        << "\n";
    return std::nullopt;
  }
  rules.served = ServedExtensionsOf(std::move(*bytes));
  if (rules.served.extensions.empty()) {
    err << "quendrix " << command << ": the rules file " << rules.path
        << " serves no extension that a file manager can take (no section has command1 or "
           "list=); quendrix check "
        << rules.path << " tells what is wrong with it\n";
    return std::nullopt;
  }
  return rules;
}

std::string JoinedNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += ", ";
    joined += name;
  }
  return joined;
}

std::string NumberOf(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

void ReportLine(std::ostream& out, std::string_view label, std::string_view text) {
  std::string column(label);
  column.resize(std::max<std::size_t>(column.size() + 1, 12), ' ');
  out << column << text << "\n";
}

void ReportRules(std::ostream& out, const SetupRules& rules) {
  ReportLine(out, "rules file", rules.path + " (" + rules.place + ")");
  for (const UnregistrableSection& section : rules.served.unregistrable) {
    ReportLine(out, "left out", "[" + section.name + "]: " + section.why);
  }
}

bool RefusedAsUnwritable(const std::string& path, std::string_view command, std::ostream& err) {
  const std::optional<std::string> why = WhyNotWritable(path);
  if (!why) return false;
  err << "quendrix " << command << ": " << path << " is left as it is: " << *why << "\n";
  return true;
}

int ApplyFileChange(const FileChange& change, bool dryRun, std::string_view command,
                    std::ostream& out, std::ostream& err) {
  if (dryRun) {
    const std::string& beforeLabel = change.beforeLabel.empty() ? change.path : change.beforeLabel;
    out << "\n"
        << UnifiedDiff(change.before.value_or(""), change.after.value_or(""),
                       change.before ? beforeLabel : "/dev/null",
                       change.after ? change.path : "/dev/null")
        << "\nnothing was written (--dry-run)\n";
    return kExitDone;
  }
  std::string why;
  if (PathExists(change.path)) {
    if (!BackUp(change.path, why)) {
      err << "quendrix " << command << ": " << change.path << " is left as it is: " << why
          << "\n";
      return kExitRefused;
    }
    ReportLine(out, "backup", BackupPathOf(change.path) + " (the file as it was)");
  }
  const bool done = change.after ? WriteConfigFile(change.path, *change.after, why)
                                 : RemoveConfigFile(change.path, why);
  if (!done) {
    err << "quendrix " << command << ": " << change.path << " cannot be "
        << (change.after ? "written" : "removed") << ", and is left as it was: " << why << "\n";
    return kExitRefused;
  }
  return kExitDone;
}

int RunSetup(const std::string& pluginPath, const SetupRequest& request,
             const SetupPlaces& places, std::ostream& out, std::ostream& err) {
  if (request.host == "doublecmd") {
    return SetupDoubleCommander(pluginPath, request, places, out, err);
  }
  return SetupMidnightCommander(pluginPath, request, places, out, err);
}

namespace {

class SetupVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand(
        "setup",
        "register the plug-in with a file manager for every extension of the rules in use: "
        "doublecmd (Double Commander's packer plug-ins, in its doublecmd.xml) or mc "
        "(Midnight Commander's mc.ext.ini); a backup of the file is kept");
    command->footer(
        "Close Double Commander first: it writes its settings back when it closes. Run it "
        "again after you add a section to the rules. Before a change the file is copied to "
        "FILE.quendrix-backup; --undo takes out what setup added.");
    command->add_option("HOST", request_.host, "doublecmd or mc")
        ->required()
        ->check(CLI::IsMember({"doublecmd", "mc"}));
    command->add_flag("--undo", request_.undo, "take out what setup added, and nothing else");
    command->add_flag("--dry-run", request_.dryRun, "show the change as a diff and write nothing");
    command
        ->add_option("--config", request_.configFile,
                     "the file to change (default: the doublecmd.xml or mc.ext.ini that the "
                     "file manager reads)")
        ->type_name("FILE");
    return command;
  }

  int Run(const CommandContext& context) override {
    request_.configFile = AbsolutePath(request_.configFile);
    return RunSetup(context.pluginPath, request_, SetupPlaces::Platform(), context.out,
                    context.err);
  }

 private:
  SetupRequest request_;
};

}  // namespace

std::unique_ptr<HostCommand> SetupCommand() { return std::make_unique<SetupVerb>(); }

}  // namespace quendrix::host
