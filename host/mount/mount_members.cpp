#include "mount/mount_members.h"

#include "text/json_text.h"
#include "mount/mount_names.h"

namespace quendrix::host::mount {

MountMembers MembersForFolder(const std::vector<std::string>& names,
                              std::vector<std::string>& warnings) {
  MountMembers members;
  for (const std::string& name : names) {
    if (const std::optional<std::string> obstacle = EntryNameObstacle(name)) {
      warnings.push_back("member " + JsonString(name) +
                         " left out of the mount: " + *obstacle);
      continue;
    }
    if (!members.known.insert(name).second) {
      warnings.push_back("member " + JsonString(name) +
                         " left out of the mount: an earlier member has "
                         "that name");
      continue;
    }
    members.names.push_back(name);
  }
  return members;
}

ListingCache::ListingCache(MemberLister lister,
                           std::function<void(const std::string&)> warn)
    : lister_(std::move(lister)), warn_(std::move(warn)) {}

std::shared_ptr<const MountMembers> ListingCache::Members(
    const std::string& source, const Validity& validity) {
  {
    const std::lock_guard lock(mutex_);
    const auto found = kept_.find(source);
    if (found != kept_.end() && found->second.validity == validity) {
      return found->second.members;
    }
  }
  // Listed without the lock, so that a slow listing holds up no other file;
  // two threads that list one file at once both list it, and the later
  // result is kept.
  std::vector<std::string> warnings;
  const std::optional<std::vector<std::string>> names = lister_(source, warnings);
  std::shared_ptr<const MountMembers> members;
  if (names) {
    members = std::make_shared<const MountMembers>(MembersForFolder(*names, warnings));
  }
  for (const std::string& warning : warnings) warn_(source + ": " + warning);
  const std::lock_guard lock(mutex_);
  if (kept_.size() >= kMaxFiles) kept_.clear();
  kept_[source] = Kept{validity, members};
  return members;
}

}  // namespace quendrix::host::mount
