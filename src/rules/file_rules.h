// The rules that apply to one file: which rules file is taken, the section
// that serves the file with its settings and its members' entries, and the
// one entry that makes a given member. The plug-in's open and probe, and
// the host's explain, mount and cache keys, all find a file's rules here,
// so that each of them sees the same rules file, the same section, the
// same commands and so the same keys of kept members.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "rules/archive_name.h"
#include "rules/entry.h"
#include "rules/environment_tokens.h"
#include "rules/expand.h"
#include "rules/lookup.h"
#include "rules/rules_places.h"
#include "rules/rules_source.h"

namespace quendrix {

// What a look at a file's rules asks of the operating system, for text in
// one encoding, as functions: the lookup itself stays pure logic. The
// plug-in hands in the platform's own (they are the first part of its
// services), the host those of the plug-in's wide side, tests and fuzzers
// their own where the real ones would hide a fault or get in the way.
struct LookupServices {
  platform::PathStyle pathStyle = platform::kPathStyle;
  // Opens the rules file at the given path for one lookup.
  std::function<std::unique_ptr<RulesSource>(const std::string&)> openRules;
  // Whether something other than a folder is at the given path, and the
  // value of a variable that names a folder: together they choose among
  // the places a rules file may lie (rules/rules_places.h). Without
  // `rulesFolderVariable` only the plug-in's folder is looked at; without
  // `fileExists` its file is taken unasked.
  std::function<bool(const std::string&)> fileExists;
  EnvironmentLookup rulesFolderVariable;
  // The value of an environment variable of the process, read at lookup:
  // the %NAME% tokens of the commands.
  EnvironmentLookup environment;
  // The platform's short form of a path; empty when it has none.
  ShortPathLookup shortPathOf;
  // Whether a program file (one the system can start) is at a path, and
  // the full path of the first program of a bare name on the system's
  // search path: where the programs of the commands are found
  // (extract/program_lookup.h). Without `isProgram` commands run as
  // written.
  std::function<bool(const std::string&)> isProgram;
  std::function<std::optional<std::string>(const std::string&)> searchPath;

  // The platform's own, taking and giving text in `encoding`.
  static LookupServices Platform(
      platform::TextEncoding encoding = platform::TextEncoding::kSystem);
};

// The places the plug-in whose folder is `pluginDir` (ending in its
// separator) looks at for its rules file, in order, and the first that
// holds one (`choice`; nothing when none does).
struct RulesInUse {
  std::vector<RulesFolder> folders;
  std::optional<RulesChoice> choice;
};
RulesInUse FindRulesInUse(std::string_view pluginDir, const LookupServices& services);

// What the rules apply to one file.
struct FileRules {
  // How the file's path and the commands' paths are written.
  platform::PathStyle pathStyle = platform::kPathStyle;
  // The file's name without its folder and last extension, and the
  // extension, which names the section; a name without a dot has an empty
  // extension, which no section serves.
  ArchiveName name;
  // The rules file read, and where the log of the file's extractions goes.
  RulesChoice rulesFile;
  // The section's settings: log, ShortFileName, ShowConsole,
  // IgnoreExitCode, Cache and Package.
  RuleSettings settings;
  // The numbered members, from 1, each with its command expanded for this
  // file.
  EntryTable entryTable;
  // The section read (after its synonym), its raw command1 and its list=
  // with extract=.
  LookupResult section;

  // Whether the rules serve the file: its section has command1 or list=.
  bool Serves() const { return section.Serves(); }
};

// The rules that apply to the file at `path` (written as a host hands it to
// the plug-in) under the plug-in whose folder is `pluginDir`: the rules file
// of the first place that holds one, and its section for the file's
// extension. The place is chosen afresh at each lookup, as the rules are
// read, so a rules file put in place or removed counts from the next one.
// Nothing when no place holds a rules file.
std::optional<FileRules> LookUpFileRules(const std::string& path, std::string_view pluginDir,
                                         const LookupServices& services);

// The same, from the rules file chosen already (`explain`, which shows the
// places it looked at, reads the one it names).
FileRules FileRulesIn(const RulesChoice& rulesFile, const std::string& path,
                      std::string_view pluginDir, const LookupServices& services);

// What the expansion of the rules' templates fills in for the file at
// `path`, named `name`, under the plug-in whose folder is `pluginDir`. The
// context keeps views of the arguments and of the services' functions.
ExpansionContext ExpansionContextOf(std::string_view path, const ArchiveName& name,
                                    std::string_view pluginDir,
                                    const LookupServices& services);

// The entry that makes a member of a file under `rules`, and why it cannot
// make it.
struct MemberEntry {
  // Nothing when the file has no such member.
  std::optional<Entry> entry;
  // Why the entry cannot make its member (a listed member of a section
  // without extract=); empty when it can.
  std::string whyNot;

  bool CanMake() const { return entry.has_value() && whyNot.empty(); }
};

// The entry of member `number` of a file's list, in which the numbered
// members come first (from 1) and the listed ones after them: a numbered
// one as the lookup stored it (0 is the table's blank entry 0, which stands
// before the first member), a listed one, named `listedName`, made by the
// section's extract= with its name in place of [M]; a listed member of a
// section without extract= gets an entry without a command, and why.
MemberEntry EntryOfMember(const FileRules& rules, std::int32_t number,
                          std::string_view listedName);

// The number of the member that a host that makes `name` gets: the first
// numbered member of that name, else the listed member of that name, which
// stands after every numbered one (the table's upper bound plus one).
std::int32_t NumberOfMemberNamed(const FileRules& rules, std::string_view name);

}  // namespace quendrix
