#include "extract/member_cache.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <limits>
#include <thread>

namespace quendrix {
namespace {

constexpr std::string_view kEntrySuffix = ".entry";
constexpr std::string_view kPartialMark = ".partial-";
constexpr std::string_view kLockPrefix = "lock-";
// A piece written aside that is this old belongs to a make that ended
// without finishing it (a crash).
constexpr std::int64_t kStalePieceSeconds = 3600;

void AddField(Sha256& sha, std::string_view name, std::string_view value) {
  // Lengths first, so that no two keys read as the same bytes.
  sha.Add(name);
  sha.Add("=");
  sha.Add(std::to_string(value.size()));
  sha.Add(":");
  sha.Add(value);
  sha.Add("\n");
}

std::string StateText(const platform::FileState& state) {
  return std::to_string(state.size) + " " + std::to_string(state.modified) + " " +
         std::to_string(state.changed) + " " + std::to_string(state.identity);
}

void PutNumber(std::string& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetNumber(std::string_view bytes) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

std::string DigestBytes(const Sha256Digest& digest) {
  return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

bool IsEntryName(std::string_view name) { return name.ends_with(kEntrySuffix); }
bool IsPieceName(std::string_view name) { return name.find(kPartialMark) != std::string_view::npos; }

// A name for a piece written aside that no other maker, in this process or
// another, picks at the same time.
std::string PieceName(const Sha256Digest& digest) {
  static std::atomic<std::uint64_t> counter{0};
  const auto now = static_cast<std::uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  return HexOf(digest, 16) + std::string(kPartialMark) +
         std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()) ^ now) + "-" +
         std::to_string(counter++);
}

}  // namespace

Sha256Digest DigestOf(const MemberKey& key) {
  Sha256 sha;
  sha.Add("quendrix member 1\n");
  AddField(sha, "source", key.sourcePath);
  AddField(sha, "state", StateText(key.source));
  AddField(sha, "command", key.command);
  AddField(sha, "member", key.member);
  for (const MemberKey::Program& program : key.programs) {
    AddField(sha, "program", program.path);
    AddField(sha, "program-state", program.state ? StateText(*program.state) : "none");
  }
  return sha.Finish();
}

std::string EntryFooter(const Sha256Digest& digest, const Sha256Digest& source,
                        std::int64_t size) {
  std::string footer(kEntryMagic);
  footer += DigestBytes(digest);
  footer += DigestBytes(source);
  PutNumber(footer, static_cast<std::uint64_t>(size));
  return footer;
}

std::optional<std::int64_t> SizeInFooter(std::string_view footer, const Sha256Digest& digest,
                                         std::int64_t fileSize) {
  if (footer.size() != kEntryFooterSize || !footer.starts_with(kEntryMagic)) return std::nullopt;
  if (footer.substr(kEntryMagic.size(), 32) != DigestBytes(digest)) return std::nullopt;
  const auto size = static_cast<std::int64_t>(GetNumber(footer.substr(kEntryFooterSize - 8)));
  if (size < 0 || size + static_cast<std::int64_t>(kEntryFooterSize) != fileSize) {
    return std::nullopt;
  }
  return size;
}

std::optional<Sha256Digest> SourceInFooter(std::string_view footer) {
  if (footer.size() != kEntryFooterSize || !footer.starts_with(kEntryMagic)) return std::nullopt;
  Sha256Digest source{};
  std::memcpy(source.data(), footer.data() + kEntryMagic.size() + 32, 32);
  return source;
}

std::int64_t DefaultCacheCap(std::optional<std::uint64_t> freeBytes) {
  if (!freeBytes) return kDefaultCacheCap;
  return std::min<std::int64_t>(kDefaultCacheCap, static_cast<std::int64_t>(*freeBytes / 10));
}

std::optional<std::int64_t> ParseCacheSize(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.remove_suffix(1);
  }
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int shift = 0;
  switch (text.back()) {
    case 'K': case 'k': shift = 10; break;
    case 'M': case 'm': shift = 20; break;
    case 'G': case 'g': shift = 30; break;
    case 'T': case 't': shift = 40; break;
    default: break;
  }
  if (shift != 0) text.remove_suffix(1);
  if (text.empty() || text.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  // 999999999999T would wrap round to a negative cap, which empties the
  // cache at every make.
  if (value > (std::numeric_limits<std::int64_t>::max() >> shift)) return std::nullopt;
  return value << shift;
}

std::string CacheFolder(platform::PathStyle style,
                        const std::function<std::string(std::string_view)>& folderVariable) {
  if (style == platform::PathStyle::kWindows) {
    const std::string local = folderVariable("LOCALAPPDATA");
    if (local.empty()) return {};
    return local + (local.ends_with('\\') ? "" : "\\") + "quendrix\\cache\\";
  }
  const std::string cache = folderVariable("XDG_CACHE_HOME");
  if (!cache.empty() && cache.front() == '/') {
    return cache + (cache.ends_with('/') ? "" : "/") + "quendrix/members/";
  }
  const std::string home = folderVariable("HOME");
  if (home.empty() || home.front() != '/') return {};
  return home + (home.ends_with('/') ? "" : "/") + ".cache/quendrix/members/";
}

MemberCache::MemberCache(std::string folder, platform::TextEncoding encoding)
    : folder_(std::move(folder)), encoding_(encoding) {}

std::optional<std::string> MemberCache::Prepare() const {
  return platform::MakePrivateFolder(folder_.substr(0, folder_.size() - 1), encoding_);
}

std::string MemberCache::EntryPath(const Sha256Digest& digest) const {
  return folder_ + HexOf(digest, 16) + std::string(kEntrySuffix);
}

std::string MemberCache::LockPath(const Sha256Digest& digest) const {
  return folder_ + std::string(kLockPrefix) + HexOf(digest, 1);
}

std::optional<std::int64_t> MemberCache::Find(const Sha256Digest& digest, bool use) const {
  const std::string path = EntryPath(digest);
  const std::optional<platform::FileTail> tail =
      platform::ReadFileTail(path, kEntryFooterSize, encoding_);
  if (!tail) return std::nullopt;
  const std::optional<std::int64_t> size = SizeInFooter(tail->bytes, digest, tail->size);
  if (size && use) platform::TouchFile(path, encoding_);
  return size;
}

std::optional<platform::FileLock> MemberCache::Lock(const Sha256Digest& digest,
                                                    const std::function<bool()>& keepWaiting,
                                                    std::chrono::milliseconds interval,
                                                    LockRefusal& refusal) const {
  const std::string path = LockPath(digest);
  for (;;) {
    bool busy = false;
    platform::FileLock lock = platform::FileLock::TryTake(path, encoding_, &busy);
    if (lock.IsHeld()) return lock;
    // Only another maker is worth waiting for: a lock file that cannot be
    // opened (its folder removed meanwhile) never comes free.
    if (!busy) {
      refusal = LockRefusal::kUnavailable;
      return std::nullopt;
    }
    if (keepWaiting && !keepWaiting()) {
      refusal = LockRefusal::kStopped;
      return std::nullopt;
    }
    std::this_thread::sleep_for(interval);
  }
}

std::optional<std::string> MemberCache::Keep(const Sha256Digest& digest,
                                             std::string_view sourcePath,
                                             const std::string& made) const {
  const std::optional<platform::FileState> state = platform::StateOfFile(made, encoding_);
  if (!state) return "the member's file is gone";
  const std::string piece = folder_ + PieceName(digest);
  if (platform::CopyFilePrefix(made, piece, state->size, {}, true, encoding_) !=
      platform::CopyOutcome::kCopied) {
    return "it could not be copied into " + folder_ + " (is the disk full?)";
  }
  // The member may have changed while it was copied: the entry holds what
  // the copy read, and must say so.
  const std::optional<platform::FileState> copied = platform::StateOfFile(piece, encoding_);
  if (!copied || copied->size != state->size ||
      !platform::AppendBytes(piece, EntryFooter(digest, Sha256Of(sourcePath), state->size),
                             encoding_) ||
      !platform::RenameReplacing(piece, EntryPath(digest), encoding_)) {
    platform::RemoveFile(piece, encoding_);
    return "it could not be written into " + folder_ + " (is the disk full?)";
  }
  return std::nullopt;
}

std::int64_t MemberCache::Cap() const { return CapInUse().cap; }

MemberCache::CapSetting MemberCache::CapInUse() const {
  constexpr std::size_t kLongestLimit = 64;
  CapSetting setting;
  const std::string path = LimitPath();
  if (const std::optional<platform::FileState> state = platform::StateOfFile(path, encoding_)) {
    setting.source = CapSetting::Source::kBadLimitFile;
    const std::optional<platform::FileTail> limit = platform::ReadFileTail(
        path, static_cast<std::size_t>(std::min<std::int64_t>(state->size, kLongestLimit)),
        encoding_);
    if (limit) setting.limitText = limit->bytes;
    if (limit && state->size <= static_cast<std::int64_t>(kLongestLimit)) {
      if (const std::optional<std::int64_t> cap = ParseCacheSize(limit->bytes)) {
        setting.source = CapSetting::Source::kLimitFile;
        setting.cap = *cap;
        return setting;
      }
    }
  }
  setting.freeBytes = platform::FreeSpaceAt(folder_, encoding_);
  setting.cap = DefaultCacheCap(setting.freeBytes);
  return setting;
}

void MemberCache::Trim() const {
  std::optional<std::vector<platform::FolderEntry>> files =
      platform::ListFolder(folder_, encoding_);
  if (!files) return;
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  const std::int64_t unusedAge =
      std::chrono::duration_cast<std::chrono::seconds>(kUnusedEntryAge).count();
  std::vector<platform::FolderEntry> entries;
  for (platform::FolderEntry& file : *files) {
    if (IsPieceName(file.name)) {
      if (now - file.modifiedUnixSeconds > kStalePieceSeconds) {
        platform::RemoveFile(folder_ + file.name, encoding_);
      }
    } else if (IsEntryName(file.name)) {
      if (now - file.modifiedUnixSeconds > unusedAge) {
        platform::RemoveFile(folder_ + file.name, encoding_);
      } else {
        entries.push_back(std::move(file));
      }
    }
  }
  std::int64_t total = 0;
  for (const platform::FolderEntry& entry : entries) total += entry.size;
  const std::int64_t cap = Cap();
  if (total <= cap) return;
  // The least recently used first: a hit marks its entry as written now.
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.modifiedUnixSeconds < b.modifiedUnixSeconds;
  });
  for (const platform::FolderEntry& entry : entries) {
    if (total <= cap) break;
    if (platform::RemoveFile(folder_ + entry.name, encoding_)) total -= entry.size;
  }
}

MemberCache::Contents MemberCache::Count() const {
  Contents contents;
  if (const auto files = platform::ListFolder(folder_, encoding_)) {
    for (const platform::FolderEntry& file : *files) {
      if (!IsEntryName(file.name)) continue;
      ++contents.entries;
      contents.bytes += file.size;
    }
  }
  return contents;
}

std::size_t MemberCache::Clear(std::optional<std::string_view> sourcePath) const {
  std::size_t removed = 0;
  const std::optional<Sha256Digest> source =
      sourcePath ? std::optional(Sha256Of(*sourcePath)) : std::nullopt;
  if (const auto files = platform::ListFolder(folder_, encoding_)) {
    for (const platform::FolderEntry& file : *files) {
      const std::string path = folder_ + file.name;
      if (IsPieceName(file.name) && !source) {
        platform::RemoveFile(path, encoding_);
        continue;
      }
      if (!IsEntryName(file.name)) continue;
      if (source) {
        const std::optional<platform::FileTail> tail =
            platform::ReadFileTail(path, kEntryFooterSize, encoding_);
        if (!tail || SourceInFooter(tail->bytes) != source) continue;
      }
      if (platform::RemoveFile(path, encoding_)) ++removed;
    }
  }
  return removed;
}

}  // namespace quendrix
