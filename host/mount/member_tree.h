// The members of one file as folders and files, as the mount shows them
// below the file's member folder: the member "docs/sub/note.txt" is the
// file note.txt in the folder sub of the folder docs. Built from the
// plug-in's headers and asked by path; needs no FUSE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "client/archive_session.h"

namespace quendrix::host::mount {

class MemberTree {
 public:
  // The members left out are told one by one up to this many; the others
  // are counted in one more warning, so that a list of thousands of names
  // no folder can hold does not flood the log.
  static constexpr std::size_t kWarningsTold = 20;

  // A folder or a member of the tree, by its number.
  struct Ref {
    enum class Kind : std::uint8_t { kFolder, kMember };
    Kind kind = Kind::kFolder;
    std::uint32_t index = 0;
  };

  struct Member {
    std::string_view name;  // as the plug-in lists it, "/" between folders
    // The size the list gave; nothing when the header's size is the nominal
    // one of a member whose size is not known before it is made.
    std::optional<std::int64_t> listedSize;
    std::int32_t fileTime = 0;  // the header's FileTime
  };

  // The folder every tree has: the member folder itself.
  static constexpr std::uint32_t kTop = 0;

  // A tree with no member.
  MemberTree();
  MemberTree(MemberTree&&) noexcept = default;
  MemberTree& operator=(MemberTree&&) noexcept = default;
  // Members keep views of the names the tree holds, which a copy would not
  // carry over.
  MemberTree(const MemberTree&) = delete;
  MemberTree& operator=(const MemberTree&) = delete;

  // The tree of the members `headers`, in their order. A member whose name
  // has a part no folder can hold is left out (see MemberNameObstacle), and
  // so is one whose name is already shown: the first wins, whether the
  // name was a member or a folder of members. Each one left out adds a
  // warning to `warnings`.
  static MemberTree Build(const std::vector<MemberHeader>& headers,
                          std::vector<std::string>& warnings);

  // What lies at `path` below the member folder ("/" between parts, "" for
  // the member folder itself); nothing when nothing does.
  std::optional<Ref> Find(std::string_view path) const;

  // The entries of the folder `folder`, in the order the list first named
  // them.
  const std::vector<Ref>& EntriesOf(std::uint32_t folder) const {
    return folders_[folder].entries;
  }
  // The name of `ref` as an entry of its folder.
  std::string_view EntryName(Ref ref) const;
  const Member& MemberAt(std::uint32_t index) const { return members_[index]; }
  std::size_t MemberCount() const { return members_.size(); }

 private:
  struct Folder {
    std::string_view path;  // "" for the top
    std::vector<Ref> entries;
  };

  // Every folder and member below the top by its path. The nodes of an
  // unordered map stay where they are while it grows and when the tree is
  // moved, so the views of Folder::path and Member::name stay valid.
  std::unordered_map<std::string, Ref> paths_;
  std::vector<Folder> folders_;
  std::vector<Member> members_;
};

}  // namespace quendrix::host::mount
