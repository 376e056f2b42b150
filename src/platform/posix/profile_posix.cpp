// POSIX: the profile reader, our own in place of the Windows profile
// functions. The file is read once per Profile object, and keys are answered
// from that snapshot by the same rules as the Windows reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "rules/profile_text.h"

namespace quendrix::platform {
namespace {

// Reads the whole file; nothing when it is missing, unreadable or not a
// regular file (a directory reads as a missing file, as on Windows).
std::optional<std::string> ReadWholeFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) {
      bytes.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      close(fd);
      return std::nullopt;
    }
  }
  close(fd);
  return bytes;
}

}  // namespace

struct Profile::Impl {
  ProfileText text;
};

Profile::Profile(const std::string& path) : impl_(std::make_unique<Impl>()) {
  if (std::optional<std::string> bytes = ReadWholeFile(path)) {
    impl_->text = ProfileText::Parse(*bytes);
  }
}

Profile::~Profile() = default;

std::string Profile::Read(std::string_view section, std::string_view key,
                          std::string_view defaultValue,
                          std::size_t bufferSize) const {
  if (bufferSize == 0) return {};
  std::optional<std::string> value = impl_->text.Find(section, key);
  std::string result = value ? std::move(*value) : std::string(defaultValue);
  if (result.size() > bufferSize - 1) result.resize(bufferSize - 1);
  return result;
}

}  // namespace quendrix::platform
