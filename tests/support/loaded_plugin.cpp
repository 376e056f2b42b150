#include "support/loaded_plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace quendrix::testing {

namespace fs = std::filesystem;

std::string BuiltPluginPath() {
  return platform::ExecutableDirectory() +
         std::string(platform::kPluginFileName);
}

namespace {

template <typename Fn>
Fn Resolve(const platform::Library& library, const char* name) {
  auto* symbol = library.Symbol(name);
  if (symbol == nullptr) {
    throw std::runtime_error(std::string("plug-in lacks export ") + name);
  }
  return reinterpret_cast<Fn>(symbol);
}

}  // namespace

LoadedPlugin::LoadedPlugin(std::string_view rules, std::string_view utf8Folder)
    : home_(dir_.path()) {
  if (!utf8Folder.empty()) {
    home_ /= PathOfUtf8(utf8Folder);
    fs::create_directory(home_);
  }
  const fs::path copy = home_ / std::string(platform::kPluginFileName);
  fs::copy_file(BuiltPluginPath(), copy);
  WriteRules(rules);
  std::string error;
  library_ = utf8Folder.empty()
                 ? platform::Library::Open(copy.string(), error)
                 : platform::Library::Open(Utf8Of(copy), error,
                                           platform::TextEncoding::kUtf8);
  if (!library_.IsOpen()) throw std::runtime_error(error);
  openArchive = Resolve<OpenArchiveFn>(library_, "OpenArchive");
  readHeader = Resolve<ReadHeaderFn>(library_, "ReadHeader");
  processFile = Resolve<ProcessFileFn>(library_, "ProcessFile");
  closeArchive = Resolve<CloseArchiveFn>(library_, "CloseArchive");
  setChangeVolProc = Resolve<SetChangeVolProcFn>(library_, "SetChangeVolProc");
  setProcessDataProc =
      Resolve<SetProcessDataProcFn>(library_, "SetProcessDataProc");
  getPackerCaps = Resolve<GetPackerCapsFn>(library_, "GetPackerCaps");
  canYouHandleThisFile =
      Resolve<CanYouHandleThisFileFn>(library_, "CanYouHandleThisFile");
  getBackgroundFlags = reinterpret_cast<GetBackgroundFlagsFn>(
      library_.Symbol("GetBackgroundFlags"));
  memberFailure = reinterpret_cast<QuendrixMemberFailureFn>(
      library_.Symbol("QuendrixMemberFailure"));
  memberFailureReason = reinterpret_cast<QuendrixMemberFailureReasonFn>(
      library_.Symbol("QuendrixMemberFailureReason"));
  openFailure =
      reinterpret_cast<QuendrixOpenFailureFn>(library_.Symbol("QuendrixOpenFailure"));
  listWarning =
      reinterpret_cast<QuendrixListWarningFn>(library_.Symbol("QuendrixListWarning"));
  ResolveWideFunctions();
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
