// A file's members as a mount shows them, and the mount's table of the
// files it listed, which asks the plug-in again only when a file or the
// rules changed. Listing a file runs its list program, when its section has
// one; the table makes sure it runs once per change however many requests
// ask at once.
#pragma once

#include <cstddef>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "client/archive_session.h"
#include "mount/validity.h"
#include "mount/member_tree.h"

namespace quendrix::host::mount {

// What the plug-in said of a file.
enum class ListState {
  kListed,   // its members
  kRefused,  // the rules do not serve it
  kFailed,   // they do, but its members could not be had (a list program failed)
};

// What the plug-in said of a file, as it said it.
struct ListOutcome {
  ListState state = ListState::kRefused;
  std::string reason;  // kFailed: why, perhaps of several lines
  std::vector<MemberHeader> members;
};

// A file's members as the mount shows them, or why it shows none.
struct FileMembers {
  ListState state = ListState::kRefused;
  std::string reason;
  MemberTree tree;
};

// Lists `source` through the plug-in. A list that broke off gives the
// members read so far and the fault as a warning; what the plug-in's list
// skipped is a warning too.
using MemberLister =
    std::function<ListOutcome(const std::string& source, std::vector<std::string>& warnings)>;

// The mount's table of listings: the members of each file it listed, for
// the file and the rules as they were then. (The plug-in keeps lists of its
// own, plugin/kept_lists.h, which spare the list program; these spare the
// plug-in and keep what the mount shows of each file.)
class FileListings {
 public:
  // At most this many files' members are kept, and at most this many
  // members of all of them; past either the table starts afresh, which
  // costs one listing per file.
  static constexpr std::size_t kMaxFiles = 1024;
  static constexpr std::size_t kMaxMembers = 1'000'000;

  // `log` receives each warning of a listing ("warning: SOURCE: ...") and
  // each failure ("SOURCE: its members cannot be listed: REASON"), once per
  // listing.
  FileListings(MemberLister lister, std::function<void(const std::string&)> log);

  // The members of `source` as they are for `validity`: kept from an
  // earlier listing, else listed now; requests that ask at once share one
  // listing. A failed listing is not kept, so that the next request tries
  // again (a program installed since may mend it), but its reason is.
  // Never null.
  std::shared_ptr<const FileMembers> Members(const std::string& source,
                                             const Validity& validity);

  // Why the newest listing of `source` failed, while the file and the rules
  // are as they were then; nothing once a later listing succeeded, or when
  // none failed.
  std::optional<std::string> FailureReason(const std::string& source,
                                           const Validity& validity) const;

 private:
  using Result = std::shared_ptr<const FileMembers>;
  struct Kept {
    Validity validity;
    Result members;
  };
  struct Running {
    Validity validity;
    std::shared_future<Result> result;
  };
  struct Failure {
    Validity validity;
    std::string reason;
  };

  Result List(const std::string& source);
  void Keep(const std::string& source, const Validity& validity, const Result& result);

  const MemberLister lister_;
  const std::function<void(const std::string&)> log_;
  mutable std::mutex mutex_;
  std::map<std::string, Kept> kept_;
  std::size_t keptMembers_ = 0;
  std::map<std::string, Running> running_;
  std::map<std::string, Failure> failures_;
};

}  // namespace quendrix::host::mount
