// The members of sections with Cache=1 in a mount: read straight from their
// entries in the user's cache of made members, which the plug-in fills.
// A member whose entry is there starts no program and takes no space of the
// mount's own; one whose entry is missing is made through the plug-in,
// which keeps it, and is then read from the entry too. The members of other
// sections are not kept past the mount, and stay in the mount's folder.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cache/member_keys.h"
#include "extract/member_cache.h"
#include "mount/member_makes.h"

namespace quendrix::host::mount {

class KeptMembers {
 public:
  // For files under the rules of the plug-in whose folder is `pluginDir`
  // (ending in '/'); `log` is told, once, when the cache folder cannot be
  // used.
  KeptMembers(std::string pluginDir, std::function<void(const std::string&)> log);

  // Where the user's cache keeps member `member` of `source` (the name the
  // plug-in lists it by): when its section has Cache=1 and the cache folder
  // can be used; nothing otherwise.
  struct Place {
    MemberCache cache;
    Sha256Digest digest;
  };
  std::optional<Place> PlaceOf(const std::string& source, const std::string& member) const;

  // The member's entry, held open, when a whole one is there, marked as
  // used now; nothing otherwise.
  static std::shared_ptr<const OpenMember> OpenEntry(const Place& place);

 private:
  const std::string pluginDir_;
  const std::function<void(const std::string&)> log_;
  mutable std::atomic<bool> toldUnusable_{false};
};

// Obtains member `member` of `source` for a mount: from its entry, when the
// cache keeps it; else by `make`, which makes it at `destination` (through
// the plug-in, which keeps it), and then from its entry when the plug-in
// kept it, removing the copy at `destination`. A member the plug-in could
// not keep (a full disk, a member past the cap) is read from `destination`.
MakeOutcome MakeThroughKeptMembers(const KeptMembers& kept, const std::string& source,
                                   const std::string& member, const std::string& destination,
                                   const std::function<MakeOutcome()>& make);

}  // namespace quendrix::host::mount
