// The real, built plug-in, copied into a directory of its own next to a rules
// file and loaded from there, as a file manager loads it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "client/plugin_client.h"
#include "platform/platform.h"
#include "interface/wcx.h"

namespace quendrix::bench {

class PluginCopy {
 public:
  // Throws std::runtime_error when the plug-in cannot be copied or loaded.
  explicit PluginCopy(std::string_view rules);
  ~PluginCopy();
  PluginCopy(const PluginCopy&) = delete;
  PluginCopy& operator=(const PluginCopy&) = delete;

  std::string RulesPath() const;
  // A path in the plug-in's directory; the file need not exist.
  std::string PathOf(std::string_view name) const;

  bool CanHandle(const std::string& path) const;
  // Opens `archive` for listing and reads every header; the number of
  // members, or -1 when the plug-in refuses the file.
  int ListAll(const std::string& archive) const;
  // Opens `archive` for listing and closes it without reading a header;
  // false when the plug-in refuses the file.
  bool OpenAndClose(const std::string& archive) const;

 private:
  std::filesystem::path dir_;
  // Loaded by the host's own loader.
  std::optional<host::PluginClient> plugin_;
};

// Writes `bytes` to `path`, replacing it.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// The baseline of the probe: opens the file, reads all of it into memory and
// closes it, as any program that reads a file once does.
std::string ReadWholeFilePlainly(const std::string& path);

}  // namespace quendrix::bench
