#include "setup/served_extensions.h"

#include <string_view>

#include "format/profile_lines.h"
#include "format/profile_text.h"
#include "rules/lookup.h"

namespace quendrix::host {
namespace {

// The rules file as the lookup reads it, from bytes already in memory.
class TextRulesSource final : public RulesSource {
 public:
  explicit TextRulesSource(const ProfileText& text) : text_(text) {}
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue,
                   std::size_t bufferSize) const override {
    return text_.Read(section, key, defaultValue, bufferSize);
  }

 private:
  const ProfileText& text_;
};

// Why a file manager cannot take `name` as an extension; empty when it can.
// A file's extension is what follows its last dot, so a name with a dot
// never is one; the other characters are those that a path, a glob, an
// INI header or mc's Shell key would read as something else.
std::string WhyNoExtension(std::string_view name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '.') return "a file's extension is what follows its last dot";
    if (byte < 0x20 || byte == 0x7F || c == ' ') {
      return "it holds a blank or a control character";
    }
    if (std::string_view("/\\[]=#;%\"*?<>|:").find(c) != std::string_view::npos) {
      return std::string("it holds ") + c +
             ", which file names or the file managers' settings read as something else";
    }
  }
  return {};
}

}  // namespace

ServedExtensions ServedExtensionsOf(std::string rulesBytes) {
  const ProfileLines lines(rulesBytes);
  const ProfileText text(std::move(rulesBytes));
  const TextRulesSource rules(text);

  ServedExtensions served;
  const std::vector<ProfileSectionLines>& sections = lines.sections();
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const ProfileSectionLines& section = sections[i];
    // The keys before the first header, a later section of a name already
    // seen, and a name longer than any lookup asks for are never read.
    if (section.line == 0 || section.first != i || section.name.empty() ||
        section.name.size() > kSectionNameLimit) {
      continue;
    }

    RuleSettings settings;
    EntryTable table;
    const LookupResult result =
        LookupRules(section.name, rules, ExpansionContext{}, settings, table);
    if (!result.Serves()) continue;
    std::string why = WhyNoExtension(section.name);
    if (why.empty()) {
      served.extensions.emplace_back(section.name);
    } else {
      served.unregistrable.push_back({std::string(section.name), std::move(why)});
    }
  }
  return served;
}

}  // namespace quendrix::host
