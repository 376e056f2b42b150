// quendrix setup doublecmd: one packer (WCX) plug-in entry in Double
// Commander's settings per extension of the rules.
#include <ostream>

#include "commands/rules_in_use.h"
#include "exit_codes.h"
#include "interface/packer_caps.h"
#include "setup/config_file.h"
#include "setup/doublecmd_xml.h"
#include "setup/setup_steps.h"

namespace quendrix::host {
namespace {

constexpr std::string_view kDoubleCmdCommand = "setup doublecmd";

// Double Commander reads its settings when it starts and writes all of them
// back when it closes, over any change made meanwhile.
bool DoubleCommanderRuns(const SetupPlaces& places, const std::string& settings) {
  return places.doubleCommanderRunning && places.doubleCommanderRunning(settings);
}

bool RefusedWhileRunning(const SetupPlaces& places, const std::string& settings,
                         std::ostream& err) {
  if (!DoubleCommanderRuns(places, settings)) return false;
  err << "quendrix " << kDoubleCmdCommand
      << ": Double Commander is running, and it writes its settings back when it closes, "
         "which would undo the change: close Double Commander (every window of it), then run "
         "this again\n";
  return true;
}

}  // namespace

int SetupDoubleCommander(const std::string& pluginPath, const SetupRequest& request,
                         const SetupPlaces& places, std::ostream& out, std::ostream& err) {
  const std::string settings =
      request.configFile.empty() ? places.doubleCommanderSettings : request.configFile;
  if (settings.empty()) {
    err << "quendrix " << kDoubleCmdCommand
        << ": where Double Commander keeps its settings is not known here: name its "
           "doublecmd.xml with --config FILE\n";
    return kExitRefused;
  }

  std::optional<SetupRules> rules;
  if (!request.undo) {
    if (!PathExists(pluginPath)) {
      err << "quendrix " << kDoubleCmdCommand << ": there is no plug-in at " << pluginPath
          << " to register: name it with --plugin PATH\n";
      return kExitRefused;
    }
    rules = ReadSetupRules(pluginPath, kDoubleCmdCommand, err);
    if (!rules) return kExitRefused;
  }

  std::string why;
  const std::optional<std::string> before = ReadRulesBytes(settings, why);
  if (!before) {
    if (request.undo && !PathExists(settings)) {
      out << "nothing to undo: there is no " << settings << "\n";
      return kExitDone;
    }
    if (!PathExists(settings)) {
      // A file made here would hold only quendrix's entries, and Double
      // Commander, finding a list of packers, would load no others: its
      // own for zip, tar, deb, rpm and the rest would be gone.
      err << "quendrix " << kDoubleCmdCommand << ": there is no " << settings
          << ": Double Commander writes its settings when it closes for the first time. Start "
             "Double Commander once, close it, and run this again. (A portable Double Commander "
             "keeps doublecmd.xml beside itself: name it with --config FILE.)\n";
    } else {
      err << "quendrix " << kDoubleCmdCommand << ": cannot read " << settings << ": " << why
          << "\n";
    }
    return kExitRefused;
  }

  // The backup is the file before setup last changed it: what setup made to
  // hold its entries goes with them when that gives it back exactly.
  const std::optional<std::string> backup =
      request.undo ? ReadRulesBytes(BackupPathOf(settings), why) : std::nullopt;
  const DoubleCmdEdit edit =
      request.undo ? RemovePackerEntries(*before, pluginPath, backup)
                   : AddPackerEntries(*before, pluginPath, rules->served.extensions, kPackerCaps);
  if (!edit.error.empty()) {
    err << "quendrix " << kDoubleCmdCommand << ": " << settings
        << " is left as it is: " << edit.error << "\n";
    return kExitRefused;
  }

  const bool changes = request.undo ? !edit.removed.empty() : !edit.added.empty();
  if (changes && RefusedAsUnwritable(settings, kDoubleCmdCommand, err)) return kExitRefused;
  if (changes && !request.dryRun && RefusedWhileRunning(places, settings, err)) return kExitRefused;

  ReportLine(out, "settings", settings);
  if (rules) ReportRules(out, *rules);
  ReportLine(out, "plug-in", pluginPath);
  if (request.undo) {
    if (edit.removed.empty()) {
      out << "nothing to undo: no packer entry points at " << pluginPath << "\n";
      return kExitDone;
    }
    ReportLine(out, request.dryRun ? "would remove" : "removed",
               JoinedNames(edit.removed) + " (" +
                   NumberOf(edit.removed.size(), "packer entry", "packer entries") +
                   " of the plug-in)");
  } else {
    if (!edit.present.empty()) ReportLine(out, "registered", JoinedNames(edit.present));
    if (edit.added.empty()) {
      out << "nothing to change: the plug-in is registered for every extension of the rules\n";
      return kExitDone;
    }
    ReportLine(out, request.dryRun ? "would add" : "added",
               JoinedNames(edit.added) + " (" +
                   NumberOf(edit.added.size(), "packer entry", "packer entries") +
                   " with flags " + std::to_string(kPackerCaps) + ")");
  }

  if (request.dryRun && DoubleCommanderRuns(places, settings)) {
    out << "Double Commander is running: close it before you run this without --dry-run, or "
           "it writes its settings back over the change\n";
  }
  const int code = ApplyFileChange({settings, before, edit.text, {}}, request.dryRun,
                                   kDoubleCmdCommand, out, err);
  if (code != kExitDone || request.dryRun) return code;
  if (request.undo) {
    out << "Double Commander no longer offers the plug-in for these extensions.\n";
  } else {
    out << "In Double Commander, Ctrl+PgDn on a file of these kinds shows its members "
           "(Enter still opens the file as before).\n";
  }
  return kExitDone;
}

}  // namespace quendrix::host
