// The commands and options of the host as Markdown, for its manual page.
#pragma once

#include <iosfwd>

#include "command_line.h"

namespace quendrix::host {

// Writes the program's own options as a definition list, then one
// second-level heading per command (its usage line) with the command's
// description and its arguments and options as a definition list. Texts
// are escaped, so that a description reaches the page as written.
void WriteOptionsMarkdown(const CommandLine& commandLine, std::ostream& out);

}  // namespace quendrix::host
