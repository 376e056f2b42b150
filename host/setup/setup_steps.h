// The steps that `quendrix setup doublecmd` and `quendrix setup mc` share,
// and the two commands, each in a file of its own.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/served_extensions.h"
#include "setup/setup_command.h"

namespace quendrix::host {

// The rules file the plug-in would take, and what it serves.
struct SetupRules {
  std::string path;
  std::string place;  // "the system's", ...
  ServedExtensions served;
};

// Reads the rules of the plug-in at `pluginPath`; nothing, after telling
// `err` why, when there are none, or none that serve an extension.
std::optional<SetupRules> ReadSetupRules(const std::string& pluginPath, std::string_view command,
                                         std::ostream& err);

// "pdf, txt, zip".
std::string JoinedNames(const std::vector<std::string>& names);

// "1 section", "3 sections".
std::string NumberOf(std::size_t count, std::string_view one, std::string_view many);

// Writes one line of the report: the label in a column of its own.
void ReportLine(std::ostream& out, std::string_view label, std::string_view text);

// The rules file, and the sections that serve files but are not registered.
void ReportRules(std::ostream& out, const SetupRules& rules);

// Tells `err` that the file at `path` is left as it is, and why, when it
// cannot be replaced (see WhyNotWritable); false when it can.
bool RefusedAsUnwritable(const std::string& path, std::string_view command, std::ostream& err);

// A change of the file at `path` from `before` (nothing: there is no file
// yet) to `after` (nothing: the file goes). With `dryRun`, shows it as a
// diff and writes nothing; else backs the file up, then writes or removes
// it. Returns the exit code, after telling `err` what went wrong.
struct FileChange {
  std::string path;
  std::optional<std::string> before;
  std::optional<std::string> after;
  // The label of the "before" side of the diff when it is not `path`: the
  // system's file that the user's would be made from.
  std::string beforeLabel;
};
int ApplyFileChange(const FileChange& change, bool dryRun, std::string_view command,
                    std::ostream& out, std::ostream& err);

int SetupDoubleCommander(const std::string& pluginPath, const SetupRequest& request,
                         const SetupPlaces& places, std::ostream& out, std::ostream& err);
int SetupMidnightCommander(const std::string& pluginPath, const SetupRequest& request,
                           const SetupPlaces& places, std::ostream& out, std::ostream& err);

}  // namespace quendrix::host
