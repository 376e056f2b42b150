// The mount's log file: every warning and failure of the user's mounts, in
// the user's state folder, where it is read without a system log daemon.
// Every mount of the user appends to the same file, at the same time, and
// the file stays bounded in size.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace quendrix::host::mount {

// Past this size the older half of the log file is dropped.
inline constexpr std::size_t kMountLogLimit = 1024 * 1024;

// Where the log file lies: $XDG_STATE_HOME/quendrix/mount.log when that is
// an absolute path, else $HOME/.local/state/quendrix/mount.log; empty when
// HOME is no absolute path either. `environment` gives a variable's value,
// empty when it is not set.
std::string MountLogPath(const std::function<std::string(std::string_view)>& environment);

// The same for this process: its environment, and the home folder of the
// user's account when HOME is not set.
std::string MountLogPathOfProcess();

// One entry of the log: "2025-05-01 09:12:03 WHERE: TEXT" and a newline,
// the time as `localTime` gives it. A TEXT of several lines keeps them, each
// after the first indented unless it already is, so that an entry starts at
// each line that does not start with a blank.
std::string MountLogEntry(const std::tm& localTime, std::string_view where,
                          std::string_view text);

// Where the part of the log `text` that is kept starts when the log is
// trimmed to at most half of `limit`: the first entry that starts in the
// newest half, whole; when no entry starts there (one entry larger than
// half the limit), the newest half as it is.
std::size_t KeptFrom(std::string_view text, std::size_t limit);

// Appends entries to the log file at `path`. Every append holds an
// exclusive lock (flock) on the file, and the append that takes the file
// past `limit` trims it under the same lock, in place: the newest half is
// written over the start of the file, which is then cut after it. A
// writer that waits meanwhile appends after the kept half; a reader that
// follows the file (`tail -f`) sees it cut and goes on; and a trim that
// stops halfway leaves entries twice rather than lose one.
class MountLogFile {
 public:
  explicit MountLogFile(std::string path, std::size_t limit = kMountLogLimit);

  // Makes the missing folders of the path (0700) and the file (0600);
  // false with the reason in `error` when it cannot.
  bool Prepare(std::string& error) const;

  // Appends `entry` (ending in a newline), then trims the file when it has
  // grown past the limit; false with the reason in `error` when it cannot.
  bool Append(std::string_view entry, std::string& error) const;

  const std::string& path() const { return path_; }

 private:
  // The file opened to append, its folders made when they are missing; -1
  // with the reason in `error`.
  int Open(std::string& error) const;

  std::string path_;
  std::size_t limit_;
};

}  // namespace quendrix::host::mount
