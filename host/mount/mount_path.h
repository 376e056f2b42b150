// Where a path below the mount point leads: to a file or folder of the
// source as it is, to the folder of a file's members, or to one member.
// Pure logic: what is on disk is asked through a function, so the mapping
// is tested without a mount.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quendrix::host::mount {

// What a path of the real file system holds.
enum class EntryKind { kMissing, kFile, kFolder, kOther };
using EntryKindLookup = std::function<EntryKind(const std::string& path)>;

enum class NodeKind {
  kMissing,       // nothing is shown there
  kMirror,        // `path` as it is on disk, read-only
  kMemberFolder,  // the members of the file `path`
  kMemberEntry,   // the entry `member` below the member folder of `path`
};

struct Node {
  NodeKind kind = NodeKind::kMissing;
  std::string path;  // the real path: the mirrored entry or the source file
  // kMemberEntry only: its path below the member folder, "/" between its
  // parts. Whether a member or a folder of members is there, or nothing,
  // is for the file's members to tell.
  std::string member;
};

// What the mount shows at `mountPath` (absolute below the mount point, "/"
// for its root, as FUSE hands paths over, never with "." or ".." parts).
//
// A source file: the root is the folder of its members, and every path
// below it an entry there. A source folder: every path that exists below it
// is shown as it is; in a path that does not exist, the first part that is
// not on disk decides: when it is "NAME#" next to a regular file NAME, it
// is the folder of NAME's members, and the parts after it an entry there.
// An entry that really is called "NAME#" wins over the member folder of
// that name. Whether the rules serve NAME is not decided here: the caller
// asks the plug-in.
Node ResolveMountPath(std::string_view mountPath, const std::string& source,
                      bool sourceIsFile, const EntryKindLookup& kindOf);

}  // namespace quendrix::host::mount
