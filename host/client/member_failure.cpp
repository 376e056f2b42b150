#include "client/member_failure.h"

#include "client/archive_session.h"
#include "interface/wcx.h"
#include "platform/platform.h"

#include <algorithm>

namespace quendrix::host {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The program's end as a plug-in tells it that gives no line of its own.
std::string ReasonFromStatus(int code, const FailureDetails& details) {
  const bool started = details.exitStatus >= 0 || details.signal > 0;
  if (code == E_EWRITE && details.signal > 0) {
    return "its program was ended by signal " + std::to_string(details.signal);
  }
  if (code == E_EWRITE && details.exitStatus > 0) {
    return "its program ended with exit status " + std::to_string(details.exitStatus);
  }
  if (code == E_ECREATE) return started ? "wrote no file" : "could not be started";
  return {};
}

}  // namespace

std::string LastMessageLine(std::string_view output) {
  const std::vector<std::string> lines = LastMessageLines(output, 1);
  return lines.empty() ? std::string() : lines.front();
}

std::vector<std::string> LastMessageLines(std::string_view output, std::size_t count) {
  // The plug-in keeps the end of what a program wrote; when it kept all it
  // could, the first line is most likely the end of a longer one.
  const bool cut = output.size() >= platform::kErrorOutputLimit;
  std::vector<std::string> lines;
  while (!output.empty() && lines.size() < count) {
    const std::size_t start = output.find_last_of('\n', output.size() - 1);
    if (start == std::string_view::npos && cut) break;
    std::string_view line =
        start == std::string_view::npos ? output : output.substr(start + 1);
    output = start == std::string_view::npos ? std::string_view{}
                                             : output.substr(0, start);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (line.empty()) continue;
    std::string shown;
    shown.reserve(line.size());
    // A message goes into lines of a report or of mc's message box, so no
    // character of it may move the cursor or ring the bell.
    for (const char c : line) {
      const auto byte = static_cast<unsigned char>(c);
      shown += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    lines.push_back(std::move(shown));
  }
  std::reverse(lines.begin(), lines.end());
  return lines;
}

std::string FailureReasonText(int code,
                              const std::optional<FailureDetails>& details) {
  if (!details) return ResultCodeText(code) + " (code " + std::to_string(code) + ")";
  std::string reason = details->reason.empty() ? ReasonFromStatus(code, *details)
                                               : details->reason;
  if (reason.empty()) return ResultCodeText(code) + " (code " + std::to_string(code) + ")";
  const std::vector<std::string> lines =
      LastMessageLines(details->errorOutput, kShownMessageLines);
  if (!lines.empty()) reason += ": " + lines.back();
  // One line of a message is all there is, and it stands on the first line
  // already; longer messages make sense only whole.
  if (lines.size() > 1) {
    for (const std::string& line : lines) {
      reason += "\n";
      reason += kReasonIndent;
      reason += line;
    }
  }
  return reason;
}

}  // namespace quendrix::host
