// One archive opened through a plug-in, and the listing every command
// starts from.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "client/plugin_client.h"

namespace quendrix::host {

// However a plug-in behaves, a list ends after this many headers: a list
// that goes on past it is taken as one that never ends.
inline constexpr std::size_t kMaxHeaders = std::size_t{1} << 20;

// One member as its header reports it.
struct MemberHeader {
  std::string name;  // in UTF-8
  // Sizes as the header gives them; a wide header's high parts included.
  std::int64_t size = 0;
  std::int64_t packedSize = 0;
  std::int32_t fileTime = 0;
};

// An archive held open by a plug-in; closed when the object goes.
class ArchiveSession {
 public:
  // Opens `path` (UTF-8, as every text of the host) in `mode`, through the
  // wide functions when the plug-in has them; nothing, with the reason in
  // `error` (several lines when a list program's last messages follow it),
  // and the plug-in's OpenResult in `openResult` when given, when the
  // plug-in refuses it.
  static std::optional<ArchiveSession> Open(const PluginClient& plugin,
                                            const std::string& path, int mode,
                                            std::string& error,
                                            std::int32_t* openResult = nullptr);
  ~ArchiveSession();
  ArchiveSession(ArchiveSession&& other) noexcept;
  ArchiveSession& operator=(ArchiveSession&&) = delete;
  ArchiveSession(const ArchiveSession&) = delete;
  ArchiveSession& operator=(const ArchiveSession&) = delete;

  // The next header: 0 with `header` filled, E_END_ARCHIVE at the end of the
  // list, or the plug-in's error code.
  int ReadHeader(MemberHeader& header) const;
  // Asks the plug-in to act on the member last read; its result code.
  int Process(int operation, const std::string& destination) const;
  // Why the member whose Process(PK_EXTRACT) gave `code` was not made: the
  // program's end and last message when the plug-in tells them (see
  // member_failure.h), else the interface's text for the code.
  std::string FailureReason(int code) const;
  // Gives the plug-in, when it takes one, the callback that it reports the
  // progress of this archive's extractions to.
  void WatchProgress(ProcessDataProc callback) const;
  // What the plug-in's list of this archive did not take (names skipped, a
  // cut list), in one line; empty when there is nothing, or the plug-in
  // does not say.
  std::string ListWarning() const;

 private:
  ArchiveSession(const PluginClient& plugin, ArchiveHandle handle)
      : plugin_(&plugin), handle_(handle) {}

  const PluginClient* plugin_;
  ArchiveHandle handle_;
};

struct Listing {
  std::vector<MemberHeader> members;
  // Empty when the list ended as it should; else why it was cut short.
  std::string fault;
  // The plug-in's warning about names its list did not take.
  std::string warning;
};

// Opens `path` for listing, reads every header and skips each member, as a
// file manager shows an archive. Nothing, with the reason in `error` and the
// plug-in's OpenResult in `openResult` when given, when the plug-in refuses
// the file.
std::optional<Listing> ListArchive(const PluginClient& plugin,
                                   const std::string& path,
                                   std::string& error,
                                   std::int32_t* openResult = nullptr);

// Whether the plug-in takes `file` (UTF-8), as a file manager asks before
// it opens one; a plug-in without CanYouHandleThisFile is asked by opening
// the file for listing.
bool PluginTakes(const PluginClient& plugin, const std::string& file);

// ListArchive for a command: the refusal, or the warning about names the
// list did not take, goes to `err` as "quendrix: FILE: ..."; on a refusal
// `exitCode` is the command's exit code for it (see RefusalExitCode).
std::optional<Listing> ListArchiveTelling(const PluginClient& plugin, const std::string& file,
                                          std::ostream& err, int& exitCode);

// The text for a code that OpenArchive put into OpenResult, or that
// ReadHeader or ProcessFile returned.
std::string ResultCodeText(int code);

}  // namespace quendrix::host
