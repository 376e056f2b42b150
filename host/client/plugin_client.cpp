#include "client/plugin_client.h"

namespace quendrix::host {
namespace {

template <typename Fn>
Fn Resolve(const platform::Library& library, const char* name) {
  return reinterpret_cast<Fn>(library.Symbol(name));
}

}  // namespace

std::optional<PluginClient> PluginClient::Load(const std::string& path, std::string& error,
                                               platform::TextEncoding encoding) {
  PluginClient client;
  client.library_ = platform::Library::Open(path, error, encoding);
  if (!client.library_.IsOpen()) return std::nullopt;

  const platform::Library& lib = client.library_;
  client.OpenArchive = Resolve<OpenArchiveFn>(lib, "OpenArchive");
  client.ReadHeader = Resolve<ReadHeaderFn>(lib, "ReadHeader");
  client.ProcessFile = Resolve<ProcessFileFn>(lib, "ProcessFile");
  client.CloseArchive = Resolve<CloseArchiveFn>(lib, "CloseArchive");
  client.SetChangeVolProc = Resolve<SetChangeVolProcFn>(lib, "SetChangeVolProc");
  client.SetProcessDataProc =
      Resolve<SetProcessDataProcFn>(lib, "SetProcessDataProc");
  client.GetPackerCaps = Resolve<GetPackerCapsFn>(lib, "GetPackerCaps");
  client.CanYouHandleThisFile =
      Resolve<CanYouHandleThisFileFn>(lib, "CanYouHandleThisFile");
  client.GetBackgroundFlags = Resolve<GetBackgroundFlagsFn>(lib, "GetBackgroundFlags");
  client.OpenArchiveW = Resolve<OpenArchiveWFn>(lib, "OpenArchiveW");
  client.ReadHeaderExW = Resolve<ReadHeaderExWFn>(lib, "ReadHeaderExW");
  client.ProcessFileW = Resolve<ProcessFileWFn>(lib, "ProcessFileW");
  client.SetChangeVolProcW = Resolve<SetChangeVolProcWFn>(lib, "SetChangeVolProcW");
  client.SetProcessDataProcW = Resolve<SetProcessDataProcWFn>(lib, "SetProcessDataProcW");
  client.CanYouHandleThisFileW =
      Resolve<CanYouHandleThisFileWFn>(lib, "CanYouHandleThisFileW");
  client.MemberFailure =
      Resolve<QuendrixMemberFailureFn>(lib, "QuendrixMemberFailure");
  client.MemberFailureReason =
      Resolve<QuendrixMemberFailureReasonFn>(lib, "QuendrixMemberFailureReason");
  client.OpenFailure = Resolve<QuendrixOpenFailureFn>(lib, "QuendrixOpenFailure");
  client.ListWarning = Resolve<QuendrixListWarningFn>(lib, "QuendrixListWarning");

  for (const auto& [present, name] :
       {std::pair{client.OpenArchive != nullptr, "OpenArchive"},
        std::pair{client.ReadHeader != nullptr, "ReadHeader"},
        std::pair{client.ProcessFile != nullptr, "ProcessFile"},
        std::pair{client.CloseArchive != nullptr, "CloseArchive"}}) {
    if (!present) {
      error = path + " is not a packer plug-in: it has no export " + name;
      return std::nullopt;
    }
  }
  return client;
}

std::string DefaultPluginPath() {
  return platform::ExecutableDirectory(platform::TextEncoding::kUtf8) +
         std::string(platform::kPluginFileName);
}

}  // namespace quendrix::host
