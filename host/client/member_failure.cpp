#include "client/member_failure.h"

#include "client/archive_session.h"
#include "interface/wcx.h"

namespace quendrix::host {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string WithMessage(std::string reason, const FailureDetails& details) {
  const std::string message = LastMessageLine(details.errorOutput);
  if (!message.empty()) reason += ": " + message;
  return reason;
}

}  // namespace

std::string LastMessageLine(std::string_view output) {
  while (!output.empty()) {
    const std::size_t start = output.find_last_of('\n', output.size() - 1);
    std::string_view line =
        start == std::string_view::npos ? output : output.substr(start + 1);
    output = start == std::string_view::npos ? std::string_view{}
                                             : output.substr(0, start);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (line.empty()) continue;
    std::string shown;
    shown.reserve(line.size());
    // A message goes into one line of a report or of mc's message box, so
    // no character of it may move the cursor or ring the bell.
    for (const char c : line) {
      const auto byte = static_cast<unsigned char>(c);
      shown += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    return shown;
  }
  return {};
}

std::string FailureReasonText(int code,
                              const std::optional<FailureDetails>& details) {
  if (details) {
    const bool started = details->exitStatus >= 0 || details->signal > 0;
    if (code == E_EWRITE && details->signal > 0) {
      return WithMessage(
          "its program was ended by signal " + std::to_string(details->signal),
          *details);
    }
    if (code == E_EWRITE && details->exitStatus > 0) {
      return WithMessage("its program ended with exit status " +
                             std::to_string(details->exitStatus),
                         *details);
    }
    if (code == E_ECREATE) {
      return started ? WithMessage("wrote no file", *details)
                     : "could not be started";
    }
  }
  return ResultCodeText(code) + " (code " + std::to_string(code) + ")";
}

}  // namespace quendrix::host
