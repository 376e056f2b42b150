#include "support/loaded_plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <utility>

namespace quendrix::testing {

namespace fs = std::filesystem;

std::string BuiltPluginPath() {
  return platform::ExecutableDirectory() +
         std::string(platform::kPluginFileName);
}

LoadedPlugin::LoadedPlugin(std::string_view rules, std::string_view utf8Folder)
    : home_(utf8Folder.empty() ? dir_.path() : dir_.path() / PathOfUtf8(utf8Folder)),
      client_(LoadCopy(rules, !utf8Folder.empty())) {}

host::PluginClient LoadedPlugin::LoadCopy(std::string_view rules, bool byWideName) const {
  if (byWideName) fs::create_directory(home_);
  const fs::path copy = home_ / std::string(platform::kPluginFileName);
  fs::copy_file(BuiltPluginPath(), copy);
  WriteRules(rules);
  std::string error;
  std::optional<host::PluginClient> loaded =
      byWideName ? host::PluginClient::Load(Utf8Of(copy), error, platform::TextEncoding::kUtf8)
                 : host::PluginClient::Load(copy.string(), error, platform::TextEncoding::kSystem);
  if (!loaded) throw std::runtime_error(error);
  // The exports every packer plug-in has, beyond the four a reader needs.
  for (const auto& [present, name] :
       {std::pair{loaded->SetChangeVolProc != nullptr, "SetChangeVolProc"},
        std::pair{loaded->SetProcessDataProc != nullptr, "SetProcessDataProc"},
        std::pair{loaded->GetPackerCaps != nullptr, "GetPackerCaps"},
        std::pair{loaded->CanYouHandleThisFile != nullptr, "CanYouHandleThisFile"}}) {
    if (!present) throw std::runtime_error(std::string("plug-in lacks export ") + name);
  }
  return std::move(*loaded);
}

std::string LoadedPlugin::Text(const fs::path& directory) {
  std::string text = directory.string();
  if (text.empty() || text.back() != platform::kPathSeparator) {
    text += platform::kPathSeparator;
  }
  return text;
}

std::string LoadedPlugin::dirUtf8() const {
  return Utf8Of(home_) + platform::kPathSeparator;
}

void LoadedPlugin::WriteRules(std::string_view rules) const {
  WriteFile(home_ / "quendrix.ini", rules);
}

OpenOutcome LoadedPlugin::Open(const std::string& archive, std::int32_t mode,
                               std::int32_t initialResult) const {
  std::vector<char> name(archive.begin(), archive.end());
  name.push_back('\0');
  tOpenArchiveData data{};
  data.ArcName = name.data();
  data.OpenMode = mode;
  data.OpenResult = initialResult;
  OpenOutcome outcome;
  outcome.handle = openArchive(&data);
  outcome.openResult = data.OpenResult;
  last_ = outcome.handle;
  return outcome;
}

int LoadedPlugin::Read(ArchiveHandle handle, Header& header) const {
  tHeaderData data;
  std::memset(&data, 0x5A, sizeof data);  // shows which fields are written
  const int result = readHeader(handle, &data);
  if (result == 0) {
    header.name.assign(data.FileName,
                       strnlen(data.FileName, sizeof data.FileName));
    header.packSize = data.PackSize;
    header.unpSize = data.UnpSize;
    header.fileTime = data.FileTime;
  }
  return result;
}

int LoadedPlugin::ProcessOn(ArchiveHandle handle, int operation,
                            const char* destName, const char* destPath) const {
  return processFile(handle, operation, const_cast<char*>(destPath),
                     const_cast<char*>(destName));
}

int LoadedPlugin::Close(ArchiveHandle handle) const {
  return closeArchive(handle);
}

int LoadedPlugin::Caps() const { return getPackerCaps(); }

int LoadedPlugin::CanHandle(const std::string& path) const {
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  return canYouHandleThisFile(name.data());
}

std::vector<std::string> LoadedPlugin::List(const std::string& archive,
                                            std::size_t limit) const {
  std::vector<std::string> names;
  const OpenOutcome opened = Open(archive);
  if (opened.handle == nullptr) return names;
  Header header;
  while (names.size() < limit && Read(opened.handle, header) == 0) {
    names.push_back(header.name);
  }
  Close(opened.handle);
  return names;
}

std::string LoadedPlugin::FailureReason() const {
  if (memberFailureReason == nullptr) return {};
  std::string reason(8192, '\0');
  memberFailureReason(last_.load(), reason.data(), static_cast<int>(reason.size()));
  reason.resize(reason.find('\0'));
  return reason;
}

std::string LoadedPlugin::OpenFailureReason() const {
  if (openFailure == nullptr) return {};
  std::string reason(8192, '\0');
  openFailure(reason.data(), static_cast<int>(reason.size()), nullptr, 0);
  reason.resize(reason.find('\0'));
  return reason;
}

std::string LoadedPlugin::ListWarningText() const {
  if (listWarning == nullptr) return {};
  std::string text(8192, '\0');
  listWarning(last_.load(), text.data(), static_cast<int>(text.size()));
  text.resize(text.find('\0'));
  return text;
}

}  // namespace quendrix::testing
