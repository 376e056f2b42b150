#include "mount/member_tree.h"

#include "mount/mount_names.h"
#include "text/json_text.h"

namespace quendrix::host::mount {
namespace {

// Every numbered member's header, and a listed member's whose list gave no
// size, carries this size: the plug-in does not know it before it is made.
constexpr std::int64_t kNominalSize = 1;

}  // namespace

MemberTree::MemberTree() { folders_.push_back(Folder{}); }

MemberTree MemberTree::Build(const std::vector<MemberHeader>& headers,
                             std::vector<std::string>& warnings) {
  using Kind = Ref::Kind;
  MemberTree tree;
  tree.paths_.reserve(headers.size());
  tree.members_.reserve(headers.size());
  std::size_t leftOut = 0;
  const auto leave = [&](const std::string& name, const std::string& why) {
    if (++leftOut <= kWarningsTold) {
      warnings.push_back("member " + JsonString(name) + " left out of the mount: " + why);
    }
  };

  for (const MemberHeader& header : headers) {
    const std::string& name = header.name;
    if (const std::optional<std::string> obstacle = MemberNameObstacle(name)) {
      leave(name, *obstacle);
      continue;
    }
    // The folders of its path, as far as they are there already. A folder
    // is made only where nothing of its path was, and then nothing below it
    // is there either, so a member left out never leaves a folder behind.
    std::uint32_t folder = kTop;
    std::optional<std::string> clash;
    std::size_t end = name.find('/');
    for (; end != std::string::npos; end = name.find('/', end + 1)) {
      const std::string prefix = name.substr(0, end);
      const auto found = tree.paths_.find(prefix);
      if (found == tree.paths_.end()) {
        const auto index = static_cast<std::uint32_t>(tree.folders_.size());
        const auto inserted = tree.paths_.emplace(prefix, Ref{Kind::kFolder, index}).first;
        tree.folders_.push_back(Folder{inserted->first, {}});
        tree.folders_[folder].entries.push_back(Ref{Kind::kFolder, index});
        folder = index;
        continue;
      }
      if (found->second.kind == Kind::kMember) {
        clash = JsonString(prefix) + " is a member, which cannot also be a folder of members";
        break;
      }
      folder = found->second.index;
    }
    if (!clash && tree.paths_.count(name) != 0) {
      clash = tree.paths_.at(name).kind == Kind::kMember
                  ? "an earlier member has that name"
                  : "it is a folder of earlier members";
    }
    if (clash) {
      leave(name, *clash);
      continue;
    }
    const auto index = static_cast<std::uint32_t>(tree.members_.size());
    const auto inserted = tree.paths_.emplace(name, Ref{Kind::kMember, index}).first;
    Member member;
    member.name = inserted->first;
    if (header.size != kNominalSize) member.listedSize = header.size;
    member.fileTime = header.fileTime;
    tree.members_.push_back(member);
    tree.folders_[folder].entries.push_back(Ref{Kind::kMember, index});
  }
  if (leftOut > kWarningsTold) {
    warnings.push_back(std::to_string(leftOut - kWarningsTold) +
                       " more members left out of the mount, for the same reasons");
  }
  return tree;
}

std::optional<MemberTree::Ref> MemberTree::Find(std::string_view path) const {
  if (path.empty()) return Ref{Ref::Kind::kFolder, kTop};
  const auto found = paths_.find(std::string(path));
  if (found == paths_.end()) return std::nullopt;
  return found->second;
}

std::string_view MemberTree::EntryName(Ref ref) const {
  return LastNamePart(ref.kind == Ref::Kind::kFolder ? folders_[ref.index].path
                                                     : members_[ref.index].name);
}

}  // namespace quendrix::host::mount
