#include "extract/extraction.h"

#include "extract/failure_reason.h"
#include "extract/growth_meter.h"
#include "extract/runner.h"
#include "interface/wcx.h"
#include "rules/placeholder.h"
#include "format/command_pipeline.h"

namespace quendrix {
namespace {

// Whether the command line names a program at all.
bool NamesAProgram(std::string_view commandLine, platform::PathStyle style) {
  if (style == platform::PathStyle::kPosix) {
    const ParsedCommand parsed = ParseCommandLine(commandLine);
    return parsed.problem || !parsed.stages.empty();
  }
  return commandLine.find_first_not_of(" \t") != std::string_view::npos;
}

// The folder a destination lies in; empty when it names none.
std::string FolderOf(std::string_view destination, platform::PathStyle style) {
  const std::size_t last = style == platform::PathStyle::kWindows
                               ? destination.find_last_of("\\/")
                               : destination.rfind('/');
  if (last == std::string_view::npos || last == 0) return {};
  // A drive's root ("C:\") is no folder to make.
  if (style == platform::PathStyle::kWindows && last == 2 && destination[1] == ':') return {};
  return std::string(destination.substr(0, last));
}

// Why a final command line cannot run at all, before anything is started:
// a syntax problem, a > into another file than the member's (a rule writes
// its member and nothing else), or a program that is nowhere.
std::optional<std::string> WhyNotRunnable(const std::string& commandLine,
                                          std::string_view destination,
                                          const ResolvedCommand& resolved,
                                          const ExtractionRequest& request,
                                          const ProgramLookup& lookup) {
  if (request.pathStyle == platform::PathStyle::kPosix) {
    const ParsedCommand parsed = ParseCommandLine(commandLine);
    if (parsed.problem) return NotRunReason(parsed.problem->text);
    if (parsed.output && parsed.output->path != destination) {
      return NotRunReason("its > writes into " + parsed.output->path +
                          ", not into the member's file (fileout)");
    }
  }
  for (const ProgramChoice& program : resolved.programs) {
    if (program.source == ProgramSource::kNotFound) {
      return program.name + " could not be started: there is no such program " +
             WhereProgramsAreLooked(lookup);
    }
  }
  return std::nullopt;
}

// Whether the file system of the destination has no room left. A program
// that could not write all of its member may not say so, or say it in
// words of its own; a full disk after its end tells it plainly.
bool DestinationIsFull(std::string_view destName, platform::PathStyle style,
                       platform::TextEncoding encoding) {
  const std::string folder = FolderOf(destName, style);
  return !folder.empty() && platform::FreeSpaceAt(folder, encoding) == std::uint64_t{0};
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
               const ExtractionServices& services, MemberFailure& details,
               platform::ProcessOutcome& outcome) {
  // Past the end of the list there is no member to make.
  if (request.entry == nullptr || request.settings == nullptr) return 0;

  const std::string destination =
      BuildDestination(request.destName,
                       IsOn(request.settings->shortFileNameFlag),
                       request.pathStyle, services.shortPathOf);
  std::string commandLine =
      FinalCommandLine(request.entry->command, destination, request.pathStyle);
  ResolvedCommand resolved;
  if (services.programLookup.isProgram) {
    resolved = ResolvePrograms(commandLine, request.entry->programInPluginDir,
                               services.programLookup);
    commandLine = std::move(resolved.line);
  }

  // The line is in the log before the program starts, so a program that
  // never ends still shows what was run, and one that cannot run what was
  // tried.
  if (IsOn(request.settings->logFlag) && services.writeLog &&
      !request.logDir.empty()) {
    services.writeLog(static_cast<std::int16_t>(request.entryNumber),
                      commandLine, request.logDir);
  }
  if (request.entry->commandCut) {
    details.reason = NotRunReason(
        "filled in, its command (the file's path and the plug-in's folder included) reached " +
        std::to_string(kTemplateLimit) + " characters and was cut; shorten the rule");
    return E_ECREATE;
  }
  if (const std::optional<std::string> why = WhyNotRunnable(
          commandLine, destination, resolved, request, services.programLookup)) {
    details.reason = *why;
    return E_ECREATE;
  }

  // A member in a folder (a listed docs/a.txt, say) may be asked for where
  // the host has not made its folder: it is made first, as for any file a
  // user saves there.
  const std::string folder = FolderOf(request.destName, request.pathStyle);
  if (!folder.empty() && services.makeFolder) services.makeFolder(folder);

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
    // A file of < or > may have been made before a program of a pipeline
    // failed to start.
    RemoveIfWritten(member, request.encoding, before);
    // An empty command line (the request before the first header works on
    // the blank entry 0) starts nothing, and that is no failure.
    return NamesAProgram(commandLine, request.pathStyle) ? E_ECREATE : 0;
  }
  if (EndedInFailure(outcome, *request.settings)) {
    RemoveIfWritten(member, request.encoding, before);
    return E_EWRITE;
  }
  if (!platform::StateOfFile(member, request.encoding)) return E_ECREATE;
  // A program that ignores its failed writes ends as if it made the whole
  // member; on a full disk it most likely did not.
  if (DestinationIsFull(request.destName, request.pathStyle, request.encoding)) {
    RemoveIfWritten(member, request.encoding, before);
    details.reason = std::string(kFullDestination) + ", so the member may have been cut short";
    return E_EWRITE;
  }
  // The last report tells the host the member's whole size; a stop asked
  // with it keeps the finished member but makes no further one.
  if (services.progress && !report()) return E_EABORTED;
  return 0;
}

}  // namespace

void AddFullDestination(const ExtractionRequest& request, std::string& reason) {
  if (reason.empty() || reason == "cancelled" || request.entry == nullptr ||
      reason.find(kNoSpaceLeft) != std::string::npos ||
      !DestinationIsFull(request.destName, request.pathStyle, request.encoding)) {
    return;
  }
  reason += "; ";
  reason += kFullDestination;
}

std::string FinalCommandLine(std::string_view command,
                             std::string_view destination,
                             platform::PathStyle style) {
  return ReplacePlaceholder(command, kDestinationPlaceholder, destination,
                            style, kCommandLimit);
}

int ExtractEntry(const ExtractionRequest& request,
                 const ExtractionServices& services, MemberFailure* failure) {
  MemberFailure details;
  platform::ProcessOutcome outcome;
  const int result = MakeMember(request, services, details, outcome);
  details.result = result;
  if (details.reason.empty()) details.reason = FailureReasonOf(result, outcome);
  AddFullDestination(request, details.reason);
  // A program that cannot be started is most often one not installed: the
  // section may say which package brings it.
  if (result == E_ECREATE && !outcome.started && request.settings != nullptr &&
      !request.settings->package.empty() && details.reason.find("could not be started") !=
                                                std::string::npos) {
    details.reason += " (it comes with the package " + request.settings->package + ")";
  }
  if (failure != nullptr) *failure = std::move(details);
  return result;
}

}  // namespace quendrix
