#include "commands/cache_command.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cache/member_keys.h"
#include "extract/member_cache.h"
#include "platform/platform.h"
#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

namespace fs = std::filesystem;

constexpr platform::TextEncoding kCacheTextEncoding = platform::TextEncoding::kUtf8;

std::string WithoutSeparator(const std::string& folder) {
  return folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
}

// Whether anything (a folder, a file, a link, even a broken one) stands
// where the cache folder goes: only then is it examined, so that showing
// an empty cache makes no folder.
bool SomethingAt(const std::string& folder) {
  std::error_code error;
  return fs::exists(fs::symlink_status(PathOf(WithoutSeparator(folder)), error));
}

void TellRefusedFolder(const MemberCache& cache, const std::string& problem, std::ostream& err) {
  err << "quendrix cache: the cache folder " << cache.folder() << " cannot be used: " << problem
      << ". Nothing is kept in it: the members of sections with Cache=1 are made every time"
         " (remove or rename what stands there, and the plug-in makes the folder anew)\n";
}

// What the limit file holds, on one line.
std::string Shown(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  std::string shown;
  for (const char c : text) {
    shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  }
  return shown;
}

int ShowCap(const MemberCache& cache, std::ostream& out, std::ostream& err) {
  const MemberCache::CapSetting setting = cache.CapInUse();
  using Source = MemberCache::CapSetting::Source;
  out << "cap         " << SizeInWords(setting.cap);
  if (setting.source == Source::kLimitFile) {
    out << ", set in " << cache.LimitPath() << "\n"
        << "            quendrix cache limit SIZE changes it, quendrix cache limit "
        << kDefaultLimitWord << " removes it\n";
    return kExitDone;
  }
  out << ", the default: the smaller of 2 GiB and a tenth of the free space";
  if (setting.freeBytes) {
    out << " (" << SizeInWords(static_cast<std::int64_t>(*setting.freeBytes)) << " free)";
  }
  out << "\n            quendrix cache limit SIZE sets another, in " << cache.LimitPath() << "\n";
  if (setting.source == Source::kBadLimitFile) {
    err << "quendrix cache: " << cache.LimitPath() << " holds \"" << Shown(setting.limitText)
        << "\", which is no size, so the default cap applies: set the cap with quendrix cache "
           "limit SIZE (500M, 2G)\n";
    return kExitMemberFailed;
  }
  return kExitDone;
}

std::string EntriesInWords(std::size_t entries) {
  return std::to_string(entries) + (entries == 1 ? " entry" : " entries");
}

int Show(const MemberCache& cache, std::ostream& out, std::ostream& err) {
  out << "folder      " << cache.folder();
  if (!SomethingAt(cache.folder())) {
    out << " (not made yet: nothing was kept so far)\n";
  } else if (const std::optional<std::string> problem = cache.Prepare()) {
    out << "\n";
    TellRefusedFolder(cache, *problem, err);
    return kExitMemberFailed;
  } else {
    out << "\n";
  }
  const MemberCache::Contents contents = cache.Count();
  out << "entries     " << contents.entries;
  if (contents.entries > 0) out << ", " << SizeInWords(contents.bytes) << " in all";
  out << "\n";
  return ShowCap(cache, out, err);
}

int Clear(const MemberCache& cache, const std::optional<std::string>& file, std::ostream& out,
          std::ostream& err) {
  if (!SomethingAt(cache.folder())) {
    out << "removed nothing: the cache folder " << cache.folder() << " is not made yet\n";
    return kExitDone;
  }
  // A link in place of the folder would lead the removals elsewhere.
  if (const std::optional<std::string> problem = cache.Prepare()) {
    TellRefusedFolder(cache, *problem, err);
    return kExitMemberFailed;
  }
  const std::size_t removed =
      cache.Clear(file ? std::optional<std::string_view>(*file) : std::nullopt);
  out << "removed " << EntriesInWords(removed);
  if (file) out << " of " << *file;
  out << " from " << cache.folder() << "\n";
  if (file && removed == 0) {
    out << "            (a file's entries are found by the path it was opened by: one opened "
           "through a link, or by another path, has entries of its own)\n";
  }
  return kExitDone;
}

// Writes the limit file aside and renames it into place, so that a maker
// that reads it meanwhile never reads half a size.
std::optional<std::string> WriteLimit(const MemberCache& cache, std::string_view size) {
  const std::string aside = cache.LimitPath() + ".new";
  {
    std::ofstream file(PathOf(aside), std::ios::binary | std::ios::trunc);
    file << size << "\n";
    file.close();
    if (!file) return "it cannot be written";
  }
  if (!platform::RenameReplacing(aside, cache.LimitPath(), kCacheTextEncoding)) {
    std::error_code error;
    fs::remove(PathOf(aside), error);
    return "it cannot be put in place";
  }
  return std::nullopt;
}

int Limit(const MemberCache& cache, const std::string& size, std::ostream& out,
          std::ostream& err) {
  if (size == kDefaultLimitWord) {
    if (SomethingAt(cache.folder())) {
      if (const std::optional<std::string> problem = cache.Prepare()) {
        TellRefusedFolder(cache, *problem, err);
        return kExitMemberFailed;
      }
      std::error_code error;
      fs::remove(PathOf(cache.LimitPath()), error);
      if (error) {
        err << "quendrix cache: " << cache.LimitPath() << " cannot be removed: "
            << error.message() << "\n";
        return kExitMemberFailed;
      }
    }
    return ShowCap(cache, out, err);
  }
  std::string_view trimmed = size;
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
  if (!ParseCacheSize(trimmed)) {
    err << "quendrix cache limit: \"" << size
        << "\" is no size: give a number of bytes, or a number followed by K, M, G or T "
           "(powers of 1024), such as 500M or 2G; or "
        << kDefaultLimitWord << " for the smaller of 2 GiB and a tenth of the free space\n";
    return kExitRefused;
  }
  if (const std::optional<std::string> problem = cache.Prepare()) {
    TellRefusedFolder(cache, *problem, err);
    return kExitMemberFailed;
  }
  if (const std::optional<std::string> problem = WriteLimit(cache, trimmed)) {
    err << "quendrix cache: " << cache.LimitPath() << ": " << *problem << "\n";
    return kExitMemberFailed;
  }
  // The cap holds from now on, not only after the next make.
  const std::size_t before = cache.Count().entries;
  cache.Trim();
  const int code = ShowCap(cache, out, err);
  const MemberCache::Contents now = cache.Count();
  out << "entries     " << now.entries;
  if (now.entries > 0) out << ", " << SizeInWords(now.bytes) << " in all";
  if (now.entries < before) {
    out << " (" << before - now.entries << " went, the least recently used first)";
  }
  out << "\n";
  return code;
}

}  // namespace

std::string SizeInWords(std::int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  const bool whole = std::fabs(value - std::round(value)) < 0.05;
  std::snprintf(text, sizeof text, whole ? "%.0f %s" : "%.1f %s", value, kUnits[unit]);
  return text;
}

int RunCacheCommand(const CacheRequest& request, std::ostream& out, std::ostream& err) {
  const std::optional<MemberCache> cache = UsersMemberCache();
  if (!cache) {
    err << "quendrix cache: there is no cache folder: it is " << WhereTheCacheFolderIs()
        << ". Nothing is kept: the members of sections with Cache=1 are made every time\n";
    return kExitMemberFailed;
  }
  switch (request.action) {
    case CacheRequest::Action::kShow:
      return Show(*cache, out, err);
    case CacheRequest::Action::kClear:
      return Clear(*cache, request.file, out, err);
    case CacheRequest::Action::kLimit:
      return Limit(*cache, request.size, out, err);
  }
  return kExitRefused;
}


namespace {

class CacheVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand(
        "cache",
        "show the cache of made members (of sections with Cache=1): its folder, its entries "
        "and their size, and the cap on it; cache clear and cache limit change it");
    command->require_subcommand(0, 1);
    clear_ = command->add_subcommand(
        "clear", "remove every entry of the cache, or the entries of the members of FILE");
    clearFileOption_ = clear_->add_option(
        "FILE", clearFile_, "the file whose members' entries go (it need not exist any more)");
    limit_ = command->add_subcommand(
        "limit",
        "set the cap on the cache's size, kept in limit.txt in its folder, and trim the cache "
        "to it; default: the smaller of 2 GiB and a tenth of the free space");
    limit_
        ->add_option("SIZE", request_.size,
                     "bytes, or a number with K, M, G or T (powers of 1024): 500M, 2G; or "
                     "default")
        ->required();
    return command;
  }

  int Run(const CommandContext& context) override {
    if (clear_->parsed()) {
      request_.action = CacheRequest::Action::kClear;
      if (clearFileOption_->count() > 0) {
        if (clearFile_.empty()) {
          context.err << "quendrix cache clear: FILE is empty (without FILE every entry goes)\n";
          return kExitRefused;
        }
        // The plug-in keeps a member under the path a host opened its file
        // by, which every command makes absolute this way.
        request_.file = AbsolutePath(clearFile_);
      }
    } else if (limit_->parsed()) {
      request_.action = CacheRequest::Action::kLimit;
    }
    return RunCacheCommand(request_, context.out, context.err);
  }

 private:
  CacheRequest request_;
  CLI::App* clear_ = nullptr;
  CLI::App* limit_ = nullptr;
  CLI::Option* clearFileOption_ = nullptr;
  std::string clearFile_;
};

}  // namespace

std::unique_ptr<HostCommand> CacheCommand() { return std::make_unique<CacheVerb>(); }

}  // namespace quendrix::host
