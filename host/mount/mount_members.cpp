#include "mount/mount_members.h"

#include <exception>
#include <new>

namespace quendrix::host::mount {

FileListings::FileListings(MemberLister lister, std::function<void(const std::string&)> log)
    : lister_(std::move(lister)), log_(std::move(log)) {}

std::shared_ptr<const FileMembers> FileListings::Members(const std::string& source,
                                                         const Validity& validity) {
  std::promise<Result> promise;
  std::shared_future<Result> shared;
  bool lists = false;
  {
    const std::lock_guard lock(mutex_);
    const auto kept = kept_.find(source);
    if (kept != kept_.end() && kept->second.validity == validity) return kept->second.members;
    const auto running = running_.find(source);
    if (running != running_.end() && running->second.validity == validity) {
      shared = running->second.result;
    } else {
      // A listing for the file as it was goes on, but is no longer the one
      // to wait for.
      shared = promise.get_future().share();
      running_.insert_or_assign(source, Running{validity, shared});
      lists = true;
    }
  }
  if (!lists) {
    // Another request lists the file; its program runs once for both.
    return shared.get();
  }
  // Listed without the lock, so that a slow list program holds up no other
  // file.
  const Result result = List(source);
  {
    const std::lock_guard lock(mutex_);
    Keep(source, validity, result);
    const auto running = running_.find(source);
    if (running != running_.end() && running->second.validity == validity) {
      running_.erase(running);
    }
  }
  promise.set_value(result);
  return result;
}

FileListings::Result FileListings::List(const std::string& source) {
  auto members = std::make_shared<FileMembers>();
  std::vector<std::string> warnings;
  try {
    ListOutcome outcome = lister_(source, warnings);
    members->state = outcome.state;
    members->reason = std::move(outcome.reason);
    if (outcome.state == ListState::kListed) {
      members->tree = MemberTree::Build(outcome.members, warnings);
    }
  } catch (const std::exception& e) {
    members->state = ListState::kFailed;
    members->reason = std::string("the list could not be read: ") + e.what();
  }
  for (const std::string& warning : warnings) log_("warning: " + source + ": " + warning);
  if (members->state == ListState::kFailed) {
    log_(source + ": its members cannot be listed: " + members->reason);
  }
  return members;
}

void FileListings::Keep(const std::string& source, const Validity& validity,
                        const Result& result) {
  // What is kept only spares a listing; a table that cannot grow lists again.
  try {
    if (result->state == ListState::kFailed) {
      if (failures_.size() >= kMaxFiles) failures_.clear();
      failures_.insert_or_assign(source, Failure{validity, result->reason});
      return;
    }
    failures_.erase(source);
    const std::size_t count = result->tree.MemberCount();
    if (const auto kept = kept_.find(source); kept != kept_.end()) {
      keptMembers_ -= kept->second.members->tree.MemberCount();
      kept_.erase(kept);
    }
    if (kept_.size() >= kMaxFiles || keptMembers_ + count > kMaxMembers) {
      kept_.clear();
      keptMembers_ = 0;
    }
    kept_.insert_or_assign(source, Kept{validity, result});
    keptMembers_ += count;
  } catch (const std::bad_alloc&) {
  }
}

std::optional<std::string> FileListings::FailureReason(const std::string& source,
                                                       const Validity& validity) const {
  const std::lock_guard lock(mutex_);
  const auto found = failures_.find(source);
  if (found == failures_.end() || !(found->second.validity == validity)) return std::nullopt;
  return found->second.reason;
}

}  // namespace quendrix::host::mount
