#include "commands/rule_problems.h"

#include <algorithm>
#include <optional>
#include <set>

#include "rules/entry.h"

namespace quendrix::host {
namespace {

constexpr std::string_view kCommand = "command";
constexpr std::string_view kFileout = "fileout";

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
  std::string_view prefix;  // kCommand or kFileout
  std::string_view digits;
};

// The prefix and the digits of "command" or "fileout" followed by digits.
std::optional<NumberedKey> ParseNumberedKey(std::string_view key) {
  for (const std::string_view prefix : {kCommand, kFileout}) {
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

std::string Joined(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

}  // namespace

std::vector<std::string> FindRuleProblems(
    const std::vector<std::string_view>& keyNames, std::int32_t members) {
  std::vector<std::string> problems;
  std::set<std::int32_t> commands;
  std::set<std::int32_t> fileouts;
  std::set<std::string> unreadable;
  for (const std::string_view key : keyNames) {
    const std::optional<NumberedKey> numbered = ParseNumberedKey(key);
    if (!numbered) continue;
    // The lookup asks for each number written plainly in decimal, so
    // "command01" or a number past the highest member is never asked for.
    const std::string_view digits = numbered->digits;
    if (digits.front() == '0' || digits.size() > 5 ||
        std::stol(std::string(digits)) > kMaxEntries) {
      unreadable.insert(std::string(key));
      continue;
    }
    const auto number = static_cast<std::int32_t>(std::stol(std::string(digits)));
    (numbered->prefix == kCommand ? commands : fileouts).insert(number);
  }

  if (!commands.contains(1)) {
    problems.push_back(
        "there is no command1, so the plug-in refuses files of this kind");
  }
  const std::int32_t stop = members + 1;  // the first incomplete pair
  const std::string number = std::to_string(stop);
  const std::string listEnd =
      members == 0 ? "no member lists"
                   : "the list ends after member " + std::to_string(members);
  if (commands.contains(stop) && !fileouts.contains(stop)) {
    problems.push_back("command" + number + " has no fileout" + number + ": " +
                       listEnd);
  } else if (stop > 1 && fileouts.contains(stop) && !commands.contains(stop)) {
    problems.push_back("fileout" + number + " has no command" + number +
                       ": " + listEnd);
  }

  std::set<std::string> afterGap;
  for (const auto& [prefix, numbers] :
       {std::pair{kCommand, &commands}, std::pair{kFileout, &fileouts}}) {
    for (const std::int32_t n : *numbers) {
      if (n > stop) afterGap.insert(std::string(prefix) + std::to_string(n));
    }
  }
  if (!afterGap.empty()) {
    problems.push_back(Joined(afterGap) + " never list" +
                       (afterGap.size() == 1 ? "s" : "") +
                       ": the numbering stops at " + number);
  }
  if (!unreadable.empty()) {
    problems.push_back(Joined(unreadable) + (unreadable.size() == 1 ? " is" : " are") +
                       " never read: member numbers are written without "
                       "leading zeros and go up to " +
                       std::to_string(kMaxEntries));
  }
  return problems;
}

}  // namespace quendrix::host
