#include "format/key_index.h"

#include <algorithm>

namespace quendrix {
namespace {

constexpr std::size_t kFirstSlotCount = 16;

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::uint32_t FoldedHash(std::string_view name) {
  // FNV-1a over the folded bytes, its upper and lower halves folded together
  // so that every byte reaches the bits that pick a slot.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(FoldCase(c));
    hash *= 1099511628211ull;
  }
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

bool FoldedEqual(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

std::size_t KeyIndex::SlotOf(std::string_view name, std::uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.keyPlusOne == 0) return i;
    if (slot.hash == hash &&
        FoldedEqual(keys_[slot.keyPlusOne - 1].name, name)) {
      return i;
    }
  }
}

void KeyIndex::Rehash(std::size_t slotCount) {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(slotCount, Slot{});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.keyPlusOne == 0) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].keyPlusOne != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void KeyIndex::Reserve(std::size_t keys) {
  keys_.reserve(keys);
  std::size_t slotCount = std::max(kFirstSlotCount, slots_.size());
  while (slotCount < keys * 2) slotCount *= 2;
  if (slotCount > slots_.size()) Rehash(slotCount);
}

void KeyIndex::Add(std::string_view name,
                   std::optional<std::string_view> value) {
  if ((keys_.size() + 1) * 2 > slots_.size()) {
    Rehash(std::max(kFirstSlotCount, slots_.size() * 2));
  }
  const std::uint32_t hash = FoldedHash(name);
  Slot& slot = slots_[SlotOf(name, hash)];
  if (slot.keyPlusOne != 0) return;
  keys_.push_back({name, value});
  slot = {hash, static_cast<std::uint32_t>(keys_.size())};
}

const KeyIndex::Key* KeyIndex::Find(std::string_view name) const {
  if (slots_.empty()) return nullptr;
  const Slot& slot = slots_[SlotOf(name, FoldedHash(name))];
  return slot.keyPlusOne == 0 ? nullptr : &keys_[slot.keyPlusOne - 1];
}

}  // namespace quendrix
