#include "probe_command.h"

#include <ostream>

#include "archive_session.h"
#include "format/utf16_text.h"

namespace quendrix::host {

bool PluginTakes(const PluginClient& plugin, const std::string& file) {
  if (plugin.UsesWideFunctions() && plugin.CanYouHandleThisFileW != nullptr) {
    std::u16string name = Utf16FromUtf8(file);
    return plugin.CanYouHandleThisFileW(name.data()) != 0;
  }
  if (plugin.CanYouHandleThisFile != nullptr) {
    std::string name = platform::SystemTextFromUtf8(file);
    return plugin.CanYouHandleThisFile(name.data()) != 0;
  }
  std::string error;
  return ArchiveSession::Open(plugin, file, PK_OM_LIST, error).has_value();
}

int ProbeFiles(const PluginClient& plugin, const std::vector<std::string>& files,
               std::ostream& out) {
  int status = kExitDone;
  for (const std::string& file : files) {
    const bool taken = PluginTakes(plugin, file);
    out << (taken ? "taken    " : "refused  ") << file << "\n";
    if (!taken) status = kExitRefused;
  }
  return status;
}

}  // namespace quendrix::host
