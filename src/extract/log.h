// The operation log: one line per extraction in quendrix.log next to the
// plug-in, so that a user can see exactly which command line ran.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace quendrix {

inline constexpr std::string_view kLogFileName = "quendrix.log";

// Another extraction (the plug-in in a second host, say) holds the log only
// for the span of one line, so waiting a little almost always gets the line
// in; a log held for longer than this is someone else's business, and the
// extraction must not stall for it.
inline constexpr std::chrono::milliseconds kLogRetryWindow{500};
inline constexpr std::chrono::milliseconds kLogRetryInterval{10};

// "command" + the entry number in decimal + " = " + the command line; the
// line end is added by the writer.
std::string LogLineText(std::int16_t entryNumber, std::string_view commandLine);

// The log's path: the plug-in's directory (ending in its separator) and the
// log's file name.
std::string LogPath(std::string_view pluginDir);

// Appends the line for `entryNumber` and `commandLine` to the log in
// `pluginDir`. A log held by another writer is tried again until the retry
// window has passed, then the line is dropped; no failure is reported, as
// logging never stops an extraction.
void WriteLogLine(std::int16_t entryNumber, std::string_view commandLine,
                  std::string_view pluginDir);

}  // namespace quendrix
