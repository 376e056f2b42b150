// quendrix setup mc: one section per extension of the rules at the top of
// the user's mc.ext.ini, which opens the file through the uquendrix helper.
#include <filesystem>
#include <ostream>

#include "commands/rules_in_use.h"
#include "exit_codes.h"
#include "platform/platform.h"
#include "setup/config_file.h"
#include "setup/mc_ext_ini.h"
#include "setup/setup_steps.h"
#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

constexpr std::string_view kMcCommand = "setup mc";
constexpr std::string_view kHelperName = "uquendrix";

// The user's file, or mc's own to start it from, and which of them it is.
struct McStart {
  std::optional<std::string> bytes;  // of the user's file; nothing when there is none
  std::string base;                  // what the block goes into
  std::string madeFrom;              // mc's own file the base came from, if it did
};

std::optional<McStart> ReadMcStart(const std::string& userFile, const SetupPlaces& places,
                                   std::ostream& err) {
  McStart start;
  std::string why;
  start.bytes = ReadRulesBytes(userFile, why);
  if (start.bytes) {
    start.base = *start.bytes;
    return start;
  }
  if (PathExists(userFile)) {
    err << "quendrix " << kMcCommand << ": cannot read " << userFile << ": " << why << "\n";
    return std::nullopt;
  }
  // mc reads the user's file instead of its own, so the user's starts as a
  // copy of mc's own, which keeps every other file type as mc opens it.
  for (const std::string& system : places.mcSystemFiles) {
    if (std::optional<std::string> bytes = ReadRulesBytes(system, why)) {
      start.base = std::move(*bytes);
      start.madeFrom = system;
      return start;
    }
  }
  err << "quendrix " << kMcCommand << ": there is no " << userFile
      << ", nor an extension file of mc's own to start it from";
  for (const std::string& system : places.mcSystemFiles) err << " (" << system << ")";
  err << ": is Midnight Commander installed? (Name the file with --config FILE.)\n";
  return std::nullopt;
}

// What keeps Enter from working after the change: mc finds no helper, or
// the helper finds no quendrix (it runs $QUENDRIX, else quendrix on the
// PATH).
void ReportMissingHelper(const SetupPlaces& places, std::ostream& out) {
  bool helperFound = false;
  std::error_code error;
  for (const std::string& folder : places.mcHelperFolders) {
    helperFound = helperFound ||
                  std::filesystem::exists(PathOf(folder) / std::string(kHelperName), error);
  }
  if (!helperFound) {
    out << "note: mc finds no " << kHelperName << " helper in";
    for (const std::string& folder : places.mcHelperFolders) out << " " << folder;
    out << "; from the portable folder, install it: install -D -m 755 mc/" << kHelperName
        << " ~/.local/share/mc/extfs.d/" << kHelperName << "\n";
  }
  if (platform::EnvironmentValue("QUENDRIX").empty() &&
      !platform::FindProgramOnPath("quendrix")) {
    out << "note: " << kHelperName
        << " runs quendrix from the PATH, where there is none: put it there, or set QUENDRIX "
           "to its path in mc's environment\n";
  }
}

int UndoMc(const std::string& userFile, const SetupRequest& request, std::ostream& out,
           std::ostream& err) {
  std::string why;
  const std::optional<std::string> before = ReadRulesBytes(userFile, why);
  if (!before) {
    if (!PathExists(userFile)) {
      out << "nothing to undo: there is no " << userFile << "\n";
      return kExitDone;
    }
    err << "quendrix " << kMcCommand << ": cannot read " << userFile << ": " << why << "\n";
    return kExitRefused;
  }
  const McEdit edit = RemoveMcBlock(*before);
  if (!edit.error.empty()) {
    err << "quendrix " << kMcCommand << ": " << userFile << " is left as it is: " << edit.error
        << "\n";
    return kExitRefused;
  }
  ReportLine(out, "mc.ext.ini", userFile);
  if (edit.text == *before) {
    out << "nothing to undo: it holds no block of quendrix setup mc\n";
    return kExitDone;
  }
  if (RefusedAsUnwritable(userFile, kMcCommand, err)) return kExitRefused;
  ReportLine(out, request.dryRun ? "would remove" : "removed",
             JoinedNames(edit.removed) + " (" +
                 NumberOf(edit.removed.size(), "section", "sections") + ")");
  // A file that the setup made from mc's own, and that is that file again,
  // goes: mc then reads its own again, with the updates its package brings.
  std::optional<std::string> after = edit.text;
  if (!edit.madeFrom.empty() && ReadRulesBytes(edit.madeFrom, why) == edit.text) {
    ReportLine(out, request.dryRun ? "would remove" : "removed",
               "the file itself: quendrix setup mc made it from " + edit.madeFrom +
                   ", which mc reads again without it");
    after.reset();
  }
  const int code =
      ApplyFileChange({userFile, before, after, {}}, request.dryRun, kMcCommand, out, err);
  if (code == kExitDone && !request.dryRun) {
    out << "A running mc reads the change after F9, Command, Edit extension file (leave the "
           "editor), or when it starts again.\n";
  }
  return code;
}

}  // namespace

int SetupMidnightCommander(const std::string& pluginPath, const SetupRequest& request,
                           const SetupPlaces& places, std::ostream& out, std::ostream& err) {
  const std::string userFile = request.configFile.empty() ? places.mcUserFile : request.configFile;
  if (userFile.empty()) {
    err << "quendrix " << kMcCommand
        << ": where mc keeps your mc.ext.ini is not known here: name it with --config FILE\n";
    return kExitRefused;
  }
  if (request.undo) return UndoMc(userFile, request, out, err);

  const std::optional<SetupRules> rules = ReadSetupRules(pluginPath, kMcCommand, err);
  if (!rules) return kExitRefused;
  const std::optional<McStart> start = ReadMcStart(userFile, places, err);
  if (!start) return kExitRefused;
  const McEdit edit = AddMcBlock(start->base, rules->served.extensions, start->madeFrom);
  if (!edit.error.empty()) {
    err << "quendrix " << kMcCommand << ": "
        << (start->madeFrom.empty() ? userFile : start->madeFrom)
        << " is left as it is: " << edit.error << "\n";
    return kExitRefused;
  }

  ReportLine(out, "mc.ext.ini",
             userFile + (start->madeFrom.empty()
                             ? std::string()
                             : " (made from " + start->madeFrom + ", as there is none yet)"));
  ReportRules(out, *rules);
  if (start->bytes && edit.text == *start->bytes) {
    out << "nothing to change: it opens every extension of the rules through " << kHelperName
        << "\n";
    ReportMissingHelper(places, out);
    return kExitDone;
  }
  if (RefusedAsUnwritable(userFile, kMcCommand, err)) return kExitRefused;
  if (!edit.added.empty()) {
    ReportLine(out, request.dryRun ? "would add" : "added",
               JoinedNames(edit.added) + " (" +
                   NumberOf(edit.added.size(), "section", "sections") + ")");
  }
  if (!edit.removed.empty()) {
    ReportLine(out, request.dryRun ? "would remove" : "removed",
               JoinedNames(edit.removed) + " (no longer in the rules)");
  }
  const int code = ApplyFileChange({userFile, start->base, edit.text, start->madeFrom},
                                   request.dryRun, kMcCommand, out, err);
  if (code != kExitDone) return code;
  ReportMissingHelper(places, out);
  if (!request.dryRun) {
    out << "In mc, Enter on a file of these kinds opens it as the folder of its members; F3 and "
           "F4 show the file itself, as mc takes the first section that matches a file. A "
           "running mc reads the change after F9, Command, Edit extension file (leave the "
           "editor), or when it starts again.\n";
  }
  return kExitDone;
}

}  // namespace quendrix::host
