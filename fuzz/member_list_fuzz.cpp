// The list of members a list program prints: whatever bytes it prints,
// every name taken is one a host can show and no destination folder can be
// left by (no empty name, no control character of C0, DEL or C1), names are
// taken once, and the limits hold.
//
// Input: a first byte choosing the Windows rules (odd) and a cut output
// (bit 1), then the program's output.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "format/member_list.h"
#include "fuzz_check.h"

namespace {

bool SafeName(std::string_view name, bool windows) {
  if (name.empty() || name.front() == '/' || name.back() == '/') return false;
  if (name.size() > quendrix::kListedNameLimit * 4) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
    if (windows && std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos) return false;
  }
  // C1 controls, U+0080 to U+009F, are C2 80 to C2 9F in UTF-8.
  for (std::size_t at = name.find('\xC2'); at != std::string_view::npos;
       at = name.find('\xC2', at + 1)) {
    const auto next = at + 1 < name.size() ? static_cast<unsigned char>(name[at + 1]) : 0;
    if (next >= 0x80 && next <= 0x9F) return false;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == name.size()) return true;
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool windows = (data[0] & 1) != 0;
  const bool cut = (data[0] & 2) != 0;
  const std::string_view output(reinterpret_cast<const char*>(data + 1), size - 1);
  quendrix::MemberNameRules rules;
  rules.windows = windows;
  const quendrix::MemberListing listing = quendrix::ParseMemberList(output, cut, rules);

  QUENDRIX_FUZZ_CHECK(listing.members.size() <= quendrix::kListedMemberLimit);
  QUENDRIX_FUZZ_CHECK(listing.skippedNames.size() <= quendrix::kSkippedNamesKept);
  QUENDRIX_FUZZ_CHECK(listing.skippedNames.size() <= listing.skipped);
  QUENDRIX_FUZZ_CHECK(!cut || listing.cut);
  std::set<std::string> names;
  for (const quendrix::ListedMember& member : listing.members) {
    QUENDRIX_FUZZ_CHECK(SafeName(member.name, windows));
    QUENDRIX_FUZZ_CHECK(member.name.size() <= rules.maxBytes);
    QUENDRIX_FUZZ_CHECK(names.insert(member.name).second);
    if (member.size) QUENDRIX_FUZZ_CHECK(*member.size >= 0);
    if (member.time) {
      QUENDRIX_FUZZ_CHECK(member.time->month >= 1 && member.time->month <= 12);
      QUENDRIX_FUZZ_CHECK(member.time->hour <= 23);
    }
  }
  // No taken name is a folder of another taken name.
  for (const std::string& name : names) {
    for (std::size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      QUENDRIX_FUZZ_CHECK(!names.contains(name.substr(0, slash)));
    }
  }
  const std::string warning = quendrix::ListingWarning(listing);
  QUENDRIX_FUZZ_CHECK(warning.empty() ==
                      (listing.skipped == 0 && listing.unreadFields == 0 && !listing.cut));
  return 0;
}
