// Extraction: a member copied out of the archive is made by its command.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "extract/destination.h"
#include "extract/program_lookup.h"
#include "platform/platform.h"
#include "rules/entry.h"
#include "rules/lookup.h"

namespace quendrix {

// What an extraction asks of the operating system; the plug-in hands in the
// platform's own, tests and fuzzers may record instead.
struct ExtractionServices {
  ShortPathLookup shortPathOf;
  // Starts the command line with the style word and, as extraction always
  // asks, waits for it; with a watch, calls it while the program runs.
  std::function<platform::ProcessOutcome(const std::string&, std::uint32_t,
                                         const platform::ProcessWatch*)>
      runCommand;
  // Appends the log line for an entry number and a final command line to
  // the log in the given directory.
  std::function<void(std::int16_t, std::string_view, std::string_view)>
      writeLog;
  // The host's progress report: called with the bytes the member's file
  // grew since the previous call, at least every kProgressInterval while
  // the program runs and once more when it has ended; false asks to stop.
  // Empty when the host asked for no reports: the program is then simply
  // waited for.
  std::function<bool(std::int64_t grown)> progress;
  // Makes the folder of a destination, with the folders above it, when it
  // is missing; without it nothing is made.
  std::function<void(const std::string& folder)> makeFolder;
  // Where programs named without a folder are looked for. Without its
  // isProgram the command line runs as it is written.
  ProgramLookup programLookup;
};

// How often a running program's member is looked at for the progress
// report. Hosts expect a report at least every quarter of a second, and the
// report itself takes a moment.
inline constexpr std::chrono::milliseconds kProgressInterval{100};

struct ExtractionRequest {
  std::int32_t entryNumber = 0;     // the entry the host last read
  const Entry* entry = nullptr;     // null when the list has ended
  std::string_view destName;        // the file the host expects
  const RuleSettings* settings = nullptr;
  std::string_view logDir;  // where the log goes; empty: nowhere
  platform::PathStyle pathStyle = platform::kPathStyle;
  // How the destination is written: the session's encoding.
  platform::TextEncoding encoding = platform::TextEncoding::kSystem;
};

// The entry's command line with every "fileout" replaced by `destination`,
// written for its place in the line, cut to the longest final command line.
std::string FinalCommandLine(std::string_view command,
                             std::string_view destination,
                             platform::PathStyle style);

// Why a member was not made, as far as its program tells: kept by the
// plug-in for the host that asks.
struct MemberFailure {
  int result = 0;          // what the extraction answered; 0 when it made the member
  // Its exit status; -1 when it did not exit by itself or never started, so
  // that a status or a signal also tells that the program ran.
  std::int32_t exitStatus = -1;
  std::int32_t signal = 0;       // the signal that ended it (POSIX); 0 otherwise
  std::string errorOutput;       // the end of its standard error, where kept
  // Why, in one line: which program, and what became of it (see
  // extract/failure_reason.h); empty when the member was made.
  std::string reason;
};

// The system's words for a full disk, and the reason's part that says the
// destination's disk is full.
inline constexpr std::string_view kNoSpaceLeft = "No space left on device";
inline constexpr std::string_view kFullDestination =
    "the destination's disk is full (No space left on device)";

// Adds to the `reason` why a member was not made (empty: it was made) that
// the destination's disk is full, when it is and the reason does not say
// so already: a member that failed there most likely failed for that.
void AddFullDestination(const ExtractionRequest& request, std::string& reason);

// Makes the member: builds the final command line in a working copy (the
// stored entry keeps its "fileout", so the same member can be extracted to
// several destinations), puts in the full path of each program named
// without a folder (extract/program_lookup.h), logs it when the rules ask,
// runs it and waits.
//
// The member is made when its program exits with status 0 and a file is at
// the destination the host named (also when the command line held its
// folder's short form): the result is 0. Otherwise the result says what
// went wrong, and the host can tell the user:
// - E_EWRITE: the program exited with another status, or a signal ended it.
//   Whatever it wrote at the destination is removed, so that no half-made
//   member passes for a whole one; a file there that it never touched
//   stays. With IgnoreExitCode on, the status counts for nothing. A program
//   that ended well on a destination whose disk is then full counts so
//   too: it most likely ignored its failed writes.
// - E_ECREATE: the program left no file, or a command line that names a
//   program could not start it at all: its program is nowhere (a bare name
//   neither in the plug-in's folder, its recipes/ nor on PATH), the system
//   refused to start it, a file of < or > cannot be opened, or (Linux) the
//   line has a syntax problem or its > writes into another file than the
//   member's. A line that cannot run is not run, and nothing is written.
// `failure`, when given, receives the details.
//
// When the progress report asks to stop while the program runs, the program
// and everything it started are ended, the destination file is removed if
// it was created or changed since the program started (a file there that
// the program never touched stays), and the result is E_EABORTED. A stop
// asked in the report after the program ended keeps the finished file and
// also gives E_EABORTED, so that the host makes no further member.
int ExtractEntry(const ExtractionRequest& request,
                 const ExtractionServices& services,
                 MemberFailure* failure = nullptr);

}  // namespace quendrix
