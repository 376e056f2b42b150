#include "commands/explain_list.h"

#include <chrono>
#include <cstdio>
#include <ostream>

#include "check/program_report.h"
#include "commands/explain_command.h"
#include "extract/failure_reason.h"
#include "format/member_list.h"
#include "interface/wcx.h"
#include "platform/platform.h"
#include "rules/placeholder.h"

namespace quendrix::host {
namespace {

std::string TimeText(const ListedTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month,
                time.day, time.hour, time.minute, time.second);
  return text;
}

}  // namespace

void ShowListRules(const ListRules& list, const ProgramLookup& programs,
                   const CheckServices& services, std::ostream& out) {
  out << "\nlisted      by a program, after the numbered members; ListTimeout="
      << list.timeout.count() << " s\n";
  ShowCommandLine(out, "  list      ", list.command, list.programInPluginDir, CommandRole::kList,
                  programs, services);
  if (list.extractCommand) {
    ShowCommandLine(out, "  extract   ", *list.extractCommand, list.extractProgramInPluginDir,
                    CommandRole::kExtract, programs, services);
  } else {
    out << "  extract   none: the listed members are shown but cannot be made\n";
  }
}

bool RunListForExplain(
    const ListRules& list, const RuleSettings& settings, const ProgramLookup& programs,
    std::ostream& out,
    const std::function<std::optional<std::string>(const std::string&)>& cachedState) {
  const ResolvedCommand resolved = ResolvePrograms(list.command, list.programInPluginDir, programs);
  for (const ProgramChoice& program : resolved.programs) {
    if (program.source == ProgramSource::kNotFound) {
      out << "\nlist run    " << program.name << " could not be started: there is no such program "
          << WhereProgramsAreLooked(programs) << "\n";
      return false;
    }
  }
  const auto began = std::chrono::steady_clock::now();
  const platform::CapturedOutput captured = platform::RunCapturingOutput(
      resolved.line, kListOutputLimit,
      std::chrono::duration_cast<std::chrono::milliseconds>(list.timeout),
      platform::TextEncoding::kUtf8);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - began);
  const platform::ProcessOutcome& outcome = captured.outcome;
  out << "\nlist run    " << resolved.line << "\n";
  out << "            ";
  if (captured.timedOut) {
    out << "ran longer than " << list.timeout.count() << " s (ListTimeout) and was ended\n";
    return false;
  }
  if (!outcome.started) {
    out << FailureReasonOf(E_ECREATE, outcome) << "\n";
    return false;
  }
  out << (outcome.signal != 0 ? "ended by signal " + std::to_string(outcome.signal)
                              : "exit status " + std::to_string(outcome.value))
      << ", " << captured.output.size() << " bytes printed" << (captured.cut ? " (cut)" : "")
      << ", " << took.count() << " ms\n";
  if (!outcome.errorOutput.empty()) {
    out << "            standard error ends: " << outcome.errorOutput.substr(
        outcome.errorOutput.find_last_of('\n', outcome.errorOutput.size() - 2) + 1);
    if (!outcome.errorOutput.ends_with('\n')) out << "\n";
  }
  const bool failed =
      outcome.signal != 0 || (outcome.value != 0 && !IsOn(settings.ignoreExitCodeFlag));
  MemberNameRules rules;
  rules.windows = platform::kPathStyle == platform::PathStyle::kWindows;
  const MemberListing listing = ParseMemberList(captured.output, captured.cut, rules);
  out << "taken       " << listing.members.size() << " names\n";
  for (const ListedMember& member : listing.members) {
    out << "  " << member.name;
    if (member.size) out << "\t" << *member.size << " bytes";
    if (member.time) out << "\t" << TimeText(*member.time);
    if (cachedState) {
      if (const std::optional<std::string> state = cachedState(member.name)) {
        out << "\tcached: " << *state;
      }
    }
    out << "\n";
  }
  if (listing.skipped > 0) {
    out << "skipped     " << listing.skipped << " names\n";
    for (const SkippedName& skipped : listing.skippedNames) {
      out << "  line " << skipped.line << ": " << MarkDestination(skipped.text).line << " ("
          << skipped.why << ")\n";
    }
    if (listing.skipped > listing.skippedNames.size()) {
      out << "  and " << listing.skipped - listing.skippedNames.size() << " more\n";
    }
  }
  if (const std::string warning = ListingWarning(listing); !warning.empty() && listing.cut) {
    out << "cut         " << warning << "\n";
  }
  if (failed) {
    out << "failed      an open of the file fails: the list program did not succeed\n";
    return false;
  }
  if (captured.output.find_first_not_of(" \t\r\n") == std::string::npos) {
    out << "failed      an open of the file fails: the list program printed no names\n";
    return false;
  }
  return true;
}

}  // namespace quendrix::host
