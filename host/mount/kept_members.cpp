#include "mount/kept_members.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace quendrix::host::mount {
namespace {

// Reads all of `count` bytes at `offset`; false when the file has fewer.
bool ReadAt(int descriptor, char* bytes, std::size_t count, off_t offset) {
  while (count > 0) {
    const ssize_t got = pread(descriptor, bytes, count, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    count -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

}  // namespace

KeptMembers::KeptMembers(std::string pluginDir, std::function<void(const std::string&)> log)
    : pluginDir_(std::move(pluginDir)), log_(std::move(log)) {}

std::optional<KeptMembers::Place> KeptMembers::PlaceOf(const std::string& source,
                                                       const std::string& member) const {
  // The rules as the plug-in reads them at this open: the section's Cache
  // key and the member's command are those of the make to come.
  const std::optional<FileRules> rules =
      LookUpFileRules(source, pluginDir_, HostLookupServices());
  if (!rules || !IsOn(rules->settings.cacheFlag)) return std::nullopt;
  const MemberEntry entry = EntryOfMember(*rules, NumberOfMemberNamed(*rules, member), member);
  if (!entry.CanMake()) return std::nullopt;
  std::optional<MemberCache> cache = UsersMemberCache();
  if (!cache) return std::nullopt;
  // A folder of another user's, or a link in its place, is never read
  // from, as the plug-in never writes to it.
  if (const std::optional<std::string> problem = cache->Prepare()) {
    if (!toldUnusable_.exchange(true) && log_) {
      log_("the cache of made members is not used: its folder " + cache->folder() +
           " cannot be used: " + *problem);
    }
    return std::nullopt;
  }
  const std::optional<Sha256Digest> digest = MemberDigest(source, *entry.entry, pluginDir_);
  if (!digest) return std::nullopt;
  return Place{std::move(*cache), *digest};
}

std::shared_ptr<const OpenMember> KeptMembers::OpenEntry(const Place& place) {
  // Opened first and examined through the descriptor: the entry read is
  // the one examined, whatever replaces or removes its name meanwhile.
  const int descriptor =
      open(place.cache.EntryPath(place.digest).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (descriptor < 0) return nullptr;
  // Closes the descriptor unless it was handed on.
  struct Closer {
    int descriptor;
    ~Closer() {
      if (descriptor >= 0) close(descriptor);
    }
  } closer{descriptor};
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size < static_cast<off_t>(kEntryFooterSize)) {
    return nullptr;
  }
  std::string footer(kEntryFooterSize, '\0');
  if (!ReadAt(descriptor, footer.data(), footer.size(),
              status.st_size - static_cast<off_t>(kEntryFooterSize))) {
    return nullptr;
  }
  const std::optional<std::int64_t> size =
      SizeInFooter(footer, place.digest, static_cast<std::int64_t>(status.st_size));
  if (!size) return nullptr;
  // Used now: the cache lets the least recently used entries go first.
  futimens(descriptor, nullptr);
  auto opened = std::make_shared<const OpenMember>(descriptor, *size);
  closer.descriptor = -1;
  return opened;
}

MakeOutcome MakeThroughKeptMembers(const KeptMembers& kept, const std::string& source,
                                   const std::string& member, const std::string& destination,
                                   const std::function<MakeOutcome()>& make) {
  const std::optional<KeptMembers::Place> place = kept.PlaceOf(source, member);
  if (place) {
    if (std::shared_ptr<const OpenMember> entry = KeptMembers::OpenEntry(*place)) {
      return {MakeOutcome::Kind::kMade, {}, std::move(entry)};
    }
  }
  MakeOutcome made = make();
  if (made.kind != MakeOutcome::Kind::kMade || !place) return made;
  if (std::shared_ptr<const OpenMember> entry = KeptMembers::OpenEntry(*place)) {
    std::error_code error;
    std::filesystem::remove(destination, error);
    made.elsewhere = std::move(entry);
  }
  return made;
}

}  // namespace quendrix::host::mount
