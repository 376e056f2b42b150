#include "mount/mount_log_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace quendrix::host::mount {
namespace {

// An open log file, closed (and so unlocked) on every way out.
class LogDescriptor {
 public:
  explicit LogDescriptor(int fd) : fd_(fd) {}
  ~LogDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  LogDescriptor(const LogDescriptor&) = delete;
  LogDescriptor& operator=(const LogDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string ErrnoText(int number) {
  return std::error_code(number, std::generic_category()).message();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Makes the folders of `path` that are missing, from the first one missing
// down, each private to the user; folders that exist stay as they are.
bool MakeFoldersOf(const std::string& path, std::string& error) {
  std::vector<std::string> missing;
  std::string folder = path.substr(0, path.rfind('/'));
  struct stat status {};
  while (!folder.empty() && stat(folder.c_str(), &status) != 0) {
    if (errno != ENOENT) {
      error = folder + ": " + ErrnoText(errno);
      return false;
    }
    missing.push_back(folder);
    folder.erase(folder.rfind('/'));
  }
  for (auto made = missing.rbegin(); made != missing.rend(); ++made) {
    // Another mount may make the same folder at the same moment.
    if (mkdir(made->c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot make the folder " + *made + ": " + ErrnoText(errno);
      return false;
    }
  }
  return true;
}

int OpenLog(const std::string& path) {
  int fd = -1;
  do {
    fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteAll(int fd, std::string_view bytes, off_t offset, bool append) {
  while (!bytes.empty()) {
    const ssize_t written = append ? write(fd, bytes.data(), bytes.size())
                                   : pwrite(fd, bytes.data(), bytes.size(), offset);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    offset += written;
  }
  return true;
}

bool ReadAll(int fd, std::string& text, std::size_t size) {
  text.assign(size, '\0');
  std::size_t done = 0;
  while (done < size) {
    const ssize_t read = pread(fd, text.data() + done, size - done, static_cast<off_t>(done));
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return false;
    if (read == 0) break;
    done += static_cast<std::size_t>(read);
  }
  text.resize(done);
  return true;
}

}  // namespace

std::string MountLogPath(const std::function<std::string(std::string_view)>& environment) {
  const std::string state = environment("XDG_STATE_HOME");
  if (!state.empty() && state.front() == '/') {
    return WithoutTrailingSlashes(state) + "/quendrix/mount.log";
  }
  const std::string home = environment("HOME");
  if (!home.empty() && home.front() == '/') {
    return WithoutTrailingSlashes(home) + "/.local/state/quendrix/mount.log";
  }
  return {};
}

std::string MountLogPathOfProcess() {
  return MountLogPath([](std::string_view name) -> std::string {
    const char* value = std::getenv(std::string(name).c_str());
    if (value != nullptr && *value != '\0') return value;
    if (name != "HOME") return {};
    std::vector<char> buffer(16384);
    passwd account {};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &account, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
      return {};
    }
    return found->pw_dir;
  });
}

std::string MountLogEntry(const std::tm& localTime, std::string_view where,
                          std::string_view text) {
  char stamp[32] = {};
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &localTime);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  std::string entry = stamp;
  entry += ' ';
  entry += where;
  entry += ": ";
  bool first = true;
  while (true) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (!first && (line.empty() || !IsBlank(line.front()))) entry += "  ";
    entry += line;
    entry += '\n';
    first = false;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return entry;
}

std::size_t KeptFrom(std::string_view text, std::size_t limit) {
  const std::size_t half = limit / 2;
  if (text.size() <= half) return 0;
  const std::size_t cut = text.size() - half;
  for (std::size_t at = cut; at < text.size(); ++at) {
    if (text[at - 1] == '\n' && text[at] != '\n' && !IsBlank(text[at])) return at;
  }
  return cut;
}

MountLogFile::MountLogFile(std::string path, std::size_t limit)
    : path_(std::move(path)), limit_(limit) {}

int MountLogFile::Open(std::string& error) const {
  if (path_.empty() || path_.front() != '/') {
    error = "there is no home folder to keep it in (HOME is not set)";
    return -1;
  }
  int fd = OpenLog(path_);
  // The folders are made when they are missing, at the first entry or again
  // after someone removed them.
  if (fd < 0 && errno == ENOENT) {
    if (!MakeFoldersOf(path_, error)) return -1;
    fd = OpenLog(path_);
  }
  if (fd < 0) error = path_ + ": " + ErrnoText(errno);
  return fd;
}

bool MountLogFile::Prepare(std::string& error) const {
  const LogDescriptor log(Open(error));
  return log.get() >= 0;
}

bool MountLogFile::Append(std::string_view entry, std::string& error) const {
  const LogDescriptor log(Open(error));
  if (log.get() < 0) return false;
  int locked = 0;
  do {
    locked = flock(log.get(), LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0 || !WriteAll(log.get(), entry, 0, true)) {
    error = path_ + ": " + ErrnoText(errno);
    return false;
  }
  struct stat status {};
  if (fstat(log.get(), &status) != 0 || static_cast<std::size_t>(status.st_size) <= limit_) {
    return true;
  }
  // The newest half is read whole before any of it is written: the place it
  // moves to may overlap the place it comes from. Linux writes every write
  // of a descriptor opened to append at the end, even one at an offset, so
  // this descriptor, which no other process shares, stops appending.
  std::string text;
  const int flags = fcntl(log.get(), F_GETFL);
  if (!ReadAll(log.get(), text, static_cast<std::size_t>(status.st_size)) ||
      flags < 0 || fcntl(log.get(), F_SETFL, flags & ~O_APPEND) != 0) {
    error = path_ + ": cannot be read to be trimmed: " + ErrnoText(errno);
    return false;
  }
  const std::string_view kept = std::string_view(text).substr(KeptFrom(text, limit_));
  if (!WriteAll(log.get(), kept, 0, false) ||
      ftruncate(log.get(), static_cast<off_t>(kept.size())) != 0) {
    error = path_ + ": cannot be trimmed: " + ErrnoText(errno);
    return false;
  }
  return true;
}

}  // namespace quendrix::host::mount
