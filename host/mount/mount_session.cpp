#include "mount/mount_session.h"

#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <csignal>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <new>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "client/archive_session.h"
#include "text/json_text.h"
#include "mount/kept_members.h"
#include "mount/member_makes.h"
#include "mount/member_tree.h"
#include "mount/mount_members.h"
#include "mount/mount_names.h"
#include "mount/mount_path.h"
#include "mount/mount_table.h"
#include "mount/plugin_members.h"

namespace quendrix::host::mount {

namespace fs = std::filesystem;

struct MountSession::State {
  const PluginClient* plugin = nullptr;
  MountOptions options;
  bool sourceIsFile = false;
  std::string cacheFolder;
  std::unique_ptr<FileListings> listings;
  std::unique_ptr<KeptMembers> kept;
  std::unique_ptr<MemberMakes> members;
  struct fuse* fuse = nullptr;
  bool mounted = false;
  // The make of each member path that was opened last.
  std::mutex openedMutex;
  std::map<std::string, std::uint64_t> openedGeneration;
};

namespace {

using State = MountSession::State;

State& StateOfRequest() {
  return *static_cast<State*>(fuse_get_context()->private_data);
}

EntryKind KindOf(const std::string& path) {
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0) return EntryKind::kMissing;
  if (S_ISREG(status.st_mode)) return EntryKind::kFile;
  if (S_ISDIR(status.st_mode)) return EntryKind::kFolder;
  return EntryKind::kOther;
}

Node Resolve(const State& state, const char* path) {
  return ResolveMountPath(path, state.options.source, state.sourceIsFile, KindOf);
}

std::optional<Validity> ValidityOf(const State& state, const std::string& source) {
  std::optional<platform::FileState> file = platform::StateOfFile(source);
  if (!file) return std::nullopt;
  Validity validity{*file, {}};
  for (const std::string& rules : state.options.rulesFiles) {
    validity.rules.push_back(platform::StateOfFile(rules));
  }
  return validity;
}

// The members of the file `source` as they are now, listed now when they
// were not; null when the file is gone.
std::shared_ptr<const FileMembers> MembersOf(State& state, const std::string& source,
                                             std::optional<Validity>& validity) {
  validity = ValidityOf(state, source);
  if (!validity) return nullptr;
  return state.listings->Members(source, *validity);
}

// What a request below a file's member folder finds there: an entry of its
// members, or the error to answer. A file whose list failed answers EIO
// (the listing logged why, and the member folder carries the reason); a
// file that is gone or that the rules do not serve, or a path that leads
// to nothing, ENOENT.
struct FoundEntry {
  int error = 0;
  std::shared_ptr<const FileMembers> members;
  std::optional<Validity> validity;
  MemberTree::Ref ref;
};

FoundEntry FindEntry(State& state, const Node& node) {
  FoundEntry found;
  found.members = MembersOf(state, node.path, found.validity);
  if (!found.members || found.members->state == ListState::kRefused) {
    found.error = ENOENT;
  } else if (found.members->state == ListState::kFailed) {
    found.error = EIO;
  } else if (const std::optional<MemberTree::Ref> ref = found.members->tree.Find(node.member)) {
    found.ref = *ref;
  } else {
    found.error = ENOENT;
  }
  return found;
}

bool IsMember(const FoundEntry& found) {
  return found.error == 0 && found.ref.kind == MemberTree::Ref::Kind::kMember;
}

// Whether the folder of the file `node.path`'s members is there: always at
// the root of a file's mount, else while the file is a regular file that
// the rules serve, as the folder's listing shows it. Asking runs no list
// program, so that a look at a folder of many files runs none.
bool MemberFolderThere(const State& state, const Node& node, bool isRoot) {
  return isRoot || PluginTakes(*state.plugin, node.path);
}

// A folder of members and its members carry the owner and the times of
// their file, so that a listing shows when the file last changed.
void FillFromSource(struct stat& status, const struct stat& source) {
  status.st_uid = source.st_uid;
  status.st_gid = source.st_gid;
  status.st_atim = source.st_atim;
  status.st_mtim = source.st_mtim;
  status.st_ctim = source.st_ctim;
}

void FillFolder(struct stat& status, const struct stat& source) {
  status = {};
  status.st_mode = S_IFDIR | 0555;
  status.st_nlink = 2;
  FillFromSource(status, source);
}

// A member made has its real size; one never made the size its list gave,
// else 0: only opening it runs its program. Its time is the header's (the
// listed time, or the file's own, whose fraction of a second the header
// does not carry).
void FillMember(struct stat& status, const struct stat& source,
                const MemberTree::Member& member, std::optional<std::int64_t> made) {
  static_assert(platform::kHeaderTimeKind == platform::HeaderTimeKind::kUnixSeconds,
                "the mount reads FileTime as seconds since 1970");
  const std::int64_t size = made ? *made : member.listedSize.value_or(0);
  status = {};
  status.st_mode = S_IFREG | 0444;
  status.st_nlink = 1;
  status.st_size = static_cast<off_t>(size);
  status.st_blksize = 4096;
  status.st_blocks = static_cast<blkcnt_t>((size + 511) / 512);
  FillFromSource(status, source);
  const auto seconds = static_cast<std::uint32_t>(member.fileTime);
  if (seconds != 0 && static_cast<std::int64_t>(seconds) != source.st_mtim.tv_sec) {
    status.st_mtim = {static_cast<time_t>(seconds), 0};
  }
}

std::optional<std::int64_t> MadeSize(const State& state, const Node& node,
                                     const MemberTree::Member& member,
                                     const Validity& validity) {
  return state.members->MadeSize(node.path, std::string(member.name), validity);
}

int GetAttributes(const char* path, struct stat* status, struct fuse_file_info*) {
  State& state = StateOfRequest();
  const Node node = Resolve(state, path);
  switch (node.kind) {
    case NodeKind::kMissing:
      return -ENOENT;
    case NodeKind::kMirror:
      return lstat(node.path.c_str(), status) == 0 ? 0 : -errno;
    case NodeKind::kMemberFolder:
    case NodeKind::kMemberEntry:
      break;
  }
  struct stat source {};
  const bool isRoot = std::strcmp(path, "/") == 0;
  if (stat(node.path.c_str(), &source) != 0) {
    if (!isRoot) return -ENOENT;
    // The root stays a folder, empty, while its file is gone.
    source.st_uid = getuid();
    source.st_gid = getgid();
  }
  if (node.kind == NodeKind::kMemberFolder) {
    if (!MemberFolderThere(state, node, isRoot)) return -ENOENT;
    FillFolder(*status, source);
    return 0;
  }
  const FoundEntry found = FindEntry(state, node);
  if (found.error != 0) return -found.error;
  if (found.ref.kind == MemberTree::Ref::Kind::kFolder) {
    FillFolder(*status, source);
    return 0;
  }
  const MemberTree::Member& member = found.members->tree.MemberAt(found.ref.index);
  FillMember(*status, source, member, MadeSize(state, node, member, *found.validity));
  return 0;
}

int ReadMirroredFolder(State& state, const std::string& folder, void* buffer,
                       fuse_fill_dir_t fill) {
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return -errno;
  std::vector<std::string> files;
  std::set<std::string> names;
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    names.insert(name);
    const bool regular =
        entry->d_type == DT_REG ||
        (entry->d_type == DT_UNKNOWN && KindOf(folder + "/" + name) == EntryKind::kFile);
    if (regular) files.push_back(name);
  }
  closedir(directory);
  for (const std::string& name : names) {
    if (fill(buffer, name.c_str(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) {
      return 0;
    }
  }
  // Beside each file that the rules serve, the folder of its members,
  // unless an entry of that name is there already.
  for (const std::string& name : files) {
    const std::optional<std::string> memberFolder = MemberFolderName(name);
    if (!memberFolder || names.count(*memberFolder) != 0) continue;
    if (!PluginTakes(*state.plugin, folder + "/" + name)) continue;
    if (fill(buffer, memberFolder->c_str(), nullptr, 0,
             static_cast<fuse_fill_dir_flags>(0)) != 0) {
      return 0;
    }
  }
  return 0;
}

// The members and folders of members at `node`: the member folder itself,
// or a folder below it. Lists the file when it was not listed for what it
// is now. Logs nothing: a failed listing was logged when it ran.
struct MemberFolderRead {
  int error = 0;
  struct stat source {};
  std::shared_ptr<const FileMembers> members;  // null: the root of a file that is gone
  std::optional<Validity> validity;
  std::uint32_t folder = MemberTree::kTop;
};

MemberFolderRead ReadMemberFolder(State& state, const Node& node, bool isRoot) {
  MemberFolderRead read;
  if (stat(node.path.c_str(), &read.source) != 0) {
    if (!isRoot) read.error = ENOENT;
    return read;
  }
  if (node.kind == NodeKind::kMemberFolder) {
    read.members = MembersOf(state, node.path, read.validity);
    if (!read.members) {
      read.error = isRoot ? 0 : ENOENT;
    } else if (read.members->state == ListState::kFailed) {
      read.error = EIO;
    } else if (read.members->state == ListState::kRefused) {
      // The root of a file the rules no longer serve stays an empty folder.
      read.error = isRoot ? 0 : ENOENT;
      read.members = nullptr;
    }
    return read;
  }
  FoundEntry found = FindEntry(state, node);
  if (found.error == 0 && found.ref.kind != MemberTree::Ref::Kind::kFolder) {
    found.error = ENOTDIR;
  }
  read.error = found.error;
  read.members = std::move(found.members);
  read.validity = std::move(found.validity);
  read.folder = found.ref.index;
  return read;
}

// Opening a folder of members lists its file, so that a file whose list
// fails answers at once, as `ls` and `find` report it: "cannot open
// directory: Input/output error".
int OpenFolder(const char* path, struct fuse_file_info*) {
  State& state = StateOfRequest();
  const Node node = Resolve(state, path);
  switch (node.kind) {
    case NodeKind::kMissing:
      return -ENOENT;
    case NodeKind::kMirror:
      return 0;
    case NodeKind::kMemberFolder:
    case NodeKind::kMemberEntry:
      break;
  }
  return -ReadMemberFolder(state, node, std::strcmp(path, "/") == 0).error;
}

// A folder of members is read in numbered pieces: with an offset for each
// entry, libfuse hands the kernel each member with its attributes when it
// asks for them (READDIRPLUS), so that `ls -l` asks nothing more per member.
int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
               struct fuse_file_info*, enum fuse_readdir_flags) {
  State& state = StateOfRequest();
  const Node node = Resolve(state, path);
  if (node.kind == NodeKind::kMirror) {
    return ReadMirroredFolder(state, node.path, buffer, fill);
  }
  if (node.kind == NodeKind::kMissing) return -ENOENT;
  const MemberFolderRead read = ReadMemberFolder(state, node, std::strcmp(path, "/") == 0);
  if (read.error != 0) return -read.error;
  struct stat folder {};
  FillFolder(folder, read.source);
  static const std::vector<MemberTree::Ref> kNoEntries;
  const MemberTree* tree = read.members ? &read.members->tree : nullptr;
  const std::vector<MemberTree::Ref>& entries = tree ? tree->EntriesOf(read.folder) : kNoEntries;
  const std::size_t count = 2 + entries.size();
  for (std::size_t index = offset < 0 ? 0 : static_cast<std::size_t>(offset);
       index < count; ++index) {
    const off_t next = static_cast<off_t>(index + 1);
    int full = 0;
    if (index < 2) {
      full = fill(buffer, index == 0 ? "." : "..", &folder, next,
                  static_cast<fuse_fill_dir_flags>(0));
    } else {
      const MemberTree::Ref ref = entries[index - 2];
      const std::string name(tree->EntryName(ref));
      struct stat entry {};
      if (ref.kind == MemberTree::Ref::Kind::kFolder) {
        entry = folder;
      } else {
        const MemberTree::Member& member = tree->MemberAt(ref.index);
        FillMember(entry, read.source, member, MadeSize(state, node, member, *read.validity));
      }
      full = fill(buffer, name.c_str(), &entry, next, FUSE_FILL_DIR_PLUS);
    }
    if (full != 0) break;
  }
  return 0;
}

// Gives an open file what its reads need: the descriptor, and how far it
// may be read (ReadBuffer, Release). A negative error number when there is
// no memory for it, and the descriptor is closed.
int HandOver(struct fuse_file_info* file, int descriptor, std::int64_t size) {
  try {
    file->fh = reinterpret_cast<std::uint64_t>(new OpenMember(descriptor, size));
    return 0;
  } catch (const std::bad_alloc&) {
    close(descriptor);
    return -ENOMEM;
  }
}

int Open(const char* path, struct fuse_file_info* file) {
  if ((file->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  State& state = StateOfRequest();
  const Node node = Resolve(state, path);
  if (node.kind == NodeKind::kMirror) {
    const int descriptor = open(node.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return -errno;
    // A mirrored file is read as far as it goes, however it grows.
    return HandOver(file, descriptor, std::numeric_limits<std::int64_t>::max());
  }
  if (node.kind != NodeKind::kMemberEntry) {
    return node.kind == NodeKind::kMemberFolder ? -EISDIR : -ENOENT;
  }
  const FoundEntry found = FindEntry(state, node);
  if (found.error != 0) return -found.error;
  if (!IsMember(found)) return -EISDIR;
  // The member is made under the name its list gave, which the plug-in
  // finds it by; the name of the path asked for is the same.
  const ObtainedMember obtained = state.members->Obtain(
      node.path, node.member, *found.validity, [] { return fuse_interrupted() != 0; });
  if (obtained.error != 0) {
    if (obtained.error != EINTR) {
      state.options.log(node.path + ": member " + JsonString(node.member) +
                        " cannot be read: " + obtained.reason);
    }
    return -obtained.error;
  }
  // The member is the start of the file: an entry of the user's cache
  // holds its footer after it, which no read may reach.
  if (const int error = HandOver(file, obtained.descriptor, obtained.size)) return error;
  // The kernel keeps the pages it read of a member while the member is the
  // same make as at the last open, so a member read again is read from
  // memory. A member made anew drops them, and the attributes the kernel
  // kept, whose size may be the 0 of a member not yet made: the kernel
  // reads a file only up to the size it knows. The open holds no lock
  // that dropping them needs.
  bool same = false;
  {
    const std::lock_guard lock(state.openedMutex);
    std::uint64_t& last = state.openedGeneration[path];
    same = last == obtained.generation;
    last = obtained.generation;
  }
  file->keep_cache = same ? 1 : 0;
  if (!same) fuse_invalidate_path(state.fuse, path);
  return 0;
}

// The bytes come straight from the made member's file, which libfuse may
// splice into the kernel's buffer without copying them through this
// process.
const OpenMember& OpenedMember(const struct fuse_file_info* file) {
  return *reinterpret_cast<const OpenMember*>(file->fh);
}

int ReadBuffer(const char*, struct fuse_bufvec** buffer, size_t size, off_t offset,
               struct fuse_file_info* file) {
  const OpenMember& member = OpenedMember(file);
  const std::int64_t left = offset < 0 ? 0 : std::max<std::int64_t>(member.size() - offset, 0);
  auto* vector = static_cast<fuse_bufvec*>(std::malloc(sizeof(fuse_bufvec)));
  if (vector == nullptr) return -ENOMEM;
  *vector = FUSE_BUFVEC_INIT(static_cast<size_t>(std::min<std::int64_t>(
      static_cast<std::int64_t>(size), left)));
  vector->buf[0].flags =
      static_cast<fuse_buf_flags>(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK);
  vector->buf[0].fd = member.descriptor();
  vector->buf[0].pos = offset;
  *buffer = vector;
  return 0;
}

int Release(const char*, struct fuse_file_info* file) {
  delete &OpenedMember(file);
  return 0;
}

int ReadLink(const char* path, char* buffer, size_t size) {
  if (size == 0) return -EINVAL;
  const Node node = Resolve(StateOfRequest(), path);
  if (node.kind != NodeKind::kMirror) return -EINVAL;
  const ssize_t length = readlink(node.path.c_str(), buffer, size - 1);
  if (length < 0) return -errno;
  buffer[length] = '\0';
  return 0;
}

// Answers a request for an attribute's value or for the list of names as
// getxattr and listxattr do: the size needed when `size` is 0, else the
// bytes when they fit.
int AnswerAttribute(std::string_view bytes, char* buffer, size_t size) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return -E2BIG;
  if (size != 0) {
    if (size < bytes.size()) return -ERANGE;
    std::memcpy(buffer, bytes.data(), bytes.size());
  }
  return static_cast<int>(bytes.size());
}

// The reason kept for the entry at `node`, when there is one: for a member
// folder, why its file's newest listing failed; for a member, why its
// newest make failed. A folder below a member folder has none. Asking runs
// no program: a member folder never listed has no reason yet. A negative
// error number when the entry is not there, or its file cannot be listed.
int ReasonOf(State& state, const Node& node, std::optional<std::string>& reason) {
  if (node.kind == NodeKind::kMemberFolder) {
    const std::optional<Validity> validity = ValidityOf(state, node.path);
    if (validity) reason = state.listings->FailureReason(node.path, *validity);
    return 0;
  }
  const FoundEntry found = FindEntry(state, node);
  if (found.error != 0) return -found.error;
  if (IsMember(found)) {
    reason = state.members->FailureReason(node.path, node.member, *found.validity);
  }
  return 0;
}

// Only user attributes are kept: every other kind is answered as a file
// system without them answers, which tells `ls -l`, after its first ask
// at the mount point, not to ask each entry for its security label.
bool IsUserAttribute(std::string_view name) { return name.rfind("user.", 0) == 0; }

// The names of the user attributes of the entry at `path` itself (not of
// what a symbolic link points to, as lstat shows it), each ending in a
// zero byte; a negative error number when they cannot be read.
int MirroredAttributeNames(const std::string& path, std::string& names) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const ssize_t size = llistxattr(path.c_str(), nullptr, 0);
    if (size < 0) return -errno;
    std::string all(static_cast<std::size_t>(size), '\0');
    const ssize_t read = llistxattr(path.c_str(), all.data(), all.size());
    if (read < 0 && errno == ERANGE) continue;  // it grew meanwhile
    if (read < 0) return -errno;
    all.resize(static_cast<std::size_t>(read));
    names.clear();
    for (std::size_t at = 0; at < all.size();) {
      const std::size_t end = std::min(all.find('\0', at), all.size());
      const std::string_view name(all.data() + at, end - at);
      if (IsUserAttribute(name)) names.append(name).push_back('\0');
      at = end + 1;
    }
    return 0;
  }
  return -ERANGE;
}

// A member has one attribute, kErrorAttribute, while its make has failed,
// and a member folder while its file's listing has failed; a folder below
// it has none; a mirrored entry has its own.
int GetAttribute(const char* path, const char* name, char* value, size_t size) {
  if (!IsUserAttribute(name)) return -EOPNOTSUPP;
  State& state = StateOfRequest();
  const Node node = Resolve(state, path);
  switch (node.kind) {
    case NodeKind::kMissing:
      return -ENOENT;
    case NodeKind::kMirror: {
      const ssize_t length = lgetxattr(node.path.c_str(), name, value, size);
      return length < 0 ? -errno : static_cast<int>(length);
    }
    case NodeKind::kMemberFolder:
    case NodeKind::kMemberEntry:
      break;
  }
  std::optional<std::string> reason;
  if (const int missing = ReasonOf(state, node, reason)) return missing;
  if (!reason || std::strcmp(name, kErrorAttribute) != 0) return -ENODATA;
  return AnswerAttribute(*reason, value, size);
}

int ListAttributes(const char* path, char* list, size_t size) {
  State& state = StateOfRequest();
  const Node node = Resolve(state, path);
  std::string names;
  switch (node.kind) {
    case NodeKind::kMissing:
      return -ENOENT;
    case NodeKind::kMirror:
      if (const int error = MirroredAttributeNames(node.path, names)) return error;
      return AnswerAttribute(names, list, size);
    case NodeKind::kMemberFolder:
    case NodeKind::kMemberEntry:
      break;
  }
  std::optional<std::string> reason;
  if (const int missing = ReasonOf(state, node, reason)) return missing;
  if (reason) names.append(kErrorAttribute).push_back('\0');
  return AnswerAttribute(names, list, size);
}

// The kernel refuses these on a read-only mount before they arrive; they
// are answered the same way should one arrive all the same.
int SetAttribute(const char*, const char*, const char*, size_t, int) { return -EROFS; }
int RemoveAttribute(const char*, const char*) { return -EROFS; }

int FileSystemStatus(const char*, struct statvfs* status) {
  return statvfs(StateOfRequest().options.source.c_str(), status) == 0 ? 0 : -errno;
}

void* Init(struct fuse_conn_info* connection, struct fuse_config* config) {
  // A read is answered by splicing the made member's pages into the
  // kernel's buffer: no copy passes through this process, and no buffer is
  // allocated for it.
  if ((connection->capable & FUSE_CAP_SPLICE_WRITE) != 0) {
    connection->want |= FUSE_CAP_SPLICE_WRITE;
  }
  // The kernel would otherwise ask for the attributes before every read
  // once they are a second old. A member's pages are dropped at the open
  // that finds it made anew instead, the only time its bytes can change.
  connection->want &= ~FUSE_CAP_AUTO_INVAL_DATA;
  // Names and attributes are kept for a second, so that `ls -l` of a large
  // folder costs one request per batch of entries rather than one or two
  // per entry. A member's size changes from 0 to its real size when it is
  // made: the open that made it drops what the kernel kept of it.
  config->attr_timeout = 1;
  config->entry_timeout = 1;
  config->negative_timeout = 0;
  config->use_ino = 0;
  return fuse_get_context()->private_data;
}

fuse_operations Operations() {
  fuse_operations operations{};
  operations.init = Init;
  operations.getattr = GetAttributes;
  operations.opendir = OpenFolder;
  operations.readdir = ReadFolder;
  operations.open = Open;
  operations.read_buf = ReadBuffer;
  operations.release = Release;
  operations.readlink = ReadLink;
  operations.statfs = FileSystemStatus;
  operations.getxattr = GetAttribute;
  operations.listxattr = ListAttributes;
  operations.setxattr = SetAttribute;
  operations.removexattr = RemoveAttribute;
  return operations;
}

// The cache folder: private to the user (mkdtemp makes it 0700), in the
// user's runtime folder, which lives in memory and goes at logout, else in
// the system's temporary folder.
std::optional<std::string> MakeCacheFolder(const std::string& chosenParent,
                                           std::string& error) {
  std::string parent = chosenParent;
  if (parent.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code statusError;
    if (runtime != nullptr && *runtime == '/' &&
        fs::is_directory(runtime, statusError) && access(runtime, W_OK) == 0) {
      parent = runtime;
    } else {
      parent = fs::temp_directory_path(statusError).string();
      if (statusError) parent = "/tmp";
    }
  }
  std::string name = parent + "/quendrix-mount-XXXXXX";
  if (mkdtemp(name.data()) == nullptr) {
    error = "cannot make the cache folder in " + parent + ": " +
            std::error_code(errno, std::generic_category()).message();
    return std::nullopt;
  }
  return name;
}

}  // namespace

MountSession::MountSession(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<MountSession> MountSession::Mount(const PluginClient& plugin,
                                                  MountOptions options,
                                                  std::string& error) {
  auto state = std::make_unique<State>();
  state->plugin = &plugin;
  std::error_code statusError;
  state->sourceIsFile = fs::is_regular_file(options.source, statusError);
  const std::optional<std::string> cache = MakeCacheFolder(options.cacheParent, error);
  if (!cache) return nullptr;
  state->cacheFolder = *cache;
  state->options = std::move(options);
  const auto log = state->options.log;
  state->listings = std::make_unique<FileListings>(
      [&plugin](const std::string& source, std::vector<std::string>& warnings) {
        return ListWithPlugin(plugin, source, warnings);
      },
      log);
  if (!state->options.pluginDir.empty()) {
    state->kept = std::make_unique<KeptMembers>(state->options.pluginDir, log);
  }
  state->members = std::make_unique<MemberMakes>(
      state->cacheFolder,
      [&plugin, kept = state->kept.get()](const std::string& source, const std::string& member,
                                          const std::string& destination,
                                          const std::function<bool()>& stop) {
        const auto make = [&] { return MakeWithPlugin(plugin, source, member, destination, stop); };
        if (kept == nullptr) return make();
        return MakeThroughKeptMembers(*kept, source, member, destination, make);
      });

  // Read-only for the kernel too, so that writes, creations, renames and
  // removals fail with EROFS before they reach the mount. Only the user who
  // mounted reaches the files, and opens them with the user's own rights.
  std::string arguments[] = {"quendrix", "-o", "ro,fsname=quendrix,subtype=quendrix"};
  char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data()};
  fuse_args args = FUSE_ARGS_INIT(3, argv);
  const fuse_operations operations = Operations();
  state->fuse = fuse_new(&args, &operations, sizeof operations, state.get());
  fuse_opt_free_args(&args);
  if (state->fuse == nullptr) {
    error = "libfuse could not set up the file system";
    return nullptr;
  }
  if (fuse_mount(state->fuse, state->options.mountPoint.c_str()) != 0) {
    error = "cannot mount at " + state->options.mountPoint +
            " (is /dev/fuse there, and the folder an existing, empty one?)";
    fuse_destroy(state->fuse);
    state->fuse = nullptr;
    return nullptr;
  }
  state->mounted = true;
  return std::unique_ptr<MountSession>(new MountSession(std::move(state)));
}

MountSession::~MountSession() {
  if (state_->fuse != nullptr) {
    if (state_->mounted) fuse_unmount(state_->fuse);
    fuse_destroy(state_->fuse);
  }
  state_->members->Shutdown();
  std::error_code error;
  fs::remove_all(state_->cacheFolder, error);
}

int MountSession::Serve(bool handleSignals) {
  fuse_session* session = fuse_get_session(state_->fuse);
  if (handleSignals) {
    // libfuse installs its handlers only over the default ones.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
    if (fuse_set_signal_handlers(session) != 0) return 1;
  }
  fuse_loop_config* config = fuse_loop_cfg_create();
  // Every open that waits for a program holds a thread, and an interrupt
  // needs a free one to be read at all.
  fuse_loop_cfg_set_max_threads(config, 256);
  const int result = fuse_loop_mt(state_->fuse, config);
  fuse_loop_cfg_destroy(config);
  if (handleSignals) fuse_remove_signal_handlers(session);
  return result;
}

void MountSession::Unmount() {
  std::string error;
  UnmountPath(state_->options.mountPoint, true, error);
}

const std::string& MountSession::cacheFolder() const { return state_->cacheFolder; }

bool UnmountPath(const std::string& mountPoint, bool lazy, std::string& error) {
  // The mount point itself is not looked at: a mount whose process has
  // ended answers every look with an error, and must still be unmounted.
  std::error_code pathError;
  const fs::path path(mountPoint);
  fs::path parent = fs::canonical(path.parent_path(), pathError);
  if (pathError) parent = path.parent_path();
  const std::string canonical = (parent / path.filename()).string();
  std::ifstream table("/proc/self/mounts");
  const std::string mounts((std::istreambuf_iterator<char>(table)),
                           std::istreambuf_iterator<char>());
  if (!HasMount(mounts, canonical, kMountType)) {
    error = mountPoint + " is not a quendrix mount";
    return false;
  }
  if (geteuid() == 0) {
    if (umount2(canonical.c_str(), lazy ? MNT_DETACH : 0) == 0) return true;
    error = std::error_code(errno, std::generic_category()).message();
    return false;
  }
  // Users unmount through the set-user-ID helper of FUSE, as they mounted.
  std::vector<std::string> words = {"fusermount3", "-u"};
  if (lazy) words.push_back("-z");
  words.push_back(canonical);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, "fusermount3", nullptr, nullptr, argv.data(), environ) != 0) {
    error = "fusermount3 cannot be started";
    return false;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error = "fusermount3 -u failed";
  return false;
}

}  // namespace quendrix::host::mount
