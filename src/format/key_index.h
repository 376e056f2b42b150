// The keys of one rules section, found by name without regard to ASCII case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quendrix {

// Keys are kept in the order of the file, with a flat open-addressing table
// of positions beside them. A lookup of a section of tens of thousands of
// keys then touches one slot of the table and the key itself, where a
// node-based map would chase pointers across the heap; listings ask for
// keys in file order, so the keys they touch lie next to each other.
class KeyIndex {
 public:
  struct Key {
    std::string_view name;
    // A key whose line has no "=" has no value, yet still hides later keys
    // of its name.
    std::optional<std::string_view> value;
  };

  // Adds a key unless one of its name is already there: only the first key
  // of a name counts. The views must outlive the index.
  void Add(std::string_view name, std::optional<std::string_view> value);

  // Makes room for `keys` keys at once, so that an index whose size is known
  // beforehand is built without moving its keys and slots as it grows: every
  // block it outgrew would be fresh memory, which costs a page fault per
  // 4 KiB, more than the work done in it.
  void Reserve(std::size_t keys);

  // The first key named `name`, or null.
  const Key* Find(std::string_view name) const;

  // Every key that a lookup can find, in the order of the file.
  const std::vector<Key>& keys() const { return keys_; }

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t keyPlusOne = 0;  // 0 marks a free slot
  };

  // The slot that holds `name`, or the free slot where it would go.
  std::size_t SlotOf(std::string_view name, std::uint32_t hash) const;
  // Spreads the keys over `slotCount` slots, a power of two.
  void Rehash(std::size_t slotCount);

  std::vector<Key> keys_;
  std::vector<Slot> slots_;  // a power of two in size, at most half full
};

// Hash and comparison of names without regard to ASCII case.
std::uint32_t FoldedHash(std::string_view name);
bool FoldedEqual(std::string_view a, std::string_view b);

}  // namespace quendrix
