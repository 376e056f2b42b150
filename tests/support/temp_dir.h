// A fresh directory for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quendrix::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The directory in the platform's own form, ending in its separator.
  std::string str() const;
  // `name` inside the directory, in the platform's own form.
  std::string file(std::string_view name) const;
  // The directory, ending in its separator, and `name` inside it, in UTF-8:
  // for names that the system's ANSI code page cannot write.
  std::string utf8() const;
  std::string utf8File(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

// A path and its text in UTF-8, whatever the system's own encoding.
std::filesystem::path PathOfUtf8(std::string_view utf8);
std::string Utf8Of(const std::filesystem::path& path);

// The bytes of a UTF-16 little-endian text file, with its byte-order mark,
// holding `utf8`: the form in which a Windows rules file holds characters
// that no ANSI code page writes.
std::string Utf16FileBytes(std::string_view utf8);

// Writes `bytes` to `path` exactly, replacing what was there.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
// The whole content of `path`; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace quendrix::testing
