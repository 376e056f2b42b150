// What `quendrix explain` says of the cache of made members for a section
// with Cache=1: where the cache is, and whether each member is kept there
// now, found as the plug-in finds it.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "cache/member_keys.h"
#include "rules/entry.h"

namespace quendrix::host {

class ExplainedCache {
 public:
  // The cache of `file`'s members under the plug-in whose folder is
  // `pluginDir`; `on` when its section has Cache=1.
  ExplainedCache(bool on, const std::string& pluginDir, const std::string& file);

  // The line that says where the members are kept, or why nothing is;
  // nothing for a section without Cache=1.
  void ShowFolder(std::ostream& out) const;

  // Whether the section's members can be kept: Cache=1 and a cache
  // folder that can be used.
  bool Keeps() const { return on_ && cache_ && problem_.empty(); }

  // Whether the member that `entry` makes is kept now: "yes, 1234 bytes",
  // "no"; nothing when the section keeps nothing.
  std::optional<std::string> StateOf(const Entry& entry) const;

 private:
  bool on_;
  std::string file_;
  std::string pluginDir_;
  std::optional<MemberCache> cache_;
  // Why the cache cannot be used; empty when it can (or is not made yet).
  std::string problem_;
  bool made_ = false;
};

}  // namespace quendrix::host
