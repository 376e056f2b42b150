// POSIX: the profile reader, our own in place of the Windows profile
// functions. The file is read once per Profile object, and keys are answered
// from that snapshot by the same rules as the Windows reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/posix/descriptor.h"
#include "rules/profile_text.h"

namespace quendrix::platform {
namespace {

constexpr std::size_t kReadChunkSize = 65536;

// The parse of the file read last, and the path it was read from. Profiles
// may be made on several threads at once; a parse handed out stays alive for
// its holder when another thread replaces it.
class LastParse {
 public:
  std::shared_ptr<const ProfileText> Of(const std::string& path) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return path_ == path ? text_ : nullptr;
  }
  void Keep(const std::string& path, std::shared_ptr<const ProfileText> text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    path_ = path;
    text_ = std::move(text);
  }

 private:
  std::mutex mutex_;
  std::string path_;
  std::shared_ptr<const ProfileText> text_;
};

LastParse& TheLastParse() {
  static LastParse last;
  return last;
}

// Takes in the whole file once and gives its parse; nothing when it is
// missing, unreadable or not a regular file (a directory reads as a missing
// file, as on Windows).
//
// Every lookup reads the file in full, so an edit is always seen, whatever
// its size and time stamp. While the bytes read are the ones parsed last,
// they are only compared, chunk by chunk, and not kept: a file manager
// probes every file it shows, and the probe of an unchanged rules file then
// costs one read of it and no copy, allocation or parse. From the first byte
// that differs on, the file is collected and parsed anew.
std::shared_ptr<const ProfileText> SnapshotOf(const std::string& path) {
  // A blocking open of a named pipe waits until some program writes to it,
  // which may be never, and the host would hang inside a probe. O_NONBLOCK
  // lets the open return at once; anything but a regular file is then
  // refused before the first read, and on a regular file the flag changes
  // nothing.
  const Descriptor file(
      open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return nullptr;
  struct stat info {};
  if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return nullptr;
  }
  const std::shared_ptr<const ProfileText> last = TheLastParse().Of(path);
  const std::string_view known =
      last != nullptr ? std::string_view(last->bytes()) : std::string_view();
  bool same = last != nullptr;
  std::size_t matched = 0;  // bytes read so far, while they equal `known`
  std::string bytes;        // everything read, once it differs
  std::array<char, kReadChunkSize> chunk;
  for (;;) {
    const ssize_t got = read(file.get(), chunk.data(), chunk.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return nullptr;
    }
    if (got == 0) break;
    const std::string_view piece(chunk.data(), static_cast<std::size_t>(got));
    if (same && known.substr(matched, piece.size()) == piece) {
      matched += piece.size();
      continue;
    }
    if (same) {
      same = false;
      bytes.reserve(std::max(static_cast<std::size_t>(info.st_size),
                             matched + piece.size()));
      bytes.assign(known.substr(0, matched));
    } else if (bytes.empty()) {
      bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    bytes.append(piece);
  }
  if (same) {
    if (matched == known.size()) return last;
    bytes.assign(known.substr(0, matched));  // the file was cut short
  }
  auto text = std::make_shared<const ProfileText>(std::move(bytes));
  TheLastParse().Keep(path, text);
  return text;
}

}  // namespace

struct Profile::Impl {
  std::shared_ptr<const ProfileText> text;
};

Profile::Profile(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->text = SnapshotOf(path);
  if (impl_->text == nullptr) {
    // A missing or unreadable file reads as an empty one.
    impl_->text = std::make_shared<const ProfileText>(std::string());
  }
}

Profile::~Profile() = default;

std::string Profile::Read(std::string_view section, std::string_view key,
                          std::string_view defaultValue,
                          std::size_t bufferSize) const {
  return impl_->text->Read(section, key, defaultValue, bufferSize);
}

}  // namespace quendrix::platform
