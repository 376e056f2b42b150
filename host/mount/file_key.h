// What tells that a file is still the one it was: a made member and a
// listing stay valid while their source file and the rules file keep the
// same key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quendrix::host::mount {

struct FileKey {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  // The status-change time cannot be set back by a program, so even an
  // edit that restores the modification time is seen.
  std::int64_t changedNanoseconds = 0;

  bool operator==(const FileKey&) const = default;
};

// The key of the file at `path`, following symbolic links; nothing when
// there is no file.
std::optional<FileKey> KeyOfFile(const std::string& path);

// A source file as the rules saw it: the source's key and the key of the
// rules file at each place the plug-in looks (nothing where there is none,
// which is a state of its own: a rules file put into an earlier place
// takes over from a later one).
struct Validity {
  FileKey source;
  std::vector<std::optional<FileKey>> rules;

  bool operator==(const Validity&) const = default;
};

}  // namespace quendrix::host::mount
