// Windows: the file operations of the cache of made members: locks, fast
// copies, a folder's files, and a folder of this user's alone.
#include <windows.h>

#include <utility>

#include "platform/platform.h"
#include "platform/win32/unix_epoch.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/quiet_errors.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

using win32::FileHandle;
using win32::WithQuietErrors;

using win32::kUnixEpochIn100ns;

std::wstring Wide(const std::string& text, TextEncoding encoding) {
  return win32::WideFromUtf8(encoding == TextEncoding::kUtf8 ? text : Utf8FromSystemText(text));
}

std::string Narrow(std::wstring_view wide, TextEncoding encoding) {
  const std::string utf8 = win32::Utf8FromWide(wide);
  return encoding == TextEncoding::kUtf8 ? utf8 : SystemTextFromUtf8(utf8);
}

HANDLE Open(const std::wstring& path, DWORD access, DWORD disposition) {
  return WithQuietErrors([&] {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  });
}

struct CopyProgress {
  const std::function<bool(std::int64_t)>* progress;
  std::int64_t length;
};

DWORD CALLBACK OnCopyProgress(LARGE_INTEGER /*total*/, LARGE_INTEGER transferred,
                              LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                              LPVOID data) {
  const auto* copy = static_cast<const CopyProgress*>(data);
  if (copy->progress == nullptr || !*copy->progress) return PROGRESS_CONTINUE;
  const std::int64_t done = std::min<std::int64_t>(transferred.QuadPart, copy->length);
  return (*copy->progress)(done) ? PROGRESS_CONTINUE : PROGRESS_CANCEL;
}

}  // namespace

FileLock::~FileLock() {
  if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

FileLock::FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNone) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

FileLock FileLock::TryTake(const std::string& path, TextEncoding encoding, bool* busy) {
  FileLock lock;
  if (busy != nullptr) *busy = false;
  const HANDLE file = Open(Wide(path, encoding), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return lock;
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    if (busy != nullptr) *busy = GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);
    return lock;
  }
  lock.handle_ = reinterpret_cast<std::intptr_t>(file);
  return lock;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& path,
                                                   TextEncoding encoding) {
  std::wstring pattern = Wide(path, encoding);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  const HANDLE search = WithQuietErrors([&] { return FindFirstFileW(pattern.c_str(), &found); });
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<FolderEntry>{};
    return std::nullopt;
  }
  std::vector<FolderEntry> entries;
  do {
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      continue;
    }
    const std::int64_t written =
        (static_cast<std::int64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
        found.ftLastWriteTime.dwLowDateTime;
    entries.push_back(FolderEntry{
        Narrow(found.cFileName, encoding),
        (static_cast<std::int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow,
        (written - kUnixEpochIn100ns) / 10000000});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries;
}

CopyOutcome CopyFilePrefix(const std::string& from, const std::string& to, std::int64_t length,
                           const std::function<bool(std::int64_t)>& progress,
                           bool /*privateFile*/, TextEncoding encoding) {
  const std::wstring source = Wide(from, encoding);
  const std::wstring target = Wide(to, encoding);
  CopyProgress copy{&progress, length};
  BOOL cancel = FALSE;
  const BOOL copied = WithQuietErrors([&] {
    return CopyFileExW(source.c_str(), target.c_str(), &OnCopyProgress, &copy, &cancel, 0);
  });
  if (!copied) {
    const bool stopped = GetLastError() == ERROR_REQUEST_ABORTED;
    WithQuietErrors([&] { return DeleteFileW(target.c_str()); });
    return stopped ? CopyOutcome::kStopped : CopyOutcome::kFailed;
  }
  // The copy holds the whole file; the member is its first `length` bytes.
  const FileHandle file(Open(target, GENERIC_WRITE, OPEN_EXISTING));
  LARGE_INTEGER end{};
  end.QuadPart = length;
  const bool cut = file.IsOpen() && SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) &&
                   SetEndOfFile(file.get());
  if (!cut) {
    WithQuietErrors([&] { return DeleteFileW(target.c_str()); });
    return CopyOutcome::kFailed;
  }
  return CopyOutcome::kCopied;
}

bool AppendBytes(const std::string& path, std::string_view bytes, TextEncoding encoding) {
  const FileHandle file(Open(Wide(path, encoding), FILE_APPEND_DATA, OPEN_EXISTING));
  if (!file.IsOpen()) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) &&
         written == bytes.size();
}

std::optional<FileTail> ReadFileTail(const std::string& path, std::size_t count,
                                     TextEncoding encoding) {
  const FileHandle file(Open(Wide(path, encoding), GENERIC_READ, OPEN_EXISTING));
  LARGE_INTEGER size{};
  if (!file.IsOpen() || !GetFileSizeEx(file.get(), &size) ||
      size.QuadPart < static_cast<LONGLONG>(count)) {
    return std::nullopt;
  }
  LARGE_INTEGER at{};
  at.QuadPart = size.QuadPart - static_cast<LONGLONG>(count);
  FileTail tail;
  tail.size = size.QuadPart;
  tail.bytes.resize(count);
  DWORD read = 0;
  if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
      !ReadFile(file.get(), tail.bytes.data(), static_cast<DWORD>(count), &read, nullptr) ||
      read != count) {
    return std::nullopt;
  }
  return tail;
}

bool RenameReplacing(const std::string& from, const std::string& to, TextEncoding encoding) {
  return WithQuietErrors([&] {
           return MoveFileExW(Wide(from, encoding).c_str(), Wide(to, encoding).c_str(),
                              MOVEFILE_REPLACE_EXISTING);
         }) != 0;
}

bool TouchFile(const std::string& path, TextEncoding encoding) {
  const FileHandle file(Open(Wide(path, encoding), FILE_WRITE_ATTRIBUTES, OPEN_EXISTING));
  if (!file.IsOpen()) return false;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return SetFileTime(file.get(), nullptr, nullptr, &now) != 0;
}

std::optional<std::uint64_t> FreeSpaceAt(const std::string& path, TextEncoding encoding) {
  ULARGE_INTEGER free{};
  if (!WithQuietErrors([&] {
        return GetDiskFreeSpaceExW(Wide(path, encoding).c_str(), &free, nullptr, nullptr);
      })) {
    return std::nullopt;
  }
  return free.QuadPart;
}

std::optional<std::string> MakePrivateFolder(const std::string& path, TextEncoding encoding) {
  // A user's local application data is the user's own; what is checked is
  // that a folder, not a link to somewhere else, stands there.
  if (!MakeDirectories(path, encoding, FolderAccess::kOwnerOnly)) return "it cannot be made";
  const DWORD attributes =
      WithQuietErrors([&] { return GetFileAttributesW(Wide(path, encoding).c_str()); });
  if (attributes == INVALID_FILE_ATTRIBUTES) return "it cannot be examined";
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "a link stands in its place";
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return "something that is no folder stands in its place";
  }
  return std::nullopt;
}

}  // namespace quendrix::platform
