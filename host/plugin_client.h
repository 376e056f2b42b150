// A loaded packer plug-in, seen only through the eight exports of the
// interface, so that the host drives any such plug-in.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"
#include "interface/wcx.h"

namespace quendrix::host {

class PluginClient {
 public:
  // Loads the plug-in at `path`; nothing, with the reason in `error`, when it
  // cannot be loaded or lacks one of the exports a reader needs.
  static std::optional<PluginClient> Load(const std::string& path,
                                          std::string& error);

  OpenArchiveFn OpenArchive = nullptr;
  ReadHeaderFn ReadHeader = nullptr;
  ProcessFileFn ProcessFile = nullptr;
  CloseArchiveFn CloseArchive = nullptr;
  SetChangeVolProcFn SetChangeVolProc = nullptr;          // optional
  SetProcessDataProcFn SetProcessDataProc = nullptr;      // optional
  GetPackerCapsFn GetPackerCaps = nullptr;                // optional
  CanYouHandleThisFileFn CanYouHandleThisFile = nullptr;  // optional

 private:
  platform::Library library_;
};

// The plug-in the host uses when none is named: the one next to the host.
std::string DefaultPluginPath();

}  // namespace quendrix::host
