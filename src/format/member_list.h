// The members a list program prints: one name a line, in UTF-8, "/" between
// folders, optionally followed by a tab and the member's size in bytes, and
// another tab and its modification time as "YYYY-MM-DD HH:MM:SS" (local
// time). Names are checked, never trusted: a name the hosts could not show
// or that would lead out of a destination folder is skipped, and the
// skipped ones are counted for one warning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix {

// Past these a list is cut, with a warning.
inline constexpr std::size_t kListedMemberLimit = 100'000;
inline constexpr std::size_t kListOutputLimit = std::size_t{64} << 20;
// A listed name, whole, in characters: what a host's name field holds.
inline constexpr std::size_t kListedNameLimit = 259;

// A local time as a list prints it.
struct ListedTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

struct ListedMember {
  std::string name;  // "/" between folders
  std::optional<std::int64_t> size;
  std::optional<ListedTime> time;
};

// A line whose name was not taken, and why.
struct SkippedName {
  std::size_t line = 0;  // counted from 1
  std::string text;      // the name as printed (control characters kept)
  std::string why;
};

struct MemberListing {
  std::vector<ListedMember> members;
  // How many names were not taken, and the first kSkippedNamesKept of them.
  std::size_t skipped = 0;
  std::vector<SkippedName> skippedNames;
  // Sizes and times that could not be read; their names were taken without.
  std::size_t unreadFields = 0;
  // Times that were read but that the hosts' time field cannot hold; the
  // plug-in leaves them out when it fills the headers.
  std::size_t timesLeftOut = 0;
  // The list went past kListedMemberLimit names or kListOutputLimit bytes.
  bool cut = false;
};

inline constexpr std::size_t kSkippedNamesKept = 100;

struct MemberNameRules {
  // The names reach Windows hosts, whose names cannot hold \ : * ? " < > |
  // and where a \ would part folders.
  bool windows = false;
  // The most bytes of UTF-8 a name may take (on Linux the name reaches the
  // host in a field of 260 bytes).
  std::size_t maxBytes = kListedNameLimit;
};

// The first control character of `text`, as its code point: a C0 control
// (U+0000 to U+001F), DEL (U+007F), or a C1 control (U+0080 to U+009F, in
// UTF-8 the two bytes C2 80 to C2 9F). A terminal acts on each of them
// instead of showing it, so none is part of a name. Nothing when there is
// none.
std::optional<std::uint32_t> FirstControlCharacter(std::string_view text);

// Reads what a list program printed. `outputCut` says that the program
// printed more than the host read, so the last, unfinished line is dropped
// and the listing counts as cut. A UTF-8 byte-order mark at the start and a
// carriage return at the end of each line are passed over; an empty line,
// and a name that ends in "/" (a folder, which its members show anyway),
// are passed over without a word. Of a name printed twice the first counts;
// a name that is a member and also holds members is taken only the first
// way it is printed.
MemberListing ParseMemberList(std::string_view output, bool outputCut,
                              const MemberNameRules& rules);

// One sentence about what was skipped, left out or cut, for a log or a
// report; empty when everything was taken. `timeReach` says what the hosts'
// time field holds, for the times left out.
std::string ListingWarning(const MemberListing& listing, std::string_view timeReach = {});

}  // namespace quendrix
