#include "extract/runner.h"

namespace quendrix {

RunStyle DecodeRunStyle(std::uint32_t style) {
  return RunStyle{style & kShowStateMask, (style & kWaitFlag) != 0};
}

platform::ProcessOutcome RunCommand(const std::string& commandLine,
                                    std::uint32_t style,
                                    const platform::ProcessWatch* watch,
                                    platform::TextEncoding encoding) {
  const RunStyle decoded = DecodeRunStyle(style);
  return platform::RunProcess(commandLine, decoded.showState, decoded.wait,
                              watch, encoding);
}

}  // namespace quendrix
