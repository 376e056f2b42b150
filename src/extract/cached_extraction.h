// Extraction through the cache of made members (extract/member_cache.h):
// a member already made is copied from its entry, one not made yet is made
// once however many hosts ask for it at the same time, and kept.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "extract/extraction.h"
#include "extract/member_cache.h"

namespace quendrix {

// The key of the member that `entry` makes from the source file
// `sourcePath`: the command as it runs but for the destination, with the
// programs it runs and their state. Nothing when the source file cannot be
// examined: a member of no known file is never kept.
std::optional<MemberKey> MemberKeyOf(std::string_view sourcePath, const Entry& entry,
                                     const ProgramLookup& lookup,
                                     platform::TextEncoding encoding);

// The digest that names the entry of that member in the cache; nothing
// when the source file cannot be examined.
std::optional<Sha256Digest> MemberDigestOf(std::string_view sourcePath, const Entry& entry,
                                           const ProgramLookup& lookup,
                                           platform::TextEncoding encoding);

// What one extraction through the cache did, for a report.
enum class CacheUse {
  kNone,    // the member was made without the cache
  kCopied,  // the member came from its entry; no program ran
  kKept,    // the member was made and kept
  kMade,    // the member was made but not kept (why: the warning)
};

// Makes the member of `request` (whose source file is `sourcePath`) as
// ExtractEntry does, through `cache`: from the member's entry when a whole
// one is there, reporting progress as it copies and honouring a stop;
// otherwise by its program, under the entry's lock, so that a second maker
// waits (its progress report keeps being called with 0, and may stop the
// wait) and then takes the entry the first made. A member is kept only when
// it was made and its source file is the same after the make as before; a
// failed make is never kept. A cache that cannot be used, or a member that
// cannot be kept (a full disk, say), leaves the member made as without a
// cache; `warn` is told why.
int ExtractThroughCache(const ExtractionRequest& request, const ExtractionServices& services,
                        std::string_view sourcePath, const MemberCache& cache,
                        MemberFailure* failure,
                        const std::function<void(const std::string&)>& warn,
                        CacheUse* use = nullptr);

}  // namespace quendrix
