#include "extract/failure_reason.h"

#include "interface/wcx.h"

namespace quendrix {
namespace {

// "its program" for a single program; for a pipeline the program by its
// place and name, so that a report says which of them failed.
std::string Whose(const platform::ProcessOutcome& outcome) {
  if (outcome.stageCount <= 1 || outcome.failedStage < 0) return "its program";
  return "program " + std::to_string(outcome.failedStage + 1) + " of " +
         std::to_string(outcome.stageCount) + " of its pipeline, " + outcome.program + ",";
}

}  // namespace

std::string NotRunReason(const std::string& why) { return "the command cannot run: " + why; }

std::string FailureReasonOf(int result, const platform::ProcessOutcome& outcome) {
  switch (result) {
    case 0:
      return {};
    case E_EABORTED:
      return "cancelled";
    case E_EWRITE:
      if (outcome.signal != 0) {
        return Whose(outcome) + " was ended by signal " + std::to_string(outcome.signal);
      }
      return Whose(outcome) + " ended with exit status " + std::to_string(outcome.value);
    case E_ECREATE:
      if (outcome.started) return "wrote no file";
      if (outcome.startError.empty()) return "could not be started";
      if (outcome.failedStage < 0) return outcome.startError;
      if (outcome.stageCount > 1) {
        return "program " + std::to_string(outcome.failedStage + 1) + " of " +
               std::to_string(outcome.stageCount) + " of its pipeline, " + outcome.program +
               ", could not be started: " + outcome.startError;
      }
      return outcome.program + " could not be started: " + outcome.startError;
    default:
      return "the plug-in's error " + std::to_string(result);
  }
}

}  // namespace quendrix
