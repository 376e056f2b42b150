#include "commands/check_command.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>

#include "check/check_services.h"
#include "check/rules_check.h"
#include "cache/member_keys.h"
#include "commands/rules_in_use.h"

namespace quendrix::host {
namespace {

std::string Counted(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace

int CheckRulesFile(const std::string& pluginPath, const std::string& rulesFile,
                   std::ostream& out, std::ostream& err) {
  const std::string pluginDir = PluginDirectoryOf(pluginPath);
  std::string path = rulesFile;
  if (path.empty()) {
    const RulesInUse found = FindRulesInUse(pluginDir, HostLookupServices());
    if (!found.choice) {
      err << "quendrix: there is no rules file in any of these places:\n";
      ListPlacesLookedAt(found.folders, err);
      return kExitRefused;
    }
    path = found.choice->rulesPath;
  }
  std::string why;
  std::optional<std::string> bytes = ReadRulesBytes(path, why);
  if (!bytes) {
    err << "quendrix: cannot read the rules file " << path << ": " << why << "\n";
    return kExitRefused;
  }

  const RulesCheck check =
      CheckRules(std::move(*bytes), CheckServices::Platform(pluginDir));
  for (const RuleProblem& problem : check.problems) {
    out << path << ":" << problem.line << ": [" << problem.section << "] " << problem.text
        << "\n";
  }
  out << path << ": " << Counted(check.sections, "section", "sections") << ", "
      << Counted(check.members, "member", "members") << ", "
      << (check.problems.empty() ? std::string("no problems")
                                 : Counted(check.problems.size(), "problem", "problems"))
      << "\n";
  return check.problems.empty() ? kExitDone : kExitMemberFailed;
}


namespace {

class CheckVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand(
        "check",
        "list every problem of a rules file as FILE:LINE: [section] TEXT, without "
        "running anything: programs that are missing, commands that never name "
        "fileout, misspelt placeholders, gaps in the numbering, repeated keys, ...");
    command->add_option("RULES_FILE", rulesFile_,
                        "the rules file (default: the one the plug-in would take)");
    return command;
  }

  int Run(const CommandContext& context) override {
    return CheckRulesFile(context.pluginPath, rulesFile_, context.out, context.err);
  }

 private:
  std::string rulesFile_;
};

}  // namespace

std::unique_ptr<HostCommand> CheckCommand() { return std::make_unique<CheckVerb>(); }

}  // namespace quendrix::host
