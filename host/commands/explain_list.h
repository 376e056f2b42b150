// What `quendrix explain` shows of a section's listed members: its list=
// and extract= commands, and with --run-list what the list program prints
// and which names the plug-in takes.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "check/check_services.h"
#include "extract/program_lookup.h"
#include "rules/lookup.h"

namespace quendrix::host {

// Prints the list command and the extract command, fully expanded ([M] and
// fileout marked where they stand), the programs each runs, and the time
// limit.
void ShowListRules(const ListRules& list, const ProgramLookup& programs,
                   const CheckServices& services, std::ostream& out);

// Runs the list program as an open of the file would, and prints what it
// printed, which names were taken (with their sizes and times, and what
// `cachedState` says of the name: whether the cache keeps the member) and
// which were skipped and why. False when the list could not be had.
bool RunListForExplain(
    const ListRules& list, const RuleSettings& settings, const ProgramLookup& programs,
    std::ostream& out,
    const std::function<std::optional<std::string>(const std::string&)>& cachedState = {});

}  // namespace quendrix::host
