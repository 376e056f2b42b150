#include "extract/cached_extraction.h"

#include "extract/destination.h"
#include "extract/growth_meter.h"
#include "interface/wcx.h"

namespace quendrix {
namespace {

// Copies the member from its entry to the destination the host named,
// reporting what it copied as the growth of the member's file.
int Deliver(const ExtractionRequest& request, const ExtractionServices& services,
            const MemberCache& cache, const Sha256Digest& digest, std::int64_t size) {
  const std::string destination(request.destName);
  GrowthMeter meter(0);
  std::function<bool(std::int64_t)> report;
  if (services.progress) {
    report = [&](std::int64_t copied) { return services.progress(meter.Grown(copied)); };
  }
  switch (platform::CopyFilePrefix(cache.EntryPath(digest), destination, size, report, false,
                                   request.encoding)) {
    case platform::CopyOutcome::kCopied:
      return 0;
    case platform::CopyOutcome::kStopped:
      return E_EABORTED;
    case platform::CopyOutcome::kFailed:
      break;
  }
  return E_ECREATE;
}

}  // namespace

std::optional<MemberKey> MemberKeyOf(std::string_view sourcePath, const Entry& entry,
                                     const ProgramLookup& lookup,
                                     platform::TextEncoding encoding) {
  const std::optional<platform::FileState> source =
      platform::StateOfFile(std::string(sourcePath), encoding);
  if (!source) return std::nullopt;
  MemberKey key;
  key.sourcePath = std::string(sourcePath);
  key.source = *source;
  key.member = entry.fileout;
  key.command = entry.command;
  if (lookup.isProgram) {
    ResolvedCommand resolved = ResolvePrograms(entry.command, entry.programInPluginDir, lookup);
    key.command = std::move(resolved.line);
    for (const ProgramChoice& program : resolved.programs) {
      key.programs.push_back(
          MemberKey::Program{program.path, platform::StateOfFile(program.path, encoding)});
    }
  }
  return key;
}

std::optional<Sha256Digest> MemberDigestOf(std::string_view sourcePath, const Entry& entry,
                                           const ProgramLookup& lookup,
                                           platform::TextEncoding encoding) {
  const std::optional<MemberKey> key = MemberKeyOf(sourcePath, entry, lookup, encoding);
  if (!key) return std::nullopt;
  return DigestOf(*key);
}

int ExtractThroughCache(const ExtractionRequest& request, const ExtractionServices& services,
                        std::string_view sourcePath, const MemberCache& cache,
                        MemberFailure* failure,
                        const std::function<void(const std::string&)>& warn, CacheUse* use) {
  const auto plainly = [&](CacheUse how) {
    if (use != nullptr) *use = how;
    return ExtractEntry(request, services, failure);
  };
  if (request.entry == nullptr || request.settings == nullptr) return plainly(CacheUse::kNone);
  const std::optional<MemberKey> key =
      MemberKeyOf(sourcePath, *request.entry, services.programLookup, request.encoding);
  if (!key) return plainly(CacheUse::kNone);
  if (const std::optional<std::string> problem = cache.Prepare()) {
    if (warn) warn("the cache folder " + cache.folder() + " is not used: " + *problem);
    return plainly(CacheUse::kNone);
  }
  const Sha256Digest digest = DigestOf(*key);
  const auto copied = [&](std::int64_t size) {
    if (use != nullptr) *use = CacheUse::kCopied;
    const std::string folder = [&] {
      const std::string_view name = request.destName;
      const std::size_t last = request.pathStyle == platform::PathStyle::kWindows
                                   ? name.find_last_of("\\/")
                                   : name.rfind('/');
      return last == std::string_view::npos || last == 0 ? std::string()
                                                         : std::string(name.substr(0, last));
    }();
    if (!folder.empty() && services.makeFolder) services.makeFolder(folder);
    // A copy that fails for want of room removes what it wrote, so the room
    // is measured before it.
    const std::optional<std::uint64_t> room =
        folder.empty() ? std::nullopt : platform::FreeSpaceAt(folder, request.encoding);
    const int result = Deliver(request, services, cache, digest, size);
    if (failure != nullptr) {
      *failure = MemberFailure();
      failure->result = result;
      if (result == E_ECREATE) {
        failure->reason = "its copy in the cache could not be delivered";
        if (room && *room < static_cast<std::uint64_t>(size)) {
          failure->reason += "; ";
          failure->reason += kFullDestination;
        }
      }
      if (result == E_EABORTED) failure->reason = "cancelled";
    }
    return result;
  };
  if (const std::optional<std::int64_t> size = cache.Find(digest, true)) return copied(*size);

  // One maker at a time: whoever comes second waits, and then finds the
  // entry the first one kept.
  const std::function<bool()> keepWaiting = [&services] {
    return !services.progress || services.progress(0);
  };
  MemberCache::LockRefusal refusal = MemberCache::LockRefusal::kStopped;
  std::optional<platform::FileLock> lock =
      cache.Lock(digest, keepWaiting, kProgressInterval, refusal);
  if (!lock && refusal == MemberCache::LockRefusal::kUnavailable) {
    if (warn) warn("the cache folder " + cache.folder() + " cannot be used: its lock cannot be had");
    return plainly(CacheUse::kNone);
  }
  if (!lock) {
    if (use != nullptr) *use = CacheUse::kNone;
    if (failure != nullptr) {
      *failure = MemberFailure();
      failure->result = E_EABORTED;
      failure->reason = "cancelled";
    }
    return E_EABORTED;
  }
  if (const std::optional<std::int64_t> size = cache.Find(digest, true)) return copied(*size);

  const int result = ExtractEntry(request, services, failure);
  if (use != nullptr) *use = CacheUse::kMade;
  if (result != 0) return result;
  // A source that changed while its member was made may have given a member
  // of neither version: it is delivered, never kept.
  const std::optional<platform::FileState> after =
      platform::StateOfFile(key->sourcePath, request.encoding);
  if (!after || *after != key->source) {
    if (warn) warn("the member was not kept in the cache: its file changed while it was made");
    return result;
  }
  if (const std::optional<std::string> problem =
          cache.Keep(digest, key->sourcePath, std::string(request.destName))) {
    if (warn) warn("the member was not kept in the cache: " + *problem);
  } else if (use != nullptr) {
    *use = CacheUse::kKept;
  }
  lock.reset();
  cache.Trim();
  return result;
}

}  // namespace quendrix
