#include "extract/log.h"

#include <thread>

#include "platform/platform.h"

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

void WriteLogLine(std::int16_t entryNumber, std::string_view commandLine,
                  std::string_view pluginDir) {
  const std::string path = LogPath(pluginDir);
  const std::string text = LogLineText(entryNumber, commandLine);
  const auto deadline = std::chrono::steady_clock::now() + kLogRetryWindow;
  while (platform::AppendLine(path, text) == platform::AppendOutcome::kBusy &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kLogRetryInterval);
  }
}

}  // namespace quendrix
