// Why a member was not made, in words for the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix::host {

// What a plug-in that knows quendrix's own QuendrixMemberFailure export
// tells about the last member it did not make.
struct FailureDetails {
  std::int32_t exitStatus = -1;  // -1: the program did not exit by itself
  std::int32_t signal = 0;       // 0: no signal ended it
  std::string errorOutput;       // the end of its standard error, in UTF-8
  // The plug-in's own line for it, where it gives one
  // (QuendrixMemberFailureReason): which program, and what became of it.
  std::string reason;
};

// How many of the last lines of a program's standard error a report shows
// under its first line.
inline constexpr std::size_t kShownMessageLines = 10;

// What continuation lines of a reason start with.
inline constexpr std::string_view kReasonIndent = "    ";

// The reason a member whose extraction gave `code` was not made: with
// `details` (a quendrix plug-in), the plug-in's line (or, from a plug-in
// that gives none, the program's end: "its program ended with exit status
// 3", "wrote no file", "could not be started") followed by the program's
// last message ("...: input is damaged"); else the interface's text for the
// code. When the program's standard error holds more than one line, its
// last lines (at most kShownMessageLines) follow, each on a line of its own
// that starts with kReasonIndent.
std::string FailureReasonText(int code,
                              const std::optional<FailureDetails>& details);

// The last lines of `output` that hold more than blanks, at most `count`,
// oldest first, each trimmed and with control characters shown as blanks.
// A first line that the keeping of the end cut (when `output` fills the
// kept size) is left out.
std::vector<std::string> LastMessageLines(std::string_view output, std::size_t count);

// The last line of `output` that holds more than blanks, trimmed, with
// control characters shown as blanks; empty when there is none.
std::string LastMessageLine(std::string_view output);

}  // namespace quendrix::host
