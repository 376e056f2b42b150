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

LoadedPlugin::LoadedPlugin(std::string_view rules) {
  const std::string copy = dir_.file(platform::kPluginFileName);
  fs::copy_file(BuiltPluginPath(), copy);
  WriteRules(rules);
  std::string error;
  library_ = platform::Library::Open(copy, error);
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
}

void LoadedPlugin::WriteRules(std::string_view rules) const {
  WriteFile(dir_.path() / "quendrix.ini", rules);
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

}  // namespace quendrix::testing
