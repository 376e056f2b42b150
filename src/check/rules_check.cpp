#include "check/rules_check.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "check/member_problems.h"
#include "check/near_words.h"
#include "check/numbering_problems.h"
#include "check/program_report.h"
#include "format/key_index.h"
#include "format/profile_lines.h"
#include "format/profile_text.h"
#include "format/profile_value.h"
#include "rules/entry.h"
#include "rules/lookup.h"

namespace quendrix {
namespace {

// Values of numbered keys and command1 are read into buffers of this size.
constexpr std::size_t kValueBuffer = kTemplateLimit + 1;

constexpr std::string_view kSynonymKey = "synonym";
// The settings, as the documentation spells them.
constexpr std::string_view kFlagKeys[] = {"log", "ShortFileName", "IgnoreExitCode", "Cache"};
constexpr std::string_view kShowConsoleKey = "ShowConsole";
// The keys of listed members.
constexpr std::string_view kListKey = "list";
constexpr std::string_view kExtractKey = "extract";
constexpr std::string_view kListTimeoutKey = "ListTimeout";
constexpr std::string_view kPackageKey = "Package";

std::string Shown(std::string_view section) { return "[" + std::string(section) + "]"; }

bool IsDigitText(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A key name that quendrix reads: a setting, synonym, or command or fileout
// followed by digits (whose numbering is checked apart).
bool IsKnownKey(std::string_view name) {
  const std::string lower = LowerAscii(name);
  if (lower == kSynonymKey || lower == LowerAscii(kShowConsoleKey)) return true;
  for (const std::string_view key : {kListKey, kExtractKey, kListTimeoutKey, kPackageKey}) {
    if (lower == LowerAscii(key)) return true;
  }
  for (const std::string_view flag : kFlagKeys) {
    if (lower == LowerAscii(flag)) return true;
  }
  for (const std::string_view prefix : {"command", "fileout"}) {
    if (lower.starts_with(prefix) && IsDigitText(std::string_view(lower).substr(prefix.size()))) {
      return true;
    }
  }
  return false;
}

// The sentence for a key that quendrix does not read, with the key meant
// when it is one slip away.
std::string UnknownKey(std::string_view name) {
  const std::string lower = LowerAscii(name);
  const std::size_t digitsAt = lower.find_last_not_of("0123456789") + 1;
  const std::string stem = lower.substr(0, digitsAt);
  const std::string digits = lower.substr(digitsAt);
  std::string text = std::string(name) + " is not a key quendrix reads";
  for (const std::string_view prefix : {"command", "fileout"}) {
    if (stem == prefix && digits.empty()) {
      return text + ": members are numbered, " + std::string(prefix) + "1, " +
             std::string(prefix) + "2, ...";
    }
    if (OneEditApart(stem, prefix)) {
      return text + " (" + std::string(prefix) + (digits.empty() ? "1" : digits) + "?)";
    }
  }
  for (const std::string_view setting :
       {kSynonymKey, kFlagKeys[0], kFlagKeys[1], kFlagKeys[2], kFlagKeys[3], kShowConsoleKey,
        kListKey, kExtractKey, kListTimeoutKey, kPackageKey}) {
    if (OneEditApart(lower, LowerAscii(setting))) {
      return text + " (" + std::string(setting) + "?)";
    }
  }
  return text;
}

class Checker {
 public:
  Checker(std::string bytes, const CheckServices& services)
      : text_(bytes), lines_(std::move(bytes)), services_(services),
        lookup_(CachedProgramLookup(services)) {}

  RulesCheck Run() {
    const std::vector<ProfileSectionLines>& sections = lines_.sections();
    for (std::size_t i = 0; i < sections.size(); ++i) {
      if (sections[i].first != i) continue;
      firstSections_.emplace(LowerAscii(sections[i].name), i);
      if (!sections[i].keys.empty()) NoteSynonymTarget(sections[i]);
    }
    for (std::size_t i = 0; i < sections.size(); ++i) {
      const ProfileSectionLines& section = sections[i];
      if (section.first != i) {
        RepeatedSection(section, sections[section.first]);
      } else if (i != 0 || !section.keys.empty()) {
        ++result_.sections;
        CheckSection(section);
      }
    }
    std::stable_sort(result_.problems.begin(), result_.problems.end(),
                     [](const RuleProblem& a, const RuleProblem& b) { return a.line < b.line; });
    return std::move(result_);
  }

 private:
  struct FirstKeys {
    // Folded name -> index into the section's keys, of the first key of
    // each name.
    std::unordered_map<std::string, std::size_t> byName;
    const ProfileKeyLine* Find(const ProfileSectionLines& section, std::string_view name) const {
      const auto at = byName.find(LowerAscii(name));
      return at == byName.end() ? nullptr : &section.keys[at->second];
    }
  };

  static FirstKeys FirstKeysOf(const ProfileSectionLines& section) {
    FirstKeys keys;
    for (std::size_t k = 0; k < section.keys.size(); ++k) {
      if (section.keys[k].first == k) keys.byName.emplace(LowerAscii(section.keys[k].name), k);
    }
    return keys;
  }

  // The line that stands for a section as a whole: its header, or for the
  // keys before the first header the first of them.
  static std::size_t HeaderLine(const ProfileSectionLines& section) {
    return section.line != 0 || section.keys.empty() ? section.line : section.keys.front().line;
  }

  void Add(std::size_t line, std::string_view section, std::string text) {
    result_.problems.push_back(RuleProblem{line, std::string(section), std::move(text)});
  }

  // What the synonym of `section` names, when it names another section.
  std::optional<std::string> SynonymOf(std::string_view section) const {
    if (!text_.Find(section, kSynonymKey)) return std::nullopt;
    std::string target =
        text_.Read(section, kSynonymKey, section, kSectionNameLimit + 1);
    if (FoldedEqual(TrimProfileName(target), section)) return std::nullopt;
    return target;
  }

  void NoteSynonymTarget(const ProfileSectionLines& section) {
    if (const std::optional<std::string> target = SynonymOf(section.name)) {
      synonymTargets_.insert(LowerAscii(TrimProfileName(*target)));
    }
  }

  // The first section of a name, or null.
  const ProfileSectionLines* SectionNamed(std::string_view name) const {
    const auto at = firstSections_.find(LowerAscii(TrimProfileName(name)));
    if (at == firstSections_.end()) return nullptr;
    const ProfileSectionLines& section = lines_.sections()[at->second];
    return section.line == 0 && section.keys.empty() ? nullptr : &section;
  }

  void RepeatedSection(const ProfileSectionLines& section, const ProfileSectionLines& first) {
    Add(section.line, section.name,
        Shown(section.name) + " is written a second time, and every key under this header is "
            "ignored: only the first section of a name is read, " +
            (first.line == 0 ? std::string("here the keys before the first header")
                             : "the one at line " + std::to_string(first.line)));
  }

  void CheckSectionName(const ProfileSectionLines& section) {
    if (section.line == 0) return;
    const std::string_view name = section.name;
    if (name.size() > kSectionNameLimit) {
      Add(section.line, name,
          Shown(name) + " is never used: extensions are cut to " +
              std::to_string(kSectionNameLimit) + " characters before the section is looked for");
    } else if (name.find('.') != std::string_view::npos &&
               !synonymTargets_.contains(LowerAscii(name))) {
      const std::string_view last = name.substr(name.rfind('.') + 1);
      Add(section.line, name,
          Shown(name) + " is never used: a section is named by the last extension alone, "
              "without its dot" + (last.empty() ? "" : " (" + Shown(last) + ")"));
    }
  }

  void CheckKeyLines(const ProfileSectionLines& section) {
    for (std::size_t k = 0; k < section.keys.size(); ++k) {
      const ProfileKeyLine& key = section.keys[k];
      if (key.first != k) {
        Add(key.line, section.name,
            std::string(key.name) + " is written a second time in this section, and this line "
                "is ignored: the first key of a name is read, the one at line " +
                std::to_string(section.keys[key.first].line));
        continue;
      }
      // Users take # for a comment; to the reader it is a key that no
      // lookup asks for, which does no harm.
      if (key.name.starts_with('#')) continue;
      if (!key.value) {
        Add(key.line, section.name,
            std::string(key.name) + " has no =, so it is neither a key nor a section header "
                "(comments start with ;)");
      } else if (!IsKnownKey(key.name)) {
        Add(key.line, section.name, UnknownKey(key.name));
      }
    }
  }

  // A section whose keys come from another one: its synonym must name a
  // section that has no synonym of its own, and its other keys are never
  // read, unless the synonym of some other section names this one, whose
  // lookups then read them. Says whether the section's keys are never read.
  bool CheckSynonym(const ProfileSectionLines& section, const FirstKeys& keys) {
    const std::optional<std::string> target = SynonymOf(section.name);
    if (!target) return false;
    const ProfileKeyLine* synonym = keys.Find(section, kSynonymKey);
    const std::size_t line = synonym != nullptr ? synonym->line : HeaderLine(section);
    const std::string shownTarget = Shown(*target);
    const ProfileSectionLines* named = SectionNamed(*target);
    if (named == nullptr) {
      Add(line, section.name,
          "synonym names " + shownTarget + ", but there is no section " + shownTarget +
              ", so files of this kind are refused");
    } else if (const std::optional<std::string> further = SynonymOf(named->name)) {
      Add(line, section.name,
          "synonym names " + shownTarget + ", which has a synonym of its own (to " +
              Shown(*further) + "): only one synonym step is taken, so files of this kind get "
              "the keys of " + shownTarget + " itself");
    }
    if (synonymTargets_.contains(LowerAscii(section.name))) return false;
    for (const auto& [folded, index] : keys.byName) {
      const ProfileKeyLine& key = section.keys[index];
      if (folded == kSynonymKey || !key.value || !IsKnownKey(key.name)) continue;
      Add(key.line, section.name,
          std::string(key.name) + " is never read: " + Shown(section.name) +
              " takes every key from " + shownTarget + " (synonym)");
    }
    return true;
  }

  void CheckSettings(const ProfileSectionLines& section, const FirstKeys& keys) {
    for (const std::string_view flag : kFlagKeys) {
      const ProfileKeyLine* key = keys.Find(section, flag);
      if (key == nullptr || !key->value) continue;
      const std::string value = text_.Read(section.name, flag, "0", kValueBuffer);
      if (!value.starts_with('0') && !value.starts_with('1')) {
        Add(key->line, section.name,
            std::string(key->name) + "=" + value + " counts as off: a setting is on only when "
                "its value starts with 1, and off with 0");
      }
    }
    if (const ProfileKeyLine* key = keys.Find(section, kShowConsoleKey); key && key->value) {
      const std::string value = text_.Read(section.name, kShowConsoleKey, "0", kValueBuffer);
      if (value.empty() || value[0] < '0' || value[0] > '9') {
        Add(key->line, section.name,
            std::string(key->name) + "=" + value + " counts as 0: it takes one digit");
      }
    }
  }

  std::string PackageOf(const ProfileSectionLines& section) const {
    return text_.Read(section.name, kPackageKey, "", kValueBuffer);
  }

  // list=, extract= and ListTimeout=: the list command prints names, the
  // extract command makes any of them, and neither means much alone.
  void CheckListedMembers(const ProfileSectionLines& section, const FirstKeys& keys) {
    const ProfileKeyLine* list = keys.Find(section, kListKey);
    const ProfileKeyLine* extract = keys.Find(section, kExtractKey);
    const ProfileKeyLine* timeout = keys.Find(section, kListTimeoutKey);
    const std::string_view extension = std::string_view(section.name).substr(0, kSectionNameLimit);
    const auto checkCommand = [&](const ProfileKeyLine& key, CommandKind kind) {
      const std::string value = text_.Read(section.name, key.name, kNotFound, kValueBuffer);
      for (std::string& problem : FindCommandProblems(key.value.value_or(""), value, extension,
                                                      kind, services_, lookup_,
                                                      PackageOf(section))) {
        Add(key.line, section.name, std::string(key.name) + ": " + problem);
      }
    };
    if (list != nullptr && list->value) {
      checkCommand(*list, CommandKind::kList);
      if (extract == nullptr || !extract->value) {
        Add(list->line, section.name,
            "list= has no extract=, so the members it lists are shown but cannot be made");
      }
    }
    if (extract != nullptr && extract->value) {
      if (list == nullptr || !list->value) {
        Add(extract->line, section.name,
            "extract= is never used: it makes the members that list= lists, and the section "
            "has no list=");
      } else {
        checkCommand(*extract, CommandKind::kExtract);
      }
    }
    if (timeout != nullptr && timeout->value) {
      const std::string value = text_.Read(section.name, kListTimeoutKey, "", kValueBuffer);
      const bool digits = !value.empty() && value.size() <= 9 &&
                          std::all_of(value.begin(), value.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
      const long seconds = digits ? std::stol(value) : 0;
      if (!digits || seconds < 1 || seconds > kLongestListTimeout.count()) {
        Add(timeout->line, section.name,
            std::string(timeout->name) + "=" + value + " counts as " +
                std::to_string(kDefaultListTimeout.count()) + ": it takes whole seconds from 1 to " +
                std::to_string(kLongestListTimeout.count()));
      }
    }
  }

  // How many members a lookup lists: pairs from 1 up to the first missing.
  std::int32_t CountMembers(std::string_view section) const {
    std::int32_t members = 0;
    while (members < kMaxEntries) {
      const std::string n = std::to_string(members + 1);
      if (text_.Read(section, "command" + n, kNotFound, kValueBuffer) == kNotFound ||
          text_.Read(section, "fileout" + n, kNotFound, kValueBuffer) == kNotFound) {
        break;
      }
      ++members;
    }
    return members;
  }

  void CheckSection(const ProfileSectionLines& section) {
    const FirstKeys keys = FirstKeysOf(section);
    CheckSectionName(section);
    CheckKeyLines(section);
    if (CheckSynonym(section, keys)) return;
    // A section with a synonym whose keys another synonym reads: the files
    // of its own kind go elsewhere, and the synonym that names it says what
    // the files it serves get.
    const bool ownFilesGoElsewhere = SynonymOf(section.name).has_value();
    CheckSettings(section, keys);

    std::vector<std::string_view> keyNames;
    for (const ProfileKeyLine& key : section.keys) {
      if (&key - section.keys.data() == static_cast<std::ptrdiff_t>(key.first) && key.value) {
        keyNames.push_back(key.name);
      }
    }
    const std::int32_t members = CountMembers(section.name);
    result_.members += static_cast<std::size_t>(members);
    const bool listed = keys.Find(section, kListKey) != nullptr;
    for (KeyProblem& problem : FindNumberingProblems(keyNames, members)) {
      // A section that lists its members by a program needs no command1.
      if (problem.key.empty() && (ownFilesGoElsewhere || listed)) continue;
      const ProfileKeyLine* key = problem.key.empty() ? nullptr : keys.Find(section, problem.key);
      Add(key != nullptr ? key->line : HeaderLine(section), section.name,
          std::move(problem.text));
    }

    CheckListedMembers(section, keys);

    const std::string package = PackageOf(section);
    for (std::int32_t n = 1; n <= members; ++n) {
      const std::string number = std::to_string(n);
      const ProfileKeyLine* command = keys.Find(section, "command" + number);
      const ProfileKeyLine* fileout = keys.Find(section, "fileout" + number);
      if (command == nullptr || fileout == nullptr) continue;  // read as "not found"
      const std::string commandText =
          text_.Read(section.name, command->name, kNotFound, kValueBuffer);
      const std::string fileoutText =
          text_.Read(section.name, fileout->name, kNotFound, kValueBuffer);
      const MemberProblems found = FindMemberProblems(
          MemberTemplates{command->value.value_or(""), commandText, fileoutText,
                          std::string_view(section.name).substr(0, kSectionNameLimit),
                          package},
          services_, lookup_);
      for (const std::string& problem : found.command) {
        Add(command->line, section.name, std::string(command->name) + ": " + problem);
      }
      for (const std::string& problem : found.name) {
        Add(fileout->line, section.name, std::string(fileout->name) + ": " + problem);
      }
    }
  }

  const ProfileText text_;
  const ProfileLines lines_;
  const CheckServices& services_;
  const ProgramLookup lookup_;
  std::unordered_set<std::string> synonymTargets_;
  // Folded name -> index into the sections, of the first section of each.
  std::unordered_map<std::string, std::size_t> firstSections_;
  RulesCheck result_;
};

}  // namespace

RulesCheck CheckRules(std::string bytes, const CheckServices& services) {
  return Checker(std::move(bytes), services).Run();
}

bool ProblemOfSection(const RuleProblem& problem, std::string_view section) {
  return FoldedEqual(problem.section, TrimProfileName(section));
}

}  // namespace quendrix
