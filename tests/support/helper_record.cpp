#include "support/helper_record.h"

#include <cstdlib>
#include <string_view>

#include "platform/platform.h"
#include "format/shell_words.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

// Reads the "LENGTH:BYTES" value at the front of `rest` and removes it.
std::optional<std::string> TakeCounted(std::string_view& rest) {
  const std::size_t colon = rest.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::string digits(rest.substr(0, colon));
  if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const std::size_t length = std::strtoul(digits.c_str(), nullptr, 10);
  if (rest.size() - colon - 1 < length) return std::nullopt;
  std::string value(rest.substr(colon + 1, length));
  rest.remove_prefix(colon + 1 + length);
  return value;
}

// Reads up to the next blank and removes it with the blank.
std::string TakeWord(std::string_view& rest) {
  const std::size_t blank = rest.find(' ');
  const std::string word(rest.substr(0, blank));
  rest.remove_prefix(blank == std::string_view::npos ? rest.size() : blank + 1);
  return word;
}

// Reads "unset"/"none" as nothing, anything else as a counted value.
bool TakeOptional(std::string_view& rest, std::optional<std::string>& out) {
  for (std::string_view absent : {"unset", "none"}) {
    if (rest.substr(0, absent.size()) == absent) {
      rest.remove_prefix(absent.size());
      out.reset();
      return true;
    }
  }
  out = TakeCounted(rest);
  return out.has_value();
}

}  // namespace

std::string HelperPath() {
  return platform::ExecutableDirectory() + QUENDRIX_TEST_HELPER_NAME;
}

std::string CommandLineOf(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty()) line += ' ';
    if (platform::kPathStyle == platform::PathStyle::kPosix) {
      line += QuoteFor(QuoteState::kUnquoted, word);
    } else if (word.empty() || word.find_first_of(" \t") != std::string::npos) {
      // Windows programs split their own command line; the test words hold
      // no quotation marks, so quotes around a word with blanks suffice.
      line += '"' + word + '"';
    } else {
      line += word;
    }
  }
  return line;
}

std::string HelperCommandLine(const std::vector<std::string>& words) {
  std::vector<std::string> all{HelperPath()};
  all.insert(all.end(), words.begin(), words.end());
  return CommandLineOf(all);
}

std::optional<HelperRecord> ReadHelperRecord(const std::string& path) {
  const std::string text = ReadFile(path);
  std::string_view rest = text;
  HelperRecord record;
  while (!rest.empty()) {
    if (rest == "end\n") return record;
    const std::string kind = TakeWord(rest);
    bool ok = true;
    if (kind == "cmdline") {
      record.commandLine = TakeCounted(rest);
      ok = record.commandLine.has_value();
    } else if (kind == "wcmdline") {
      record.wideCommandLine = TakeCounted(rest);
      ok = record.wideCommandLine.has_value();
    } else if (kind == "arg") {
      std::optional<std::string> arg = TakeCounted(rest);
      ok = arg.has_value();
      if (ok) record.args.push_back(*arg);
    } else if (kind == "cwd") {
      std::optional<std::string> cwd = TakeCounted(rest);
      ok = cwd.has_value();
      if (ok) record.cwd = *cwd;
    } else if (kind == "env") {
      const std::string name = TakeWord(rest);
      ok = TakeOptional(rest, record.env[name]);
    } else if (kind == "probe") {
      const std::string value = TakeWord(rest);
      ok = TakeOptional(rest, record.probes[value]);
    } else if (kind == "fd" || kind == "stdin") {
      const std::size_t newline = rest.find('\n');
      if (newline == std::string_view::npos) return std::nullopt;
      const std::string word(rest.substr(0, newline));
      rest.remove_prefix(newline);
      if (kind == "fd") record.descriptors.push_back(std::atoi(word.c_str()));
      else record.stdinState = word;
    } else {
      ok = false;
    }
    if (!ok || rest.empty() || rest.front() != '\n') return std::nullopt;
    rest.remove_prefix(1);
  }
  return std::nullopt;
}

}  // namespace quendrix::testing
