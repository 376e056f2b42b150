// quendrix cache: the user's cache of made members (the members of sections
// with Cache=1, which the plug-in keeps): where it is, what it holds and its
// cap; removing all of it or one file's entries; setting the cap. It reaches
// the cache directly, without the plug-in.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "exit_codes.h"
#include "host_command.h"

namespace quendrix::host {

struct CacheRequest {
  enum class Action {
    kShow,   // quendrix cache
    kClear,  // quendrix cache clear [FILE]
    kLimit,  // quendrix cache limit SIZE
  };
  Action action = Action::kShow;
  // kClear: the file whose entries go, absolute as every command hands a
  // file to the plug-in (the entries are found by that path); nothing for
  // every entry.
  std::optional<std::string> file;
  // kLimit: a size (500M, 2G, 1048576) or kDefaultLimitWord.
  std::string size;
};

// The word that takes the cap back to its default.
inline constexpr const char* kDefaultLimitWord = "default";

// kExitDone; kExitRefused for a size that is none; kExitMemberFailed when
// there is no cache folder, the folder cannot be used (another user's, a
// link in its place; the reason is told), or its limit file holds no size.
int RunCacheCommand(const CacheRequest& request, std::ostream& out, std::ostream& err);

// The command `cache`, with its own commands `cache clear [FILE]` and
// `cache limit SIZE`, which runs RunCacheCommand.
std::unique_ptr<HostCommand> CacheCommand();

// A size for people: "512 bytes", "1.5 KiB", "500 MiB", "2 GiB".
std::string SizeInWords(std::int64_t bytes);

}  // namespace quendrix::host
