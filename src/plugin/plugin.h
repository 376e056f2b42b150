// The logic behind the exports: the sessions of the archives a host has
// open, and the lookups that make them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>

#include "platform/platform.h"
#include "plugin/handles.h"
#include "plugin/session.h"
#include "plugin/session_table.h"
#include "interface/packer_caps.h"
#include "interface/wcx.h"
#include "extract/extraction.h"
#include "rules/file_rules.h"

namespace quendrix {

// Everything the exports need from the operating system, for text in one
// encoding: first what a look at a file's rules asks (rules/file_rules.h),
// then what opening, listing and extracting ask. The plug-in uses the
// platform's own; tests and fuzzers put in their own where the real one
// would hide a fault or get in the way.
struct PluginServices : LookupServices {
  // The FileTime value for the archive at the given path.
  std::function<std::uint32_t(const std::string&)> archiveTime;
  // Starting the command of an extracted member, and logging it (into the
  // directory given, which is made when it is missing).
  decltype(ExtractionServices::runCommand) runCommand;
  decltype(ExtractionServices::writeLog) writeLog;
  // Makes a destination's missing folder (see ExtractionServices).
  decltype(ExtractionServices::makeFolder) makeFolder;
  // The folder of the cache of made members (extract/member_cache.h);
  // empty when there is none. Without it nothing is kept.
  std::function<std::string()> cacheFolder;
  // The state of a file: a list is kept while its file keeps its state.
  // Without it no list is kept.
  std::function<std::optional<platform::FileState>(const std::string&)> fileState;
  // Runs a list program, reading what it prints (platform::RunCapturingOutput).
  std::function<platform::CapturedOutput(const std::string&, std::size_t,
                                         std::chrono::milliseconds)>
      captureOutput;

  // The platform's own, taking and giving text in `encoding`.
  static PluginServices Platform(
      platform::TextEncoding encoding = platform::TextEncoding::kSystem);
};

// What the sessions of one text encoding work with: the plug-in's directory
// written in that encoding, and services that take text in it.
struct PluginSide {
  std::string pluginDir;
  PluginServices services;
};

// The progress callback a session reports to; at most one of the two is set.
// A wide one takes the member's name in UTF-16, an ANSI one in the system's
// encoding.
struct ProgressCallback {
  ProcessDataProc ansi = nullptr;
  ProcessDataProcW wide = nullptr;
};



// The plug-in of one loaded module: the sessions of the archives its host
// has open, each found by its handle. Only the plug-in's directory and the
// services are shared by all sessions, and neither changes after load.
//
// A session opened through an ANSI function keeps its text in the system's
// encoding and uses the `system` side; one opened through a wide function
// keeps it in UTF-8 and uses the `utf8` side, whose services reach the
// system's wide functions. Every other function works on a session of
// either kind, converting its own text to and from the session's.
class Plugin {
 public:
  Plugin(PluginSide system, PluginSide utf8);
  // Both sides alike: where the system's own text is UTF-8 (Linux), and for
  // tests and fuzzers.
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

  // The wide functions: as the ones above, with UTF-16 text. The header
  // record gets FileName (cut to 1023 units, never between the halves of a
  // surrogate pair), FileTime, and PackSize and UnpSize 1 with high parts 0;
  // nothing else of it is written.
  ArchiveHandle OpenArchiveW(tOpenArchiveDataW* data) noexcept;
  int ReadHeaderExW(ArchiveHandle handle, tHeaderDataExW* header) noexcept;
  int ProcessFileW(ArchiveHandle handle, int operation,
                   const char16_t* destPath, const char16_t* destName) noexcept;
  void SetProcessDataProcW(ArchiveHandle handle,
                           ProcessDataProcW callback) noexcept;
  void SetChangeVolProcW(ArchiveHandle handle,
                         ChangeVolProcW callback) noexcept;
  int CanYouHandleThisFileW(const char16_t* path) const noexcept;

  // Why the last PK_EXTRACT on `handle` did not make its member, for hosts
  // that know this export of quendrix's own. Returns that extraction's
  // result (0 when it made the member, or when none ran yet), or
  // E_BAD_ARCHIVE for a handle that names no open session. Fills, where
  // the pointers are not null: the program's exit status (-1 when it did
  // not exit by itself or never started), the signal that ended it (0 when
  // none), and the end of its standard error, as the program wrote it,
  // zero-terminated and cut from the front to fit `messageSize` bytes.
  int LastFailure(ArchiveHandle handle, std::int32_t* exitStatus,
                  std::int32_t* signalNumber, char* message,
                  std::int32_t messageSize) noexcept;

  // Why the last PK_EXTRACT on `handle` did not make its member, in one
  // line of UTF-8: which program, and what became of it ("/usr/bin/mutool
  // could not be started: No such file or directory", "its program ended
  // with exit status 3"); empty when it made the member. The program's own
  // words are LastFailure's. Returns what LastFailure returns; the line is
  // cut at its end to fit `reasonSize` bytes, zero-terminated.
  int LastFailureReason(ArchiveHandle handle, char* reason,
                        std::int32_t reasonSize) noexcept;

  // Why the last OpenArchive or OpenArchiveW of the calling thread failed,
  // for hosts that know this export: its OpenResult (0 when the last open
  // on this thread succeeded, or none failed yet), a line of UTF-8 saying
  // why (for a list program that failed: which, and what became of it) and
  // the end of the list program's standard error, each cut to fit its
  // buffer and zero-terminated where the pointer is not null.
  int LastOpenFailure(char* reason, std::int32_t reasonSize, char* message,
                      std::int32_t messageSize) noexcept;

  // The warning about the list of the session that `handle` names (names
  // skipped, sizes or times not understood, a cut list) in one line of
  // UTF-8, empty when there is none; 0, or E_BAD_ARCHIVE for a handle that
  // names no open session.
  int ListWarning(ArchiveHandle handle, char* text, std::int32_t textSize) noexcept;

  // The session of an open handle, or null: for tests that look at what a
  // lookup stored before anything runs.
  std::shared_ptr<const Session> SessionOf(ArchiveHandle handle);


  // The progress callback a session reports to. A session prefers the kind
  // of the function that opened it (a wide callback for one opened through
  // a wide function), its own before the one given for every handle, and
  // takes the other kind only when its own kind has none.
  ProgressCallback ProgressCallbackOf(const Session& session) const;

 private:
  const PluginSide& SideOf(platform::TextEncoding encoding) const;

  // A session for the archive at `path`, written in `encoding`, with the
  // rules looked up; null when the rules refuse the file.
  std::shared_ptr<Session> Lookup(std::string path,
                                  platform::TextEncoding encoding) const;
  // Opens a session for `path`, as OpenArchive does with the record's mode
  // and result fields.
  ArchiveHandle Open(std::string path, platform::TextEncoding encoding,
                     std::int32_t openMode, std::int32_t& openResult) noexcept;
  // Moves the list of the session that `handle` names on by one and, when a
  // member is current and `fill` is set, calls it under the session's lock:
  // 0, E_END_ARCHIVE at the end of the list or E_BAD_ARCHIVE.
  int ReadNext(ArchiveHandle handle,
               const std::function<void(const Session&, const MemberView&)>& fill);
  // ProcessFile for the session that `handle` names, whose destination
  // `destinationOf` gives in the session's encoding.
  int ProcessNamed(
      ArchiveHandle handle, int operation,
      const std::function<std::string(platform::TextEncoding)>& destinationOf) noexcept;
  // What the extraction of a member at `destName` (in the session's
  // encoding) reports its progress to: the session's callback, in its kind
  // of text; nothing when the session has none.
  std::function<bool(std::int64_t)> ProgressReporter(
      const Session& session, std::string_view destName) const;
  // The size of member `number` of `session` when the cache keeps it made;
  // nothing otherwise.
  std::optional<std::int64_t> CachedSizeOf(const Session& session, std::int32_t number) const;
  // The entry that makes member `number` of `session` (rules/file_rules.h);
  // nothing past the end of its list.
  static MemberEntry MemberEntryOf(const Session& session, std::int32_t number);
  // The members the list program of `session` prints, from the lists kept when
  // its file and command are unchanged; null, with why in `reason` and the
  // program's last words in `errorOutput`, when the list cannot be had.
  std::shared_ptr<const Listing> ListingOf(const Session& session, std::string& reason,
                                           std::string& errorOutput);
  // Makes the current member at `destName` (in the session's encoding).
  int Process(const Session& session, const std::string& destName) noexcept;
  // What the extractions of a side's sessions ask of the system, but for
  // the progress report, which is each extraction's own: made once, from
  // the side's services, with the lookup of its programs.
  static ExtractionServices ExtractionServicesOf(const PluginSide& side);
  const ExtractionServices& ExtractionOf(platform::TextEncoding encoding) const;

  const PluginSide system_;
  const PluginSide utf8_;
  const ExtractionServices systemExtraction_;
  const ExtractionServices utf8Extraction_;
  SessionTable sessions_;
  KeptLists lists_;

  // Why the last open of each thread failed, for LastOpenFailure; the
  // threads of a host are few, and past kMaxOpenSessions of them the entries
  // of others go.
  struct OpenFailure {
    int result = 0;
    std::string reason;       // UTF-8
    std::string errorOutput;  // as the program wrote it
  };
  void NoteOpenFailure(int result, platform::TextEncoding encoding, std::string reason,
                       std::string errorOutput) noexcept;
  std::mutex openFailuresMutex_;
  std::unordered_map<std::thread::id, OpenFailure> openFailures_;
  std::atomic<ProcessDataProc> everyProcessData_{nullptr};
  std::atomic<ChangeVolProc> everyChangeVolume_{nullptr};
  std::atomic<ProcessDataProcW> everyProcessDataW_{nullptr};
  std::atomic<ChangeVolProcW> everyChangeVolumeW_{nullptr};
};

}  // namespace quendrix
