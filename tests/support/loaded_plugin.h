// The real, built plug-in, copied into a directory of its own with a rules
// file and loaded from there, as a file manager loads it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  // state of its own.
  explicit LoadedPlugin(std::string_view rules);

  // The plug-in's directory, ending in the separator.
  std::string dir() const { return dir_.str(); }
  std::string file(std::string_view name) const { return dir_.file(name); }
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

  OpenArchiveFn openArchive = nullptr;
  ReadHeaderFn readHeader = nullptr;
  ProcessFileFn processFile = nullptr;
  CloseArchiveFn closeArchive = nullptr;
  SetChangeVolProcFn setChangeVolProc = nullptr;
  SetProcessDataProcFn setProcessDataProc = nullptr;
  GetPackerCapsFn getPackerCaps = nullptr;
  CanYouHandleThisFileFn canYouHandleThisFile = nullptr;
  GetBackgroundFlagsFn getBackgroundFlags = nullptr;  // null when not exported

 private:
  TempDir dir_;
  platform::Library library_;
  // Atomic, so that tests may share one loaded plug-in between threads.
  mutable std::atomic<ArchiveHandle> last_{nullptr};
};

}  // namespace quendrix::testing
