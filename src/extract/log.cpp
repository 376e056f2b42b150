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

std::string LogPath(std::string_view logDir) {
  std::string path(logDir);
  path += kLogFileName;
  return path;
}

std::string LogLineBytes(std::string_view text, platform::TextEncoding encoding) {
  if (encoding == platform::TextEncoding::kSystem) return std::string(text);
  std::optional<std::string> system = platform::SystemTextIfExact(text);
  return system ? std::move(*system) : std::string(text);
}

void WriteLogLine(std::int16_t entryNumber, std::string_view commandLine,
                  std::string_view logDir, platform::TextEncoding encoding) {
  const std::string path = LogPath(logDir);
  const std::string text =
      LogLineBytes(LogLineText(entryNumber, commandLine), encoding);
  const auto deadline = std::chrono::steady_clock::now() + kLogRetryWindow;
  bool madeDirectory = false;
  for (;;) {
    const platform::AppendOutcome outcome =
        platform::AppendLine(path, text, encoding);
    if (outcome == platform::AppendOutcome::kFailed && !madeDirectory) {
      // Only the failed open of a log in a folder not made yet is worth a
      // second attempt; the folder is made once, when the first line needs
      // it.
      madeDirectory = true;
      if (platform::MakeDirectories(std::string(logDir), encoding)) continue;
    }
    if (outcome != platform::AppendOutcome::kBusy ||
        std::chrono::steady_clock::now() >= deadline) {
      return;
    }
    std::this_thread::sleep_for(kLogRetryInterval);
  }
}

}  // namespace quendrix
