// The names a mount shows: members as files of a folder, and beside each
// file that the rules serve the folder of its members, `NAME#`.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quendrix::host::mount {

// The longest name of one directory entry that Linux file systems hold.
inline constexpr std::size_t kMaxEntryName = 255;

// Marks the folder of a file's members; AVFS uses the same convention, so
// users of either know it.
inline constexpr char kMemberFolderMark = '#';

// Why `name` cannot be one entry of a folder; nothing when it can. A
// directory entry cannot be empty, "." or "..", hold a "/" (which would
// make it a path) or a NUL, nor be longer than kMaxEntryName bytes.
std::optional<std::string> EntryNameObstacle(std::string_view name);

// Why the member `name` ("/" between its folders) cannot be shown at that
// path below its member folder; nothing when it can. Each part between the
// "/" must be an entry a folder holds, so a name that starts or ends with
// "/", or holds two together, is refused as well.
std::optional<std::string> MemberNameObstacle(std::string_view name);

// The last part of a member's name: its entry in its folder.
std::string_view LastNamePart(std::string_view name);

// The name of the folder that holds the members of the file `fileName`;
// nothing when that name would be too long to be an entry.
std::optional<std::string> MemberFolderName(std::string_view fileName);

// The file whose members the entry `folderName` holds, when it has the
// form of a member folder (a name followed by the mark); else nothing.
std::optional<std::string_view> FileOfMemberFolder(std::string_view folderName);

}  // namespace quendrix::host::mount
