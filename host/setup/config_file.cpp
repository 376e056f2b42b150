#include "setup/config_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

namespace fs = std::filesystem;

constexpr fs::perms kOwnerReadWrite = fs::perms::owner_read | fs::perms::owner_write;

std::string SystemError(int error) { return std::strerror(error); }

// Writes `bytes` as a new file at `fresh`. The file is made exclusively (as
// O_CREAT|O_EXCL does), so that a link that stands at that name, or is put
// there meanwhile, is never followed: the call fails instead. A file left
// there by a run that was stopped goes first; a link goes itself, not the
// file it points to. With `perms` (other than fs::perms::unknown, which
// keeps those it is made with) the file is its owner's alone while the
// bytes go in, and then gets them. False, with the reason in `why`, when
// the file could not be written whole; nothing of it stays then.
bool WriteFreshFile(const fs::path& fresh, const std::string& bytes,
                    fs::perms perms, std::string& why) {
  std::error_code error;
  fs::remove(fresh, error);
  std::FILE* file = std::fopen(fresh.string().c_str(), "wbx");
  if (file == nullptr) {
    why = "no file can be made in its folder: " + SystemError(errno);
    return false;
  }
  const bool setPerms = perms != fs::perms::unknown;
  if (setPerms) fs::permissions(fresh, kOwnerReadWrite, error);
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  int failure = written ? 0 : errno;
  if (std::fflush(file) != 0 && written) {
    written = false;
    failure = errno;
  }
  if (std::fclose(file) != 0 && written) {
    written = false;
    failure = errno;
  }
  if (!written) {
    fs::remove(fresh, error);
    why = "it cannot be written: " + SystemError(failure);
    return false;
  }
  if (setPerms) fs::permissions(fresh, perms, error);
  return true;
}

}  // namespace

std::string BackupPathOf(const std::string& path) { return path + ".quendrix-backup"; }

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(PathOf(path), error));
}

std::optional<std::string> WhyNotWritable(const std::string& path) {
  std::error_code error;
  // A link's file is the one that is replaced.
  const fs::file_status status = fs::status(PathOf(path), error);
  if (!fs::exists(status)) return std::nullopt;
  if (!fs::is_regular_file(status)) return "it is not a regular file";
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    return "it is read-only (its owner may not write it); make it writable (chmod u+w) if "
           "quendrix is to change it";
  }
  std::FILE* file = std::fopen(PathOf(path).string().c_str(), "r+b");
  if (file == nullptr) return "it cannot be written: " + SystemError(errno);
  std::fclose(file);
  return std::nullopt;
}

bool BackUp(const std::string& path, std::string& why) {
  const std::string backup = BackupPathOf(path);
  std::ifstream in(PathOf(path), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    why = "it cannot be read for its backup";
    return false;
  }
  std::error_code error;
  const fs::perms perms =
      (fs::status(PathOf(path), error).permissions() & fs::perms::all) | kOwnerReadWrite;
  fs::path fresh = PathOf(backup);
  fresh += ".quendrix-new";
  std::string failure;
  if (!WriteFreshFile(fresh, bytes, perms, failure)) {
    why = "its backup " + backup + " cannot be written: " + failure;
    return false;
  }
  // Whatever stands at the backup's name, a link or a backup its owner
  // cannot write, is replaced, never written through.
  fs::rename(fresh, PathOf(backup), error);
  if (error) {
    why = "its backup " + backup + " cannot be written: " + error.message();
    fs::remove(fresh, error);
    return false;
  }
  return true;
}

bool WriteConfigFile(const std::string& path, const std::string& bytes, std::string& why) {
  std::error_code error;
  fs::path target = PathOf(path);
  if (fs::is_symlink(fs::symlink_status(target, error))) {
    target = fs::canonical(target, error);
    if (error) {
      why = "it is a symbolic link to nothing that exists";
      return false;
    }
  }
  if (target.has_parent_path()) {
    fs::create_directories(target.parent_path(), error);
    if (error) {
      why = "its folder cannot be made: " + error.message();
      return false;
    }
  }
  fs::path fresh = target;
  fresh += ".quendrix-new";
  const fs::file_status old = fs::status(target, error);
  const fs::perms perms =
      fs::exists(old) ? old.permissions() & fs::perms::all : fs::perms::unknown;
  if (!WriteFreshFile(fresh, bytes, perms, why)) return false;
  fs::rename(fresh, target, error);
  if (error) {
    why = error.message();
    std::error_code ignored;
    fs::remove(fresh, ignored);
    return false;
  }
  return true;
}

bool RemoveConfigFile(const std::string& path, std::string& why) {
  std::error_code error;
  fs::remove(PathOf(path), error);
  if (error) why = error.message();
  return !error;
}

}  // namespace quendrix::host
