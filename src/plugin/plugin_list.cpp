// The members of a section's list program: run at an open, kept for the
// same file and command, and named for the hosts of this platform.
#include <algorithm>
#include <unordered_map>

#include "extract/failure_reason.h"
#include "extract/program_lookup.h"
#include "interface/wcx.h"
#include "plugin/plugin.h"
#include "plugin/timestamp.h"

namespace quendrix {
namespace {

using platform::PathStyle;
using platform::TextEncoding;

// Days since 1970-01-01 of a date of the Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// The line that says why a list could not be had; the program's own words
// follow it in the report.
std::string ListFailureReason(const platform::CapturedOutput& captured,
                              std::chrono::seconds timeout, const RuleSettings& settings) {
  const platform::ProcessOutcome& outcome = captured.outcome;
  if (captured.timedOut) {
    return "list: its program ran longer than " + std::to_string(timeout.count()) +
           " s (ListTimeout) and was ended";
  }
  if (!outcome.started) {
    return "list: " + FailureReasonOf(E_ECREATE, outcome);
  }
  const bool failed = outcome.signal != 0 || (outcome.value != 0 && !IsOn(settings.ignoreExitCodeFlag));
  if (failed) return "list: " + FailureReasonOf(E_EWRITE, outcome);
  if (captured.output.find_first_not_of(" \t\r\n") == std::string::npos && !captured.cut) {
    return "list: its program printed no names";
  }
  return {};
}

// The names of a list as a session of `encoding` on this platform holds
// them: with the host's separator, and, in the system's encoding where that
// is not UTF-8, only those it can write exactly.
void NameForTheHost(MemberListing& listing, PathStyle style, TextEncoding encoding) {
  std::size_t kept = 0;
  for (ListedMember& member : listing.members) {
    if (style == PathStyle::kWindows) std::replace(member.name.begin(), member.name.end(), '/', '\\');
    // Elsewhere the system's text is UTF-8, as the list is.
    if (encoding == TextEncoding::kSystem && style == PathStyle::kWindows) {
      const std::optional<std::string> system = platform::SystemTextIfExact(member.name);
      if (!system) {
        ++listing.skipped;
        if (listing.skippedNames.size() < kSkippedNamesKept) {
          listing.skippedNames.push_back(
              SkippedName{0, member.name,
                          "the system's code page cannot write it (a host that uses the wide "
                          "functions shows it)"});
        }
        continue;
      }
      member.name = *system;
    }
    if (&listing.members[kept] != &member) listing.members[kept] = std::move(member);
    ++kept;
  }
  listing.members.resize(kept);
}

// The FileTime of every member whose list gave a time. A local time is
// placed by the time zone's rules, which cost a few microseconds a call on
// Linux; members of one list mostly share their hours, so each hour of a day
// is placed once and its offset used for every time within it. A time that
// FileTime cannot hold (see HeaderTimeReach) is left out, so that its member
// carries the file's own time as an unlisted one does, and counted.
std::vector<std::uint32_t> HeaderTimesOf(MemberListing& listing) {
  std::vector<std::uint32_t> times(listing.members.size(), 0);
  std::unordered_map<std::int64_t, std::optional<std::int64_t>> offsetOfHour;
  for (std::size_t i = 0; i < listing.members.size(); ++i) {
    std::optional<ListedTime>& time = listing.members[i].time;
    if (!time) continue;
    std::optional<std::uint32_t> held;
    if constexpr (platform::kHeaderTimeKind == platform::HeaderTimeKind::kDosDateTime) {
      held = HeaderTimeOf(*time);
    } else {
      const std::int64_t asIfUtc = DaysFromCivil(time->year, time->month, time->day) * 86400 +
                                   time->hour * 3600 + time->minute * 60 + time->second;
      const std::int64_t hour = asIfUtc / 3600 - (asIfUtc % 3600 < 0 ? 1 : 0);
      auto offset = offsetOfHour.find(hour);
      if (offset == offsetOfHour.end()) {
        const platform::CalendarTime start{time->year, time->month, time->day, time->hour, 0, 0};
        const std::optional<std::int64_t> placed = platform::UnixSecondsOfLocalTime(start);
        offset = offsetOfHour
                     .emplace(hour, placed ? std::optional(hour * 3600 - *placed) : std::nullopt)
                     .first;
      }
      if (offset->second) held = HeaderTimeOfUnixSeconds(asIfUtc - *offset->second);
    }
    if (held) {
      times[i] = *held;
    } else {
      time.reset();
      ++listing.timesLeftOut;
    }
  }
  return times;
}

}  // namespace

std::shared_ptr<const Listing> Plugin::ListingOf(const Session& session, std::string& reason,
                                                 std::string& errorOutput) {
  const PluginServices& services = SideOf(session.encoding).services;
  const ListRules& rules = *session.rules.section.list;
  const RuleSettings& settings = session.rules.settings;
  const std::string& logDir = session.rules.rulesFile.logDir;

  std::string commandLine = rules.command;
  const ProgramLookup& lookup = ExtractionOf(session.encoding).programLookup;
  ResolvedCommand resolved;
  if (lookup.isProgram) {
    resolved = ResolvePrograms(commandLine, rules.programInPluginDir, lookup);
    commandLine = resolved.line;
  }

  // The same file, as the system tells it apart, listed by the same command
  // gives the same list; an unknown state keeps nothing.
  ListKey key;
  std::optional<platform::FileState> state;
  if (services.fileState) state = services.fileState(session.archivePath);
  if (state) {
    key = ListKey{session.encoding, session.archivePath, *state, commandLine};
    if (std::shared_ptr<const Listing> kept = lists_.Find(key)) return kept;
  }

  const bool log = IsOn(settings.logFlag) && services.writeLog && !logDir.empty();
  const auto writeLog = [&](std::string_view line) {
    if (log) services.writeLog(0, line, logDir);
  };
  writeLog("list = " + commandLine);
  if (rules.commandCut) {
    reason = "list: the command cannot run: filled in, it reached " +
             std::to_string(kTemplateLimit) + " characters and was cut; shorten the rule";
    writeLog(reason);
    return nullptr;
  }
  for (const ProgramChoice& program : resolved.programs) {
    if (program.source == ProgramSource::kNotFound) {
      reason = "list: " + program.name + " could not be started: there is no such program " +
               WhereProgramsAreLooked(lookup);
      if (!settings.package.empty()) {
        reason += " (it comes with the package " + settings.package + ")";
      }
      writeLog(reason);
      return nullptr;
    }
  }
  if (!services.captureOutput) {
    reason = "list: there is no way to run its program here";
    return nullptr;
  }
  platform::CapturedOutput captured = services.captureOutput(
      commandLine, kListOutputLimit, std::chrono::duration_cast<std::chrono::milliseconds>(rules.timeout));
  reason = ListFailureReason(captured, rules.timeout, settings);
  if (!reason.empty()) {
    errorOutput = std::move(captured.outcome.errorOutput);
    writeLog(reason);
    return nullptr;
  }

  MemberNameRules nameRules;
  nameRules.windows = services.pathStyle == PathStyle::kWindows;
  // A Linux host gets names as bytes in a field of 260.
  nameRules.maxBytes = nameRules.windows ? std::size_t(-1) : kListedNameLimit;
  auto listing = std::make_shared<Listing>();
  listing->members = ParseMemberList(captured.output, captured.cut, nameRules);
  NameForTheHost(listing->members, services.pathStyle, session.encoding);
  listing->headerTimes = HeaderTimesOf(listing->members);
  listing->warning = ListingWarning(listing->members, HeaderTimeReach());
  if (!listing->warning.empty()) writeLog("list: " + listing->warning);
  if (state) lists_.Keep(std::move(key), listing);
  return listing;
}

}  // namespace quendrix
