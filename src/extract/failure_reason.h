// Why a member was not made, in one line for the user: which program, and
// what became of it. The program's own last words (its standard error) are
// kept apart, for the host to show under this line.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace quendrix {

// The line for an extraction that gave `result` after the programs of its
// command ended as `outcome` tells (its start error, the failing program of
// a pipeline, its exit status or signal). Empty for a member that was made.
std::string FailureReasonOf(int result, const platform::ProcessOutcome& outcome);

// The line for a command that was not run at all because of `why` (a syntax
// problem, a program that is nowhere, a > into another file).
std::string NotRunReason(const std::string& why);

}  // namespace quendrix
