#include "extract/extraction.h"

#include "extract/growth_meter.h"
#include "extract/runner.h"
#include "interface/wcx.h"
#include "rules/placeholder.h"
#include "format/shell_words.h"

namespace quendrix {
namespace {

// Whether the command line names a program at all.
bool NamesAProgram(std::string_view commandLine, platform::PathStyle style) {
  if (style == platform::PathStyle::kPosix) {
    return !SplitCommandLine(commandLine).empty();
  }
  return commandLine.find_first_not_of(" \t") != std::string_view::npos;
}

// A stopped or failed program leaves a file that is not the member:
// whatever it wrote goes, but a file it never touched stays.
void RemoveIfWritten(const std::string& path, platform::TextEncoding encoding,
                     const std::optional<platform::FileState>& before) {
  const std::optional<platform::FileState> now =
      platform::StateOfFile(path, encoding);
  if (now && now != before) platform::RemoveFile(path, encoding);
}

// Whether a program that ran to its end failed by its exit alone.
bool EndedInFailure(const platform::ProcessOutcome& outcome,
                    const RuleSettings& settings) {
  if (IsOn(settings.ignoreExitCodeFlag)) return false;
  return outcome.signal != 0 || outcome.value != 0;
}

void NoteOutcome(const platform::ProcessOutcome& outcome,
                 MemberFailure& details) {
  if (!outcome.started || outcome.stopped) return;
  details.signal = outcome.signal;
  details.exitStatus =
      outcome.signal != 0 ? -1 : static_cast<std::int32_t>(outcome.value);
  details.errorOutput = outcome.errorOutput;
}

int MakeMember(const ExtractionRequest& request,
               const ExtractionServices& services, MemberFailure& details) {
  // Past the end of the list there is no member to make.
  if (request.entry == nullptr || request.settings == nullptr) return 0;

  const std::string destination =
      BuildDestination(request.destName,
                       IsOn(request.settings->shortFileNameFlag),
                       request.pathStyle, services.shortPathOf);
  const std::string commandLine =
      FinalCommandLine(request.entry->command, destination, request.pathStyle);

  // The line is in the log before the program starts, so a program that
  // never ends still shows what was run.
  if (IsOn(request.settings->logFlag) && services.writeLog &&
      !request.logDir.empty()) {
    services.writeLog(static_cast<std::int16_t>(request.entryNumber),
                      commandLine, request.logDir);
  }

  const std::uint32_t style = request.settings->showConsole | kWaitFlag;
  if (!services.runCommand) return 0;

  // The host named the file it expects; the program writes that file, also
  // when its command line holds the directory's short form. Its state before
  // the start tells afterwards whether the program wrote it.
  const std::string member(request.destName);
  const std::optional<platform::FileState> before =
      platform::StateOfFile(member, request.encoding);

  // The reports during the run and the last one after it share one meter,
  // so that together they add up to the member's size.
  GrowthMeter meter(before ? before->size : 0);
  const auto report = [&] {
    const std::optional<platform::FileState> now =
        platform::StateOfFile(member, request.encoding);
    return services.progress(meter.Grown(
        now ? std::optional<std::int64_t>(now->size) : std::nullopt));
  };
  platform::ProcessOutcome outcome;
  if (!services.progress) {
    outcome = services.runCommand(commandLine, style, nullptr);
  } else {
    platform::ProcessWatch watch;
    watch.interval = kProgressInterval;
    watch.keepRunning = report;
    outcome = services.runCommand(commandLine, style, &watch);
  }
  NoteOutcome(outcome, details);

  if (outcome.stopped) {
    RemoveIfWritten(member, request.encoding, before);
    return E_EABORTED;
  }
  if (!outcome.started) {
    // An empty command line (the request before the first header works on
    // the blank entry 0) starts nothing, and that is no failure.
    return NamesAProgram(commandLine, request.pathStyle) ? E_ECREATE : 0;
  }
  if (EndedInFailure(outcome, *request.settings)) {
    RemoveIfWritten(member, request.encoding, before);
    return E_EWRITE;
  }
  if (!platform::StateOfFile(member, request.encoding)) return E_ECREATE;
  // The last report tells the host the member's whole size; a stop asked
  // with it keeps the finished member but makes no further one.
  if (services.progress && !report()) return E_EABORTED;
  return 0;
}

}  // namespace

std::string FinalCommandLine(std::string_view command,
                             std::string_view destination,
                             platform::PathStyle style) {
  return ReplacePlaceholder(command, kDestinationPlaceholder, destination,
                            style, kCommandLimit);
}

int ExtractEntry(const ExtractionRequest& request,
                 const ExtractionServices& services, MemberFailure* failure) {
  MemberFailure details;
  const int result = MakeMember(request, services, details);
  details.result = result;
  if (failure != nullptr) *failure = std::move(details);
  return result;
}

}  // namespace quendrix
