// Reading and replacing a file manager's configuration file: a backup of
// what was there first, then the new bytes in one step, so that a failure
// half-way never leaves a file manager half a configuration.
#pragma once

#include <optional>
#include <string>

namespace quendrix::host {

// The name of the backup of `path`: the file as it was before quendrix
// last changed it.
std::string BackupPathOf(const std::string& path);

// Whether there is a file (or anything else) at `path`.
bool PathExists(const std::string& path);

// Why the file at `path` (a link's file) cannot be replaced: it is no
// regular file, its owner made it read-only, or it cannot be opened for
// writing. Nothing when it can, or when there is no file yet.
std::optional<std::string> WhyNotWritable(const std::string& path);

// Copies the file at `path` to BackupPathOf(path), with its permissions and
// always writable by its owner: a new file that then takes the backup's
// name, so that whatever stood there (an older backup, a link) is replaced
// and never written through. False, with the reason in `why`, when that
// fails.
bool BackUp(const std::string& path, std::string& why);

// Writes `bytes` as the file at `path`: into a new file beside it (made
// anew, never through a link), which then takes its place, with the
// permissions of the file it replaces.
// Missing folders are made. A symbolic link stays a link: the file it
// points to is the one replaced. False, with the reason in `why`, when the
// file could not be written; it is then as it was.
bool WriteConfigFile(const std::string& path, const std::string& bytes, std::string& why);

// Removes the file at `path`; false, with the reason in `why`, when it
// cannot be.
bool RemoveConfigFile(const std::string& path, std::string& why);

}  // namespace quendrix::host
