#include "support/plugin_copy.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

namespace quendrix::bench {

namespace fs = std::filesystem;

namespace {

fs::path FreshDirectory() {
  std::random_device random;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  for (unsigned attempt = 0;; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() /
        ("quendrix-bench-" + std::to_string(random()) + "-" +
         std::to_string(now) + "-" + std::to_string(attempt));
    std::error_code error;
    if (fs::create_directory(candidate, error)) return candidate;
  }
}

std::vector<char> Terminated(const std::string& text) {
  std::vector<char> bytes(text.begin(), text.end());
  bytes.push_back('\0');
  return bytes;
}

}  // namespace

PluginCopy::PluginCopy(std::string_view rules) : dir_(FreshDirectory()) {
  const fs::path copy = dir_ / std::string(platform::kPluginFileName);
  fs::copy_file(platform::ExecutableDirectory() +
                    std::string(platform::kPluginFileName),
                copy);
  WriteWholeFile(RulesPath(), rules);
  std::string error;
  plugin_ = host::PluginClient::Load(copy.string(), error, platform::TextEncoding::kSystem);
  if (!plugin_) throw std::runtime_error(error);
  if (plugin_->CanYouHandleThisFile == nullptr) {
    throw std::runtime_error("plug-in lacks export CanYouHandleThisFile");
  }
}

PluginCopy::~PluginCopy() {
  plugin_.reset();
  std::error_code error;
  fs::remove_all(dir_, error);
}

std::string PluginCopy::RulesPath() const { return PathOf("quendrix.ini"); }

std::string PluginCopy::PathOf(std::string_view name) const {
  return (dir_ / std::string(name)).string();
}

bool PluginCopy::CanHandle(const std::string& path) const {
  std::vector<char> name = Terminated(path);
  return plugin_->CanYouHandleThisFile(name.data()) != 0;
}

int PluginCopy::ListAll(const std::string& archive) const {
  std::vector<char> name = Terminated(archive);
  tOpenArchiveData data{};
  data.ArcName = name.data();
  data.OpenMode = PK_OM_LIST;
  const ArchiveHandle handle = plugin_->OpenArchive(&data);
  if (handle == nullptr) return -1;
  tHeaderData header{};
  int members = 0;
  while (plugin_->ReadHeader(handle, &header) == 0) ++members;
  plugin_->CloseArchive(handle);
  return members;
}

bool PluginCopy::OpenAndClose(const std::string& archive) const {
  std::vector<char> name = Terminated(archive);
  tOpenArchiveData data{};
  data.ArcName = name.data();
  data.OpenMode = PK_OM_LIST;
  const ArchiveHandle handle = plugin_->OpenArchive(&data);
  if (handle == nullptr) return false;
  plugin_->CloseArchive(handle);
  return true;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  const bool written =
      std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string ReadWholeFilePlainly(const std::string& path) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long size = std::ftell(file);
    if (size > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
      bytes.resize(static_cast<std::size_t>(size));
      bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    }
  }
  std::fclose(file);
  return bytes;
}

}  // namespace quendrix::bench
