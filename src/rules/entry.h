// One listed member (Entry) and the table of members (EntryTable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <deque>

namespace quendrix {

// The fixed cuts of the interface and of the rules file, in characters. A
// field of N bytes holds N - 1 characters and a terminating zero.
inline constexpr std::size_t kTemplateLimit = 1023;     // a value as read, and every expansion step
inline constexpr std::size_t kCommandLimit = 4095;      // a final command line
inline constexpr std::size_t kMemberNameLimit = 259;    // a name handed to the host
inline constexpr std::size_t kSectionNameLimit = 29;    // a rules section's name
inline constexpr std::int32_t kMaxEntries = 32767;      // entry numbers are 16-bit signed

// Cuts `text` to at most `limit` characters.
inline void CutTo(std::string& text, std::size_t limit) {
  if (text.size() > limit) text.resize(limit);
}

struct Entry {
  std::string command;  // expanded command line, "fileout" still in place
  std::string fileout;  // expanded member name
  // The command named its program without a folder, and the plug-in's
  // folder was put in front: when the program is not there, the one of
  // that name on PATH runs instead.
  bool programInPluginDir = false;
  // The expansion cut the command at kTemplateLimit (see ExpandedEntry).
  bool commandCut = false;
};

// Entries indexed from 0 to an upper bound. Entry 0 is never listed; the
// members are entries 1 to UpperBound(). Entries hold their text, so a table
// costs what its members' names and commands cost, not fixed buffers. They
// are kept in small blocks that never move: a table of tens of thousands of
// members grown in one block would move into a block twice as large again
// and again, and every block it outgrew would be fresh memory, which costs a
// page fault per 4 KiB.
class EntryTable {
 public:
  // At load the table has bounds 0 to 1: entry 0 and one blank entry.
  EntryTable() : entries_(2) {}

  std::int32_t UpperBound() const {
    return static_cast<std::int32_t>(entries_.size()) - 1;
  }

  // Leaves only entry 0: no members.
  void Clear() { entries_.assign(1, Entry{}); }

  // Resizes to bounds 0 to `upperBound`, keeping the remaining entries and
  // adding blank ones.
  void ResizeTo(std::int32_t upperBound) {
    entries_.resize(static_cast<std::size_t>(upperBound) + 1);
  }

  // The entry numbered `n`, or null when `n` lies outside the table.
  const Entry* Find(std::int32_t n) const {
    if (n < 0 || n > UpperBound()) return nullptr;
    return &entries_[static_cast<std::size_t>(n)];
  }
  Entry* Find(std::int32_t n) {
    if (n < 0 || n > UpperBound()) return nullptr;
    return &entries_[static_cast<std::size_t>(n)];
  }

 private:
  std::deque<Entry> entries_;
};

}  // namespace quendrix
