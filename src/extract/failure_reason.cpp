#include "extract/failure_reason.h"

#include "interface/wcx.h"

namespace quendrix {
namespace {

// "its program" for a single program; for a pipeline the program by its
// place and name, so that a report says which of them failed.
std::string Whose(const platform::ProcessOutcome& outcome, std::int32_t stage,
                  const std::string& program) {
  if (outcome.stageCount <= 1 || stage < 0) return "its program";
  return "program " + std::to_string(stage + 1) + " of " + std::to_string(outcome.stageCount) +
         " of its pipeline, " + program + ",";
}

std::string Whose(const platform::ProcessOutcome& outcome) {
  return Whose(outcome, outcome.failedStage, outcome.program);
}

// " ended with exit status 3", " was ended by signal 9".
std::string HowItEnded(std::uint32_t value, std::int32_t signal) {
  if (signal != 0) return " was ended by signal " + std::to_string(signal);
  return " ended with exit status " + std::to_string(value);
}

}  // namespace

std::string NotRunReason(const std::string& why) { return "the command cannot run: " + why; }

std::string FailureReasonOf(int result, const platform::ProcessOutcome& outcome) {
  switch (result) {
    case 0:
      return {};
    case E_EABORTED:
      return "cancelled";
    case E_EWRITE: {
      if (outcome.earlierFailures.empty() || outcome.failedStage < 0) {
        return Whose(outcome) + HowItEnded(outcome.value, outcome.signal);
      }
      // Each failing program, the first first: the words on standard error
      // are most often the first one's.
      std::string reason;
      for (const platform::ProcessOutcome::StageEnd& stage : outcome.earlierFailures) {
        reason += reason.empty() ? Whose(outcome, stage.stage, stage.program)
                                 : "; program " + std::to_string(stage.stage + 1) + ", " +
                                       stage.program + ",";
        reason += HowItEnded(stage.value, stage.signal);
      }
      return reason + "; and program " + std::to_string(outcome.failedStage + 1) + ", " +
             outcome.program + "," + HowItEnded(outcome.value, outcome.signal);
    }
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
