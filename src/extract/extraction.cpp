#include "extract/extraction.h"

#include "extract/growth_meter.h"
#include "extract/runner.h"
#include "interface/wcx.h"
#include "rules/placeholder.h"
#include "format/shell_words.h"

namespace quendrix {
namespace {

// Whether the command line names a program at all. An empty line (the
// request before the first header works on the blank entry 0) starts
// nothing, and that is no failure.
bool NamesAProgram(std::string_view commandLine, platform::PathStyle style) {
  if (style == platform::PathStyle::kPosix) {
    return !SplitCommandLine(commandLine).empty();
  }
  return commandLine.find_first_not_of(" \t") != std::string_view::npos;
}

// A stopped program leaves a file that is not the member: whatever it
// wrote goes, but a file it never touched stays.
void RemoveIfWritten(const std::string& path, platform::TextEncoding encoding,
                     const std::optional<platform::FileState>& before) {
  const std::optional<platform::FileState> now =
      platform::StateOfFile(path, encoding);
  if (now && now != before) platform::RemoveFile(path, encoding);
}

}  // namespace

std::string FinalCommandLine(std::string_view command,
                             std::string_view destination,
                             platform::PathStyle style) {
  return ReplacePlaceholder(command, kDestinationPlaceholder, destination,
                            style, kCommandLimit);
}

int ExtractEntry(const ExtractionRequest& request,
                 const ExtractionServices& services) {
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
  if (!services.progress) {
    const platform::ProcessOutcome outcome =
        services.runCommand(commandLine, style, nullptr);
    if (!outcome.started && NamesAProgram(commandLine, request.pathStyle)) {
      return E_ECREATE;
    }
    return 0;
  }

  // The host named the file it expects; the program writes that file, also
  // when its command line holds the directory's short form.
  const std::string member(request.destName);
  const std::optional<platform::FileState> before =
      platform::StateOfFile(member, request.encoding);
  GrowthMeter meter(before ? before->size : 0);
  const auto report = [&] {
    const std::optional<platform::FileState> now =
        platform::StateOfFile(member, request.encoding);
    return services.progress(
        meter.Grown(now ? std::optional<std::int64_t>(now->size) : std::nullopt));
  };
  platform::ProcessWatch watch;
  watch.interval = kProgressInterval;
  watch.keepRunning = report;
  const platform::ProcessOutcome outcome =
      services.runCommand(commandLine, style, &watch);
  if (outcome.stopped) {
    RemoveIfWritten(member, request.encoding, before);
    return E_EABORTED;
  }
  if (!outcome.started) {
    return NamesAProgram(commandLine, request.pathStyle) ? E_ECREATE : 0;
  }
  return report() ? 0 : E_EABORTED;
}

}  // namespace quendrix
