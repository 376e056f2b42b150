#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

#include "format/utf16_text.h"
#include "platform/platform.h"

namespace quendrix::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    std::ostringstream name;
    name << "quendrix-test-" << std::hex << random() << '-' << now << '-'
         << counter++;
    fs::path candidate = fs::temp_directory_path() / name.str();
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = fs::absolute(candidate);
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code error;
  // Tests may leave read-only directories behind them.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add,
                    error);
  }
  fs::remove_all(path_, error);
}

std::string TempDir::str() const {
  std::string text = path_.string();
  if (text.empty() || text.back() != platform::kPathSeparator) {
    text += platform::kPathSeparator;
  }
  return text;
}

std::string TempDir::file(std::string_view name) const {
  return str() + std::string(name);
}

std::string TempDir::utf8() const {
  std::string text = Utf8Of(path_);
  if (text.empty() || text.back() != platform::kPathSeparator) {
    text += platform::kPathSeparator;
  }
  return text;
}

std::string TempDir::utf8File(std::string_view name) const {
  return utf8() + std::string(name);
}

fs::path PathOfUtf8(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string Utf16FileBytes(std::string_view utf8) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : Utf16FromUtf8(utf8)) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace quendrix::testing
