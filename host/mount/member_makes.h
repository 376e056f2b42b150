// The made members of a mount: each is made once, by one program run
// however many openers ask for it at once, and served while its source file
// and the rules stay as they were: from the mount's own folder, or from a
// file the maker hands over open (the entry of the user's cache of made
// members, for a section with Cache=1). Nothing here knows FUSE or the
// plug-in: the maker is handed in, so the sharing, the validity and the
// cancelling are tested on their own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "mount/validity.h"

namespace quendrix::host::mount {

// A member that lies in the first `size` bytes of a file held open, which
// is closed when the last holder lets it go. Held open, the file stays
// readable when its name is removed meanwhile.
class OpenMember {
 public:
  OpenMember(int descriptor, std::int64_t size) : descriptor_(descriptor), size_(size) {}
  ~OpenMember();
  OpenMember(const OpenMember&) = delete;
  OpenMember& operator=(const OpenMember&) = delete;

  int descriptor() const { return descriptor_; }
  std::int64_t size() const { return size_; }

 private:
  int descriptor_;
  std::int64_t size_;
};

struct MakeOutcome {
  enum class Kind { kMade, kFailed, kCancelled };
  Kind kind = Kind::kFailed;
  std::string reason;  // why it failed
  // kMade: where the member is read from, when not from the destination
  // the maker was given.
  std::shared_ptr<const OpenMember> elsewhere = nullptr;
};

// Makes `member` of the file `source` at `destination`; asks
// `stopRequested` while the program runs and stops it when that says so.
using MemberMaker = std::function<MakeOutcome(
    const std::string& source, const std::string& member,
    const std::string& destination, const std::function<bool()>& stopRequested)>;

// What an opener gets: an open descriptor of the made member, or the
// error number to answer (EIO with the reason, EINTR).
struct ObtainedMember {
  int descriptor = -1;
  int error = 0;
  std::string reason;
  // Which make of the member it is: the same number, the same bytes.
  std::uint64_t generation = 0;
  // The member is the first `size` bytes of the descriptor's file.
  std::int64_t size = 0;
};

// The mount's table of makes: for each member of each file, the newest
// make, the one under way and why the last one failed. (The user's cache of
// made members, which outlives the mount, is quendrix::MemberCache.)
class MemberMakes {
 public:
  // How often an opener that waits looks whether it was interrupted.
  static constexpr std::chrono::milliseconds kInterruptPoll{20};
  // How long the last interrupted opener waits for the program to be gone
  // before it answers anyway.
  static constexpr std::chrono::seconds kCancelWait{10};

  // `folder` must exist and be the table's own; it is removed at Shutdown.
  MemberMakes(std::string folder, MemberMaker maker);
  ~MemberMakes();
  MemberMakes(const MemberMakes&) = delete;
  MemberMakes& operator=(const MemberMakes&) = delete;

  // The size of the member made for `validity`, when there is one. Makes
  // nothing, so a listing never starts a program.
  std::optional<std::int64_t> MadeSize(const std::string& source,
                                       const std::string& member,
                                       const Validity& validity) const;

  // The member made for `validity`, made now when there is none. Openers
  // that ask at the same time share one make. `interrupted` is asked while
  // the opener waits: an interrupted opener gets EINTR at once, and when no
  // other opener waits any more the program is stopped; the last one
  // answers once the program is gone. A failed make gives EIO and its
  // reason to everyone who waited for it; the next open tries again.
  ObtainedMember Obtain(const std::string& source, const std::string& member,
                        const Validity& validity,
                        const std::function<bool()>& interrupted);

  // Why the newest make of the member failed, while its source file and the
  // rules are as they were then (`validity`); nothing once a later make
  // succeeded, or when no make failed.
  std::optional<std::string> FailureReason(const std::string& source,
                                           const std::string& member,
                                           const Validity& validity) const;

  // Stops the makes under way, waits for them, and removes the folder with
  // every made member. Obtain answers EIO afterwards.
  void Shutdown();

 private:
  struct Job;
  struct Failure {
    std::uint64_t serial = 0;  // of the make that failed
    Validity validity;
    std::string reason;
  };
  struct Entry {
    std::shared_ptr<Job> made;     // the newest member made
    std::shared_ptr<Job> pending;  // the make under way for the newest validity
    std::optional<Failure> failure;  // a make newer than `made` that failed
  };

  std::shared_ptr<Job> StartJob(const std::string& key, const std::string& source,
                                const std::string& member, const Validity& validity);
  void RunJob(const std::shared_ptr<Job>& job, const std::string& key,
              const std::string& source, const std::string& member);
  void ReapWorkers();
  static ObtainedMember OpenMade(const Job& job);

  const std::string folder_;
  const MemberMaker maker_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Entry> entries_;
  std::map<std::thread::id, std::thread> workers_;
  std::vector<std::thread::id> finished_;
  std::uint64_t serial_ = 0;
  bool shutDown_ = false;
};

}  // namespace quendrix::host::mount
