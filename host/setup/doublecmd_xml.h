// Double Commander's settings file, doublecmd.xml: the packer (WCX) plug-in
// entries that `quendrix setup doublecmd` adds and removes, edited as an
// XML tree (pugixml) and written back with every other node, comment and
// blank as it was read, so that a file Double Commander wrote comes back
// byte for byte when the entries go again.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix::host {

struct DoubleCmdEdit {
  // Empty when the file could be read and edited; else why it is left as
  // it was.
  std::string error;
  std::string text;  // the file after the edit (the same bytes when nothing changes)
  std::vector<std::string> added;    // extensions
  std::vector<std::string> present;  // extensions the plug-in had an entry for already
  std::vector<std::string> removed;  // extensions
};

// Adds one packer entry per extension that has none for `pluginPath` yet
// (extensions match without regard to ASCII case, as the plug-in matches
// them), with `flags` as the entry's capabilities, at the top of the list:
// Double Commander asks its packer plug-ins in the order of the list, so
// quendrix answers Ctrl+PgDn for an extension that another plug-in also
// claims. Double Commander keeps neither comments nor attributes of its own
// in that list when it saves it, so the entries are known by their path.
DoubleCmdEdit AddPackerEntries(std::string_view file, std::string_view pluginPath,
                               const std::vector<std::string>& extensions, int flags);

// Removes every packer entry whose path is `pluginPath`, with the line
// break and indentation that came with it. A list left empty, and then a
// <Plugins> left empty, go too (with their indentation) when that gives
// back `asItWas` exactly, the file before setup added them; they stay
// otherwise, since Double Commander writes an empty list of its own.
DoubleCmdEdit RemovePackerEntries(std::string_view file, std::string_view pluginPath,
                                  const std::optional<std::string>& asItWas = std::nullopt);

}  // namespace quendrix::host
