// The operation log: one line per extraction in quendrix.log next to the
// rules file in use (the user's folder for the system's rules), so that a
// user can see exactly which command line ran.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

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

// The log's path: its directory (ending in its separator) and the log's file
// name.
std::string LogPath(std::string_view logDir);

// The bytes of a log line whose text is written in `encoding`. The log is
// one file for every session: text in the system's encoding goes in as it
// is, and so does UTF-8 text that has an exact form there, in that form;
// UTF-8 text with a character the system's encoding lacks stays UTF-8, so
// that nothing is lost.
std::string LogLineBytes(std::string_view text, platform::TextEncoding encoding);

// Appends the line for `entryNumber` and `commandLine` to the log in
// `logDir`, all written in `encoding`; a missing directory is made (the
// user's configuration folder may not exist yet). A log held by another
// writer is tried again until the retry window has passed, then the line is
// dropped; no failure is reported, as logging never stops an extraction.
void WriteLogLine(std::int16_t entryNumber, std::string_view commandLine,
                  std::string_view logDir,
                  platform::TextEncoding encoding = platform::TextEncoding::kSystem);

}  // namespace quendrix
