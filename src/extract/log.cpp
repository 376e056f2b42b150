#include "extract/log.h"

#include <thread>

namespace quendrix {

std::string LogLineText(std::int16_t entryNumber, std::string_view commandLine) {
  std::string text = "command";
  text += std::to_string(entryNumber);
  text += " = ";
  text += commandLine;
  return text;
}

std::string LogPath(std::string_view pluginDir) {
  std::string path(pluginDir);
  path += kLogFileName;
  return path;
}

std::string LogLineBytes(std::string_view text, platform::TextEncoding encoding) {
  if (encoding == platform::TextEncoding::kSystem) return std::string(text);
  std::optional<std::string> system = platform::SystemTextIfExact(text);
  return system ? std::move(*system) : std::string(text);
}

void WriteLogLine(std::int16_t entryNumber, std::string_view commandLine,
                  std::string_view pluginDir, platform::TextEncoding encoding) {
  const std::string path = LogPath(pluginDir);
  const std::string text =
      LogLineBytes(LogLineText(entryNumber, commandLine), encoding);
  const auto deadline = std::chrono::steady_clock::now() + kLogRetryWindow;
  while (platform::AppendLine(path, text, encoding) ==
             platform::AppendOutcome::kBusy &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kLogRetryInterval);
  }
}

}  // namespace quendrix
