// The cache of made members: a member of a section with Cache=1, once made,
// is kept in the user's cache folder, and a later extraction of the same
// member, by any host, copies it from there instead of running its program.
//
// An entry is one file named by the first 16 bytes of the SHA-256 of its
// key in hexadecimal: the member's bytes, then a footer of fixed size that
// holds the whole digest and the member's size, so that an entry is taken
// only for its own key and a size is known from the file's size alone. It
// is written aside and renamed into place, so that no reader ever sees a
// half entry. One make at a time per entry: a lock (one of 256 lock files,
// by the digest's first byte) is held while a member is made or taken, and
// whoever waits for it finds the entry the first made.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/sha256.h"
#include "platform/platform.h"

namespace quendrix {

// What makes a member the same: its source file (path and state), the
// command as it runs but for the destination, its name, and the programs
// the command runs (their state, when they are files).
struct MemberKey {
  std::string sourcePath;
  platform::FileState source;
  std::string command;
  std::string member;
  struct Program {
    std::string path;
    std::optional<platform::FileState> state;
  };
  std::vector<Program> programs;
};

Sha256Digest DigestOf(const MemberKey& key);

// The footer after a member's bytes in its entry: a mark, the key's
// digest, the digest of the source file's path (so that the entries of one
// file can be found) and the member's size.
inline constexpr std::string_view kEntryMagic = "quendrix-entry-1";
inline constexpr std::size_t kEntryFooterSize = 16 + 32 + 32 + 8;

std::string EntryFooter(const Sha256Digest& digest, const Sha256Digest& source,
                        std::int64_t size);
// The member's size, when `footer` is the footer of an entry of `digest`
// in a file of `fileSize` bytes; nothing when it is not.
std::optional<std::int64_t> SizeInFooter(std::string_view footer, const Sha256Digest& digest,
                                         std::int64_t fileSize);
// The source digest of a footer; nothing when it is no footer.
std::optional<Sha256Digest> SourceInFooter(std::string_view footer);

// Bounds of the cache: entries beyond `maxBytes` in all go, the least
// recently used first; entries unused for `maxAge` go too.
inline constexpr std::int64_t kDefaultCacheCap = std::int64_t{2} << 30;
inline constexpr std::chrono::hours kUnusedEntryAge{24 * 30};

// The cap when none is set: the smaller of 2 GiB and a tenth of the free
// space where the cache lives.
std::int64_t DefaultCacheCap(std::optional<std::uint64_t> freeBytes);

// A size as the limit file writes it: bytes, or a number with K, M, G or T
// (powers of 1024); nothing when it cannot be read or is past what 63 bits
// hold.
std::optional<std::int64_t> ParseCacheSize(std::string_view text);

// The folder of the cache on this system, given how to read environment
// variables that name folders: $XDG_CACHE_HOME/quendrix/members/ (an
// absolute path), else ~/.cache/quendrix/members/; on Windows
// %LOCALAPPDATA%\quendrix\cache\. Empty when there is no such place.
std::string CacheFolder(platform::PathStyle style,
                        const std::function<std::string(std::string_view)>& folderVariable);

// The name of the file in the cache folder that holds its cap.
inline constexpr std::string_view kCacheLimitFile = "limit.txt";

class MemberCache {
 public:
  // The cache in `folder` (ending in the separator), whose paths are
  // written in `encoding`.
  MemberCache(std::string folder, platform::TextEncoding encoding);

  const std::string& folder() const { return folder_; }
  // Makes the folder, for this user alone; why it cannot be used, or nothing.
  std::optional<std::string> Prepare() const;

  std::string EntryPath(const Sha256Digest& digest) const;
  std::string LockPath(const Sha256Digest& digest) const;

  // The size of the member whose entry is whole; nothing otherwise. A hit
  // marks the entry as used now when `use` is set.
  std::optional<std::int64_t> Find(const Sha256Digest& digest, bool use) const;

  // Why Lock gave no lock.
  enum class LockRefusal {
    kStopped,      // `keepWaiting` said stop
    kUnavailable,  // the lock file cannot be had at all (the folder went)
  };

  // Takes the lock of `digest`'s entry, waiting for another maker as long as
  // `keepWaiting` says yes, asking it every `interval`; nothing, with why in
  // `refusal`, when it said stop or the lock cannot be had at all.
  std::optional<platform::FileLock> Lock(const Sha256Digest& digest,
                                         const std::function<bool()>& keepWaiting,
                                         std::chrono::milliseconds interval,
                                         LockRefusal& refusal) const;

  // Keeps the member made at `made` from the source file `sourcePath` as
  // `digest`'s entry (a copy written aside, then renamed into place); why
  // not, when it could not be kept.
  std::optional<std::string> Keep(const Sha256Digest& digest, std::string_view sourcePath,
                                  const std::string& made) const;

  // Removes entries past the cap (the least recently used first), entries
  // unused for kUnusedEntryAge, and pieces that a crash left half written.
  void Trim() const;

  // The cap: the limit file's, else DefaultCacheCap.
  std::int64_t Cap() const;

  // The cap and where it comes from, for a report.
  struct CapSetting {
    enum class Source {
      kDefault,    // no limit file: DefaultCacheCap
      kLimitFile,  // the limit file's size
      kBadLimitFile,  // a limit file that holds no size (DefaultCacheCap)
    };
    std::int64_t cap = 0;
    Source source = Source::kDefault;
    // What a limit file holds (its last 64 bytes, when it is longer).
    std::string limitText;
    // The free space the default is taken from; nothing when unknown.
    std::optional<std::uint64_t> freeBytes;
  };
  CapSetting CapInUse() const;
  std::string LimitPath() const { return folder_ + std::string(kCacheLimitFile); }

  struct Contents {
    std::size_t entries = 0;
    std::int64_t bytes = 0;
  };
  Contents Count() const;

  // Removes every entry (and the pieces of entries), or with
  // `sourcePath` the entries made from that file; how many went.
  std::size_t Clear(std::optional<std::string_view> sourcePath = std::nullopt) const;

 private:
  std::string folder_;
  platform::TextEncoding encoding_;
};

}  // namespace quendrix
