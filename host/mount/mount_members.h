// A file's members as a mount shows them: the plug-in's list without the
// names a folder cannot hold, and a cache of those lists that is asked
// again only when the file or the rules changed. Listing runs no program.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "mount/file_key.h"

namespace quendrix::host::mount {

struct MountMembers {
  std::vector<std::string> names;  // in list order
  std::unordered_set<std::string> known;

  bool Has(const std::string& name) const { return known.count(name) != 0; }
};

// The members a folder can show of the plug-in's list `names`: a name no
// folder can hold is left out, and so is a second member of a name shown
// already (opening that name makes the first). Each one left out adds a
// warning to `warnings`.
MountMembers MembersForFolder(const std::vector<std::string>& names,
                              std::vector<std::string>& warnings);

// The plug-in's list of a file: its names, or nothing when the rules do
// not serve the file. A list that broke off gives the members read so far
// and the fault as a warning.
using MemberLister = std::function<std::optional<std::vector<std::string>>(
    const std::string& source, std::vector<std::string>& warnings)>;

class ListingCache {
 public:
  // At most this many files' lists are kept; past it the cache starts
  // afresh, which costs one listing per file.
  static constexpr std::size_t kMaxFiles = 1024;

  // `warn` receives each warning, prefixed with the file's path, once per
  // listing of that file.
  ListingCache(MemberLister lister, std::function<void(const std::string&)> warn);

  // The members of `source` as they are for `validity`; null when the rules
  // do not serve it.
  std::shared_ptr<const MountMembers> Members(const std::string& source,
                                              const Validity& validity);

 private:
  struct Kept {
    Validity validity;
    std::shared_ptr<const MountMembers> members;
  };

  const MemberLister lister_;
  const std::function<void(const std::string&)> warn_;
  std::mutex mutex_;
  std::map<std::string, Kept> kept_;
};

}  // namespace quendrix::host::mount
