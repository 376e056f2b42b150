#include "format/member_list.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace quendrix {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The number of characters of `text` when it is well-formed UTF-8 (no
// overlong forms, no surrogates, nothing past U+10FFFF); nothing otherwise.
std::optional<std::size_t> Utf8Length(std::string_view text) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++characters) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
        (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      return std::nullopt;
    }
    i += length;
  }
  return characters;
}

// Why `name` cannot be a member's name; nothing when it can.
std::optional<std::string> NameProblem(std::string_view name, const MemberNameRules& rules) {
  if (name.empty()) return "it is empty";
  if (FirstControlCharacter(name)) return "it holds a control character";
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  const std::optional<std::size_t> characters = ascii ? std::optional(name.size()) : Utf8Length(name);
  if (!characters) return "it is not UTF-8";
  if (name.front() == '/') return "it is an absolute path";
  if (rules.windows && name.find_first_of("\\:*?\"<>|") != std::string_view::npos) {
    return "it holds a character that Windows names cannot hold (\\ : * ? \" < > |)";
  }
  if (*characters > kListedNameLimit || name.size() > rules.maxBytes) {
    return "it is longer than " + std::to_string(kListedNameLimit) + " characters";
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view part = name.substr(start, end - start);
    if (part.empty()) return "it has an empty folder name (//)";
    if (part == "." || part == "..") return "it has a . or .. part";
    if (end == name.size()) break;
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<std::int64_t> ParseSize(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

std::optional<ListedTime> ParseTime(std::string_view text) {
  // YYYY-MM-DD HH:MM:SS
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  const auto year = Digits(text, 0, 4);
  const auto month = Digits(text, 5, 2);
  const auto day = Digits(text, 8, 2);
  const auto hour = Digits(text, 11, 2);
  const auto minute = Digits(text, 14, 2);
  const auto second = Digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 ||
      *minute > 59 || *second > 60) {
    return std::nullopt;
  }
  return ListedTime{*year, *month, *day, *hour, *minute, *second};
}

// A set of names without an allocation per name: open addressing over a
// table sized once for the names expected, doubled should more come. The
// views point into the output, which outlives the set.
class NameSet {
 public:
  explicit NameSet(std::size_t expected) {
    std::size_t size = 16;
    while (size < expected * 2) size *= 2;
    slots_.assign(size, {});
  }

  bool Contains(std::string_view name) const { return slots_[SlotOf(name)].data() != nullptr; }

  // False when the name was there already.
  bool Insert(std::string_view name) {
    std::size_t slot = SlotOf(name);
    if (slots_[slot].data() != nullptr) return false;
    slots_[slot] = name;
    if (++count_ * 2 > slots_.size()) Grow();
    return true;
  }

 private:
  // The slot that holds `name`, or the empty one where it would go.
  std::size_t SlotOf(std::string_view name) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = std::hash<std::string_view>{}(name) & mask;
    while (slots_[slot].data() != nullptr && slots_[slot] != name) slot = (slot + 1) & mask;
    return slot;
  }

  void Grow() {
    std::vector<std::string_view> old(slots_.size() * 2);
    old.swap(slots_);
    for (const std::string_view name : old) {
      if (name.data() != nullptr) slots_[SlotOf(name)] = name;
    }
  }

  std::vector<std::string_view> slots_;
  std::size_t count_ = 0;
};

// Names taken so far, as files and as folders that hold them: a name may
// be one or the other.
class TakenNames {
 public:
  explicit TakenNames(std::size_t expected) : files_(expected), folders_(expected / 4 + 16) {}

  std::optional<std::string> Take(std::string_view name) {
    if (files_.Contains(name)) return "it was listed before";
    if (folders_.Contains(name)) return "it is also a folder of members listed before";
    // A folder seen before is known to be no member; a new one must not be.
    for (std::size_t slash = name.find('/'); slash != std::string_view::npos;
         slash = name.find('/', slash + 1)) {
      const std::string_view folder = name.substr(0, slash);
      if (!folders_.Contains(folder) && files_.Contains(folder)) {
        return "a folder of it was listed before as a member";
      }
    }
    files_.Insert(name);
    for (std::size_t slash = name.find('/'); slash != std::string_view::npos;
         slash = name.find('/', slash + 1)) {
      folders_.Insert(name.substr(0, slash));
    }
    return std::nullopt;
  }

 private:
  NameSet files_;
  NameSet folders_;
};

}  // namespace

std::optional<std::uint32_t> FirstControlCharacter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) return byte;
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return next;
    }
  }
  return std::nullopt;
}

MemberListing ParseMemberList(std::string_view output, bool outputCut,
                              const MemberNameRules& rules) {
  MemberListing listing;
  listing.cut = outputCut || output.size() > kListOutputLimit;
  if (output.size() > kListOutputLimit) output = output.substr(0, kListOutputLimit);
  if (output.starts_with(kByteOrderMark)) output.remove_prefix(kByteOrderMark.size());
  // The last line of a cut output is most likely cut itself.
  if (listing.cut) {
    const std::size_t lastEnd = output.rfind('\n');
    output = lastEnd == std::string_view::npos ? std::string_view{} : output.substr(0, lastEnd + 1);
  }

  // One name a line, at most: the tables are sized once.
  const std::size_t lines = std::min<std::size_t>(
      static_cast<std::size_t>(std::count(output.begin(), output.end(), '\n')) + 1,
      kListedMemberLimit);
  listing.members.reserve(lines);
  TakenNames taken(lines);
  const auto skip = [&listing](std::size_t line, std::string_view text, std::string why) {
    ++listing.skipped;
    if (listing.skippedNames.size() < kSkippedNamesKept) {
      listing.skippedNames.push_back(SkippedName{line, std::string(text), std::move(why)});
    }
  };
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start < output.size();) {
    const std::size_t end = std::min(output.find('\n', start), output.size());
    std::string_view line = output.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::size_t tab = line.find('\t');
    const std::string_view name = line.substr(0, tab);
    if (name.empty() && tab == std::string_view::npos) continue;
    if (name.empty()) {
      skip(lineNumber, name, "it is empty");
      continue;
    }
    // A folder line: its members show it.
    if (name.back() == '/' && !NameProblem(name.substr(0, name.size() - 1), rules)) continue;
    if (std::optional<std::string> problem = NameProblem(name, rules)) {
      skip(lineNumber, name, std::move(*problem));
      continue;
    }
    if (listing.members.size() == kListedMemberLimit) {
      listing.cut = true;
      break;
    }
    if (std::optional<std::string> problem = taken.Take(name)) {
      skip(lineNumber, name, std::move(*problem));
      continue;
    }
    ListedMember member;
    member.name = std::string(name);
    if (tab != std::string_view::npos) {
      const std::string_view fields = line.substr(tab + 1);
      const std::size_t secondTab = fields.find('\t');
      const std::string_view size = fields.substr(0, secondTab);
      member.size = ParseSize(size);
      if (!member.size && !size.empty()) ++listing.unreadFields;
      if (secondTab != std::string_view::npos) {
        member.time = ParseTime(fields.substr(secondTab + 1));
        if (!member.time) ++listing.unreadFields;
      }
    }
    listing.members.push_back(std::move(member));
  }
  return listing;
}

std::string ListingWarning(const MemberListing& listing, std::string_view timeReach) {
  std::string warning;
  const auto add = [&warning](const std::string& sentence) {
    warning += (warning.empty() ? "" : "; ") + sentence;
  };
  if (listing.skipped > 0) {
    const SkippedName& first = listing.skippedNames.front();
    add(std::to_string(listing.skipped) + (listing.skipped == 1 ? " listed name was" : " listed names were") +
        " skipped (the first, on line " + std::to_string(first.line) + ", because " + first.why + ")");
  }
  if (listing.unreadFields > 0) {
    add(std::to_string(listing.unreadFields) +
        (listing.unreadFields == 1 ? " size or time was" : " sizes or times were") +
        " not understood and left out");
  }
  if (listing.timesLeftOut > 0) {
    add(std::to_string(listing.timesLeftOut) +
        (listing.timesLeftOut == 1 ? " listed time lies" : " listed times lie") +
        " outside what the file manager's time field holds (" + std::string(timeReach) +
        ") and " + (listing.timesLeftOut == 1 ? "was" : "were") +
        " left out: those members show the file's own time");
  }
  if (listing.cut) {
    add("the list was cut after " + std::to_string(listing.members.size()) +
        " names: a list holds at most " + std::to_string(kListedMemberLimit) +
        " names and " + std::to_string(kListOutputLimit >> 20) + " MiB");
  }
  return warning;
}

}  // namespace quendrix
