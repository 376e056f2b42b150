// The command runner: starts the program of a final command line in the
// window state the rules file chose and, when asked, waits for it to end.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace quendrix {

// The style word packs the window show state into bits 0 to 14 and the wait
// flag into bit 15; higher bits carry nothing.
inline constexpr std::uint32_t kShowStateMask = 0x7FFF;
inline constexpr std::uint32_t kWaitFlag = 0x8000;

struct RunStyle {
  std::uint32_t showState = 0;
  bool wait = false;
};

RunStyle DecodeRunStyle(std::uint32_t style);

// Runs the whole command line, written in `encoding`: a long line is never
// cut, so the program runs exactly the command line that the log shows.
platform::ProcessOutcome RunCommand(
    const std::string& commandLine, std::uint32_t style,
    const platform::ProcessWatch* watch = nullptr,
    platform::TextEncoding encoding = platform::TextEncoding::kSystem);

}  // namespace quendrix
