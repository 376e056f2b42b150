// Why a member was not made, in words for the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quendrix::host {

// What a plug-in that knows quendrix's own QuendrixMemberFailure export
// tells about the last member it did not make.
struct FailureDetails {
  std::int32_t exitStatus = -1;  // -1: the program did not exit by itself
  std::int32_t signal = 0;       // 0: no signal ended it
  std::string errorOutput;       // the end of its standard error, in UTF-8
};

// The reason a member whose extraction gave `code` was not made: with
// `details` (a quendrix plug-in), told as the program's end and its last
// message ("its program ended with exit status 3: input is damaged",
// "wrote no file", "could not be started"); else the interface's text for
// the code.
std::string FailureReasonText(int code,
                              const std::optional<FailureDetails>& details);

// The last line of `output` that holds more than blanks, trimmed, with
// control characters shown as blanks; empty when there is none.
std::string LastMessageLine(std::string_view output);

}  // namespace quendrix::host
