// A loaded packer plug-in, seen only through the eight exports of the
// interface and, where it has them, the wide functions, so that the host
// drives any such plug-in. The one loader of a plug-in's exports: the
// tests and the benchmarks load the plug-in through it too.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"
#include "interface/wcx.h"

namespace quendrix::host {

class PluginClient {
 public:
  // Loads the plug-in at `path`, written in `encoding`; nothing, with the
  // reason in `error`, when it cannot be loaded or lacks one of the exports
  // a reader needs (OpenArchive, ReadHeader, ProcessFile, CloseArchive).
  static std::optional<PluginClient> Load(
      const std::string& path, std::string& error,
      platform::TextEncoding encoding = platform::TextEncoding::kUtf8);

  OpenArchiveFn OpenArchive = nullptr;
  ReadHeaderFn ReadHeader = nullptr;
  ProcessFileFn ProcessFile = nullptr;
  CloseArchiveFn CloseArchive = nullptr;
  SetChangeVolProcFn SetChangeVolProc = nullptr;          // optional
  SetProcessDataProcFn SetProcessDataProc = nullptr;      // optional
  GetPackerCapsFn GetPackerCaps = nullptr;                // optional
  CanYouHandleThisFileFn CanYouHandleThisFile = nullptr;  // optional
  GetBackgroundFlagsFn GetBackgroundFlags = nullptr;      // optional
  // The wide functions, all optional; see UsesWideFunctions.
  OpenArchiveWFn OpenArchiveW = nullptr;
  ReadHeaderExWFn ReadHeaderExW = nullptr;
  ProcessFileWFn ProcessFileW = nullptr;
  SetChangeVolProcWFn SetChangeVolProcW = nullptr;
  SetProcessDataProcWFn SetProcessDataProcW = nullptr;
  CanYouHandleThisFileWFn CanYouHandleThisFileW = nullptr;
  // quendrix's own, optional: why a member was not made.
  QuendrixMemberFailureFn MemberFailure = nullptr;
  QuendrixMemberFailureReasonFn MemberFailureReason = nullptr;
  QuendrixOpenFailureFn OpenFailure = nullptr;
  QuendrixListWarningFn ListWarning = nullptr;

  // Whether archives are opened, read and extracted through the wide
  // functions: when the plug-in has all three, as hosts prefer them. Names
  // then travel as UTF-16; otherwise in the system's encoding, into which
  // the host's UTF-8 is converted (characters without a form there are
  // lost).
  bool UsesWideFunctions() const {
    return OpenArchiveW != nullptr && ReadHeaderExW != nullptr &&
           ProcessFileW != nullptr;
  }

 private:
  platform::Library library_;
};

// The plug-in the host uses when none is named: the one next to the host.
std::string DefaultPluginPath();

}  // namespace quendrix::host
