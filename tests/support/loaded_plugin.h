// The real, built plug-in, copied into a directory of its own with a rules
// file and loaded from there, as a file manager loads it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/plugin_client.h"
#include "platform/platform.h"
#include "interface/wcx.h"
#include "support/temp_dir.h"

namespace quendrix::testing {

// The plug-in built next to the test program.
std::string BuiltPluginPath();

struct OpenOutcome {
  ArchiveHandle handle = nullptr;
  std::int32_t openResult = 0;
};

struct Header {
  std::string name;
  std::int32_t packSize = 0;
  std::int32_t unpSize = 0;
  std::int32_t fileTime = 0;
};

class LoadedPlugin {
 public:
  // Copies the plug-in into a fresh directory, writes `rules` as its
  // quendrix.ini there, and loads it. Each object is a separate copy with a
  // state of its own. With `utf8Folder`, the plug-in goes into a folder of
  // that name (UTF-8) inside the fresh directory and is loaded by its wide
  // name.
  explicit LoadedPlugin(std::string_view rules,
                        std::string_view utf8Folder = {});

  // The plug-in's directory, ending in the separator.
  std::string dir() const { return Text(home_); }
  std::string file(std::string_view name) const { return dir() + std::string(name); }
  // The same in UTF-8.
  std::string dirUtf8() const;
  void WriteRules(std::string_view rules) const;

  // The exports, with the host's view of the records. The calls without a
  // handle act on the handle that the last Open returned (null after a
  // failed open), as a host does with one archive at a time.
  OpenOutcome Open(const std::string& archive, std::int32_t mode = PK_OM_LIST,
                   std::int32_t initialResult = -1) const;
  int Read(Header& header) const { return Read(last_.load(), header); }
  int Read(ArchiveHandle handle, Header& header) const;
  int Process(int operation, const char* destName,
              const char* destPath = nullptr) const {
    return ProcessOn(last_.load(), operation, destName, destPath);
  }
  int ProcessOn(ArchiveHandle handle, int operation, const char* destName,
                const char* destPath = nullptr) const;
  int Close() const { return Close(last_.load()); }
  int Close(ArchiveHandle handle) const;
  int Caps() const;
  int CanHandle(const std::string& path) const;

  // Opens `archive` for listing and reads every header; stops after `limit`
  // headers so that a faulty plug-in cannot make a test spin.
  std::vector<std::string> List(const std::string& archive,
                                std::size_t limit = 100000) const;

  // The reason line of the last extraction on the last opened handle, as
  // QuendrixMemberFailureReason gives it; empty without that export.
  std::string FailureReason() const;
  // Why the last open on this thread failed (QuendrixOpenFailure's line);
  // and the list warning of the last opened handle.
  std::string OpenFailureReason() const;
  std::string ListWarningText() const;

  // The wide functions, with UTF-8 text converted to and from UTF-16; only
  // where the plug-in exports them (HasWideFunctions).
  bool HasWideFunctions() const;
  OpenOutcome OpenW(const std::string& archive, std::int32_t mode = PK_OM_LIST,
                    std::int32_t initialResult = -1) const;
  int ReadW(ArchiveHandle handle, Header& header) const;
  int ProcessW(ArchiveHandle handle, int operation,
               const std::string& destName) const;
  int CanHandleW(const std::string& path) const;
  std::vector<std::string> ListW(const std::string& archive,
                                 std::size_t limit = 100000) const;


 private:
  // A directory's text in the platform's own form, ending in the separator.
  static std::string Text(const std::filesystem::path& directory);
  // Copies the plug-in into home_ with `rules`, and loads the copy.
  host::PluginClient LoadCopy(std::string_view rules, bool byWideName) const;

  TempDir dir_;
  std::filesystem::path home_;  // where the plug-in and its rules lie
  // Loaded by the host's own loader, so that the tests reach the exports
  // as the host does.
  const host::PluginClient client_;
  // Atomic, so that tests may share one loaded plug-in between threads.
  mutable std::atomic<ArchiveHandle> last_{nullptr};

 public:
  // The exports: the eight of the interface, which every plug-in has, and
  // the others, null where the plug-in does not export them.
  OpenArchiveFn const& openArchive = client_.OpenArchive;
  ReadHeaderFn const& readHeader = client_.ReadHeader;
  ProcessFileFn const& processFile = client_.ProcessFile;
  CloseArchiveFn const& closeArchive = client_.CloseArchive;
  SetChangeVolProcFn const& setChangeVolProc = client_.SetChangeVolProc;
  SetProcessDataProcFn const& setProcessDataProc = client_.SetProcessDataProc;
  GetPackerCapsFn const& getPackerCaps = client_.GetPackerCaps;
  CanYouHandleThisFileFn const& canYouHandleThisFile = client_.CanYouHandleThisFile;
  GetBackgroundFlagsFn const& getBackgroundFlags = client_.GetBackgroundFlags;
  QuendrixMemberFailureFn const& memberFailure = client_.MemberFailure;
  QuendrixMemberFailureReasonFn const& memberFailureReason = client_.MemberFailureReason;
  QuendrixOpenFailureFn const& openFailure = client_.OpenFailure;
  QuendrixListWarningFn const& listWarning = client_.ListWarning;
  OpenArchiveWFn const& openArchiveW = client_.OpenArchiveW;
  ReadHeaderExWFn const& readHeaderExW = client_.ReadHeaderExW;
  ProcessFileWFn const& processFileW = client_.ProcessFileW;
  SetChangeVolProcWFn const& setChangeVolProcW = client_.SetChangeVolProcW;
  SetProcessDataProcWFn const& setProcessDataProcW = client_.SetProcessDataProcW;
  CanYouHandleThisFileWFn const& canYouHandleThisFileW = client_.CanYouHandleThisFileW;
};

}  // namespace quendrix::testing
