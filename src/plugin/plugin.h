// The logic behind the exports: the sessions of the archives a host has
// open, and the lookups that make them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "plugin/session.h"
#include "plugin/session_table.h"
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
// Every export may be called from several threads at once, and sessions keep
// archives apart, so hosts may copy members out in the background and several
// at a time.
inline constexpr int kBackgroundFlags = BACKGROUND_UNPACK;

// The handle value INVALID_HANDLE_VALUE, which some hosts give to the
// callback setters to mean every archive rather than one.
inline const ArchiveHandle kEveryHandle =
    reinterpret_cast<ArchiveHandle>(~std::uintptr_t{0});

// The plug-in of one loaded module: the sessions of the archives its host
// has open, each found by its handle. Only the plug-in's directory and the
// services are shared by all sessions, and neither changes after load.
class Plugin {
 public:
  Plugin(std::string pluginDir, PluginServices services);

  // The exports. None of them lets an exception out, none dereferences a
  // null pointer that the host passes, and none trusts a handle: one that
  // names no open session gets E_BAD_ARCHIVE (E_ECLOSE from CloseArchive),
  // with nothing listed, run or read.
  ArchiveHandle OpenArchive(tOpenArchiveData* data) noexcept;
  int ReadHeader(ArchiveHandle handle, tHeaderData* header) noexcept;
  int ProcessFile(ArchiveHandle handle, int operation, const char* destPath,
                  const char* destName) noexcept;
  int CloseArchive(ArchiveHandle handle) noexcept;
  void SetProcessDataProc(ArchiveHandle handle,
                          ProcessDataProc callback) noexcept;
  void SetChangeVolProc(ArchiveHandle handle, ChangeVolProc callback) noexcept;
  int GetPackerCaps() const noexcept;
  int GetBackgroundFlags() const noexcept;
  // Answers from a lookup of its own; no session changes.
  int CanYouHandleThisFile(const char* path) const noexcept;

  // The session of an open handle, or null: for tests that look at what a
  // lookup stored before anything runs.
  std::shared_ptr<const Session> SessionOf(ArchiveHandle handle);

  // The progress callback a session reports to: its own, else the one given
  // for every handle.
  ProcessDataProc ProcessDataCallbackOf(const Session& session) const;

 private:
  // A session for the archive at `path`, with the rules looked up; null when
  // the rules refuse the file.
  std::shared_ptr<Session> Lookup(const char* path) const;

  const std::string pluginDir_;
  const PluginServices services_;
  SessionTable sessions_;
  std::atomic<ProcessDataProc> everyProcessData_{nullptr};
  std::atomic<ChangeVolProc> everyChangeVolume_{nullptr};
};

}  // namespace quendrix
