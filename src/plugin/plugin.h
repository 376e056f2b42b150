// The logic behind the eight exports, on one PluginState.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "plugin/state.h"
#include "interface/wcx.h"
#include "extract/extraction.h"
#include "rules/expand.h"
#include "rules/rules_source.h"

namespace quendrix {

// Everything the exports need from the operating system. The plug-in uses
// the platform's own; tests and fuzzers put in their own where the real one
// would hide a fault or get in the way.
struct PluginServices {
  platform::PathStyle pathStyle = platform::kPathStyle;
  // Opens the rules file at the given path for one lookup.
  std::function<std::unique_ptr<RulesSource>(const std::string&)> openRules;
  // The FileTime value for the archive at the given path.
  std::function<std::uint32_t(const std::string&)> archiveTime;
  // The value of an environment variable of the process, read at lookup.
  EnvironmentLookup environment;
  // The platform's short form of a path; empty when it has none.
  ShortPathLookup shortPathOf;
  // Starting the command of an extracted member, and logging it.
  decltype(ExtractionServices::runCommand) runCommand;
  decltype(ExtractionServices::writeLog) writeLog;

  static PluginServices Platform();
};

inline constexpr std::string_view kRulesFileName = "quendrix.ini";
inline constexpr int kPackerCaps =
    PK_CAPS_BY_CONTENT | PK_CAPS_SEARCHTEXT | PK_CAPS_HIDE;
// The handle of an archive opened for listing.
inline constexpr std::intptr_t kListHandle = 10;

class Plugin {
 public:
  Plugin(std::string pluginDir, PluginServices services);

  // The exports. None of them lets an exception out, and none dereferences a
  // null pointer that the host passes.
  ArchiveHandle OpenArchive(tOpenArchiveData* data) noexcept;
  int ReadHeader(tHeaderData* header) noexcept;
  int ProcessFile(int operation, const char* destPath,
                  const char* destName) noexcept;
  int CloseArchive() noexcept;
  int GetPackerCaps() const noexcept;
  int CanYouHandleThisFile(const char* path) noexcept;

  const PluginState& state() const { return state_; }

 private:
  void SetArchive(const char* path);
  void Lookup();

  PluginState state_;
  PluginServices services_;
};

}  // namespace quendrix
