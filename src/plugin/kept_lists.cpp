#include "plugin/kept_lists.h"

#include <algorithm>

namespace quendrix {

std::shared_ptr<const Listing> KeptLists::Find(const ListKey& key) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found =
      std::find_if(kept_.begin(), kept_.end(), [&key](const Kept& kept) { return kept.key == key; });
  if (found == kept_.end()) return nullptr;
  kept_.splice(kept_.begin(), kept_, found);
  return kept_.front().listing;
}

void KeptLists::Keep(ListKey key, std::shared_ptr<const Listing> listing) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found =
      std::find_if(kept_.begin(), kept_.end(), [&key](const Kept& kept) { return kept.key == key; });
  if (found != kept_.end()) kept_.erase(found);
  kept_.push_front(Kept{std::move(key), std::move(listing)});
  if (kept_.size() > capacity_) kept_.pop_back();
}

}  // namespace quendrix
