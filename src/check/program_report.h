// Which program a command runs, in words for a user: what `explain` shows
// per member, and what the rules check says of a program that is missing.
#pragma once

#include <optional>
#include <string>

#include "check/check_services.h"
#include "extract/program_lookup.h"

namespace quendrix {

// The lookup that the services make, asking the system at most once per
// path and per name: a rules file names the same few programs again and
// again.
ProgramLookup CachedProgramLookup(const CheckServices& services);

// Where a bare name was looked for, for a report: "neither in the plug-in's
// folder (DIR) nor in its recipes/ nor on PATH (/usr/bin:/bin)".
std::string WhereBareNamesAreLooked(const CheckServices& services);

// One program of a command as `explain` shows it: its path and how it was
// found ("/usr/bin/pdftotext (on PATH; neither the plug-in's folder nor its
// recipes folder has it)"), or
// why there is none.
std::string DescribeProgram(const ProgramChoice& program, const CheckServices& services);

// Why a program of a command cannot start, in one sentence; nothing when it
// can.
std::optional<std::string> ProgramProblem(const ProgramChoice& program,
                                          const CheckServices& services);

}  // namespace quendrix
