// POSIX: the profile reader, our own in place of the Windows profile
// functions. The file is read once per Profile object, and keys are answered
// from that snapshot by the same rules as the Windows reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "rules/profile_text.h"

namespace quendrix::platform {
namespace {

constexpr std::size_t kReadChunkSize = 65536;

// Closes the descriptor on every way out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads the whole file; nothing when it is missing, unreadable or not a
// regular file (a directory reads as a missing file, as on Windows).
std::optional<std::string> ReadWholeFile(const std::string& path) {
  const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return std::nullopt;
  struct stat info {};
  if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  std::array<char, kReadChunkSize> chunk;
  for (;;) {
    const ssize_t got = read(file.get(), chunk.data(), chunk.size());
    if (got > 0) {
      bytes.append(chunk.data(), static_cast<std::size_t>(got));
    } else if (got == 0) {
      return bytes;
    } else if (errno != EINTR) {
      return std::nullopt;
    }
  }
}

// The parse of the file read last. A lookup reads the file in full every
// time, so an edit is always seen, whatever its size and time stamp; only
// when the bytes are identical to the last ones is their parse used again,
// which spares the lookups of one unchanged rules file the parse of a large
// one. Profiles may be made on several threads at once.
class LastParse {
 public:
  std::shared_ptr<const ProfileText> Of(const std::string& path,
                                        std::string bytes) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (text_ != nullptr && path_ == path && text_->bytes() == bytes) {
        return text_;
      }
    }
    // Parsing, the slow part, runs outside the lock.
    auto text = std::make_shared<const ProfileText>(std::move(bytes));
    const std::lock_guard<std::mutex> lock(mutex_);
    path_ = path;
    text_ = text;
    return text;
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

}  // namespace

struct Profile::Impl {
  std::shared_ptr<const ProfileText> text;
};

Profile::Profile(const std::string& path) : impl_(std::make_unique<Impl>()) {
  if (std::optional<std::string> bytes = ReadWholeFile(path)) {
    impl_->text = TheLastParse().Of(path, std::move(*bytes));
  } else {
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
