#include "check/check_services.h"

namespace quendrix {

CheckServices CheckServices::Platform(std::string pluginDir) {
  // The host's text is UTF-8, as the plug-in's wide side takes it.
  constexpr platform::TextEncoding kEncoding = platform::TextEncoding::kUtf8;
  CheckServices services;
  services.pluginDir = std::move(pluginDir);
  services.environment = [](std::string_view name) {
    return platform::EnvironmentValue(std::string(name), kEncoding);
  };
  services.isProgram = [](const std::string& path) {
    return platform::IsProgramFile(path, kEncoding);
  };
  services.searchPath = [](const std::string& name) {
    return platform::FindProgramOnPath(name, kEncoding);
  };
  services.fileExists = [](const std::string& path) {
    return platform::FileExists(path, kEncoding);
  };
  return services;
}

}  // namespace quendrix
