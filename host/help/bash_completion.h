// The bash completion script of the host, written from its command line.
#pragma once

#include <iosfwd>

#include "command_line.h"

namespace quendrix::host {

// Writes a script that, sourced by bash, completes the program's commands,
// the options of each (and the program's own before a command), and files
// or folders where a value or an argument is one. It defines `_quendrix`
// and needs nothing of the bash-completion package.
void WriteBashCompletion(const CommandLine& commandLine, std::ostream& out);

}  // namespace quendrix::host
