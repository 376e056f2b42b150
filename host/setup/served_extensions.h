// The extensions whose files the rules serve: what `quendrix setup`
// registers with a file manager.
#pragma once

#include <string>
#include <vector>

namespace quendrix::host {

// A section that serves files but cannot be registered, and why.
struct UnregistrableSection {
  std::string name;
  std::string why;
};

struct ServedExtensions {
  // In the order of the rules file, each once (names match without regard
  // to ASCII case, as the plug-in matches them), written as the first
  // section of the name writes it.
  std::vector<std::string> extensions;
  std::vector<UnregistrableSection> unregistrable;
};

// Every section of `rulesBytes` that a file's lookup can end in with
// something to show: one with command1 or list=, or one whose synonym names
// such a section. The plug-in's own lookup decides, so the answer is the
// one the plug-in gives for a file of that extension. A name that no file
// manager can take as an extension (one with a dot, a path separator, a
// blank or a character the file managers' configuration files reserve) is
// listed apart.
ServedExtensions ServedExtensionsOf(std::string rulesBytes);

}  // namespace quendrix::host
