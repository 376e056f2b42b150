// POSIX: the profile reader, our own in place of the Windows profile
// functions. The file is taken in once per Profile object, and keys are
// answered from that snapshot by the same rules as the Windows reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/posix/descriptor.h"
#include "platform/posix/file_state.h"
#include "format/profile_text.h"

namespace quendrix::platform {
namespace {

// Reads go into a buffer of at most this size that is kept for the next
// read, so a rules file of up to this size is taken in with one read call and
// without touching fresh memory; larger files pass through it piece by piece.
constexpr std::size_t kMaxReadBuffer = std::size_t{1} << 20;
constexpr std::size_t kMinReadBuffer = std::size_t{64} << 10;

// A file system stamps a write with a time cut to its own granularity (two
// seconds on FAT), so a second write soon after a read may leave the stamp
// as it was. The stamp of a read therefore stands for the file's content
// only when the file's times lay this far before the read began; a file
// written more recently is read in full every time until then.
constexpr std::int64_t kStampSettleSeconds = 3;

// Even a settled stamp is trusted only this long after the last full read,
// so that a file system whose times do not move at all (some network and
// user-space file systems) delays an edit by at most this much.
constexpr std::int64_t kStampTrustNanoseconds = 1'000'000'000;

std::int64_t NowNanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The parse of the file read last, with where and how the file stood then.
// Profiles may be made on several threads at once; a parse handed out stays
// alive for its holder when another thread replaces it.
struct Snapshot {
  std::string path;
  std::shared_ptr<const ProfileText> text;
  // How the file stood when it was read: a write to it changes its
  // status-change time, which no program can set back, and a replacement
  // changes its identity.
  FileState stamp;
  bool settled = false;         // the file's times lay well before the read
  std::int64_t readAt = 0;      // monotonic time of the last full read
};

class LastParse {
 public:
  Snapshot Get() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return last_;
  }
  void Keep(Snapshot snapshot) {
    const std::lock_guard<std::mutex> lock(mutex_);
    last_ = std::move(snapshot);
  }

 private:
  std::mutex mutex_;
  Snapshot last_;
};

LastParse& TheLastParse() {
  static LastParse last;
  return last;
}

// The read buffer kept between reads. A thread that finds it taken by
// another one reads through a buffer of its own, which it then leaves here.
class SpareBuffer {
 public:
  std::string Take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::move(spare_);
  }
  void Give(std::string buffer) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (buffer.size() > spare_.size()) spare_ = std::move(buffer);
  }

 private:
  std::mutex mutex_;
  std::string spare_;
};

SpareBuffer& TheSpareBuffer() {
  static SpareBuffer spare;
  return spare;
}

// Holds the spare buffer for one read and hands it back on every way out.
class ReadBuffer {
 public:
  explicit ReadBuffer(std::size_t wanted)
      : buffer_(TheSpareBuffer().Take()) {
    if (buffer_.size() < wanted) buffer_.resize(wanted);
  }
  ~ReadBuffer() { TheSpareBuffer().Give(std::move(buffer_)); }
  ReadBuffer(const ReadBuffer&) = delete;
  ReadBuffer& operator=(const ReadBuffer&) = delete;

  char* data() { return buffer_.data(); }
  std::size_t size() const { return buffer_.size(); }

 private:
  std::string buffer_;
};

// Whether the file, as it stands now, is the one `last` was parsed from
// without reading it again.
bool StillStandsAsRead(const Snapshot& last, const std::string& path,
                       const FileState& stamp) {
  return last.text != nullptr && last.settled && last.path == path &&
         last.stamp == stamp &&
         NowNanoseconds(CLOCK_MONOTONIC) - last.readAt < kStampTrustNanoseconds;
}

bool SettledBefore(const FileState& stamp, std::int64_t readStart) {
  const std::int64_t settle = kStampSettleSeconds * 1'000'000'000;
  return stamp.modified <= readStart - settle && stamp.changed <= readStart - settle;
}

// Takes in the whole file and gives its parse; nothing when it is missing,
// unreadable or not a regular file (a directory reads as a missing file, as
// on Windows).
//
// A file manager may probe every file it shows, so a probe must not cost
// more than one read of the rules file, yet every edit must be seen by the
// next lookup. A file whose stamp is unchanged since a read that began well
// after its last write is therefore taken as read; any other file is read in
// full. While the bytes read are the ones parsed last, they are only
// compared, piece by piece, and not kept, so an unchanged file costs no copy,
// allocation or parse. From the first byte that differs on, the file is
// collected and parsed anew.
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
  // Taken before the first byte is read: a write during the read changes the
  // file's stamp after this, and the next lookup reads the file again.
  const FileState stamp = StateOfStatus(info);
  Snapshot last = TheLastParse().Get();
  if (StillStandsAsRead(last, path, stamp)) return last.text;
  const std::int64_t readStart = NowNanoseconds(CLOCK_REALTIME);
  const std::int64_t readAt = NowNanoseconds(CLOCK_MONOTONIC);

  const std::size_t expected = static_cast<std::size_t>(info.st_size);
  // One byte more than the file holds, so that a file of the expected size
  // is read whole by the first call and the second only confirms its end.
  ReadBuffer buffer(std::clamp(expected + 1, kMinReadBuffer, kMaxReadBuffer));
  const std::shared_ptr<const ProfileText> knownText =
      last.path == path ? last.text : nullptr;
  const std::string_view known = knownText != nullptr
                                     ? std::string_view(knownText->bytes())
                                     : std::string_view();
  bool same = knownText != nullptr;
  std::size_t matched = 0;  // bytes read so far, while they equal `known`
  std::string bytes;        // everything read, once it differs
  for (;;) {
    const ssize_t got = read(file.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return nullptr;
    }
    if (got == 0) break;
    const std::string_view piece(buffer.data(), static_cast<std::size_t>(got));
    if (same && known.substr(matched, piece.size()) == piece) {
      matched += piece.size();
      continue;
    }
    if (same) {
      same = false;
      bytes.reserve(std::max(expected, matched + piece.size()));
      bytes.assign(known.substr(0, matched));
    } else if (bytes.empty()) {
      bytes.reserve(expected);
    }
    bytes.append(piece);
  }
  std::shared_ptr<const ProfileText> text;
  if (same && matched == known.size()) {
    text = knownText;
  } else {
    if (same) bytes.assign(known.substr(0, matched));  // the file was cut short
    text = std::make_shared<const ProfileText>(std::move(bytes));
  }
  TheLastParse().Keep(
      {path, text, stamp, SettledBefore(stamp, readStart), readAt});
  return text;
}

}  // namespace

struct Profile::Impl {
  std::shared_ptr<const ProfileText> text;
};

Profile::Profile(const std::string& path, TextEncoding /*encoding*/)
    : impl_(std::make_unique<Impl>()) {
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
