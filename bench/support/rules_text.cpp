#include "support/rules_text.h"

namespace quendrix::bench {

std::string RulesText(int sections, int members) {
  std::string text;
  for (int s = 1; s <= sections; ++s) {
    text += "[ext" + std::to_string(s) + "]\r\nlog=0\r\n";
    for (int m = 1; m <= members; ++m) {
      const std::string n = std::to_string(m);
      text += "command" + n + "=conv -q " + n + " filein fileout\r\n";
      text += "fileout" + n + "=[N]." + n + ".out\r\n";
    }
  }
  return text;
}

std::string LastSectionName(int sections) {
  return "ext" + std::to_string(sections);
}

}  // namespace quendrix::bench
