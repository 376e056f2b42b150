#include "setup/config_file.h"

#include <filesystem>
#include <fstream>

#include "text/utf8_path.h"

namespace quendrix::host {

namespace fs = std::filesystem;

std::string BackupPathOf(const std::string& path) { return path + ".quendrix-backup"; }

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(PathOf(path), error));
}

bool BackUp(const std::string& path, std::string& why) {
  std::error_code error;
  fs::copy_file(PathOf(path), PathOf(BackupPathOf(path)), fs::copy_options::overwrite_existing,
                error);
  if (error) why = "its backup " + BackupPathOf(path) + " cannot be written: " + error.message();
  return !error;
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
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      fs::remove(fresh, error);
      why = "no file can be written in its folder";
      return false;
    }
  }
  const fs::file_status old = fs::status(target, error);
  if (fs::exists(old)) fs::permissions(fresh, old.permissions(), error);
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
