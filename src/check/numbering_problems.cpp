#include "check/numbering_problems.h"

#include <algorithm>
#include <optional>
#include <set>

#include "rules/entry.h"

namespace quendrix {
namespace {

constexpr std::string_view kCommandPrefix = "command";
constexpr std::string_view kFileoutPrefix = "fileout";

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

struct NumberedKey {
  std::string_view prefix;  // kCommandPrefix or kFileoutPrefix
  std::string_view digits;
};

// The prefix and the digits of "command" or "fileout" followed by digits.
std::optional<NumberedKey> ParseNumberedKey(std::string_view key) {
  for (const std::string_view prefix : {kCommandPrefix, kFileoutPrefix}) {
    if (!StartsWithFolded(key, prefix)) continue;
    const std::string_view digits = key.substr(prefix.size());
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    return NumberedKey{prefix, digits};
  }
  return std::nullopt;
}

}  // namespace

std::vector<KeyProblem> FindNumberingProblems(
    const std::vector<std::string_view>& keyNames, std::int32_t members) {
  std::set<std::int32_t> commands;
  std::set<std::int32_t> fileouts;
  struct Numbered {
    std::string_view key;
    std::string_view prefix;
    std::int32_t number;  // 0 when no lookup asks for the key
  };
  std::vector<Numbered> numbered;
  for (const std::string_view key : keyNames) {
    const std::optional<NumberedKey> parsed = ParseNumberedKey(key);
    if (!parsed) continue;
    // The lookup asks for each number written plainly in decimal, so
    // "command01" or a number past the highest member is never asked for.
    const std::string_view digits = parsed->digits;
    if (digits.front() == '0' || digits.size() > 5 ||
        std::stol(std::string(digits)) > kMaxEntries) {
      numbered.push_back({key, parsed->prefix, 0});
      continue;
    }
    const auto number = static_cast<std::int32_t>(std::stol(std::string(digits)));
    (parsed->prefix == kCommandPrefix ? commands : fileouts).insert(number);
    numbered.push_back({key, parsed->prefix, number});
  }

  std::vector<KeyProblem> problems;
  if (!commands.contains(1)) {
    problems.push_back(
        {"", "there is no command1, so the plug-in refuses files of this kind"});
  }
  const std::int32_t stop = members + 1;  // the first incomplete pair
  const std::string number = std::to_string(stop);
  const std::string listEnd =
      members == 0 ? "no member lists"
                   : "the list ends after member " + std::to_string(members);
  const bool commandAtStop = commands.contains(stop);
  const bool fileoutAtStop = fileouts.contains(stop);
  const std::string missingAtStop =
      !commandAtStop && !fileoutAtStop ? "there is no command" + number + " or fileout" + number
      : !commandAtStop                 ? "there is no command" + number
                                       : "there is no fileout" + number;
  for (const Numbered& key : numbered) {
    const std::string name(key.key);
    if (key.number == 0) {
      const std::string_view digits = key.key.substr(key.prefix.size());
      const std::size_t significant = std::min(digits.find_first_not_of('0'), digits.size());
      const std::string_view plain = digits.substr(significant);
      const bool tooLarge =
          plain.size() > 5 || (!plain.empty() && std::stol(std::string(plain)) > kMaxEntries);
      const std::string why =
          plain.empty() ? "member numbers start at 1"
          : tooLarge    ? "member numbers go up to " + std::to_string(kMaxEntries)
                        : "member numbers are written without leading zeros (" +
                           std::string(key.prefix) + std::string(plain) + ")";
      problems.push_back({name, name + " is never read: " + why});
    } else if (key.number == stop) {
      if (key.prefix == kCommandPrefix && !fileoutAtStop) {
        problems.push_back({name, name + " has no fileout" + number + ": " + listEnd});
      } else if (key.prefix == kFileoutPrefix && !commandAtStop && stop > 1) {
        problems.push_back({name, name + " has no command" + number + ": " + listEnd});
      }
    } else if (key.number > stop) {
      problems.push_back({name, name + " never lists: the numbering stops at " + number +
                                    " (" + missingAtStop + ")"});
    }
  }
  return problems;
}

}  // namespace quendrix
