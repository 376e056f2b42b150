// The wide functions of the loaded plug-in, with the tests' UTF-8 text.
#include <algorithm>

#include "format/utf16_text.h"
#include "support/loaded_plugin.h"

namespace quendrix::testing {

bool LoadedPlugin::HasWideFunctions() const {
  return openArchiveW != nullptr && readHeaderExW != nullptr &&
         processFileW != nullptr && setChangeVolProcW != nullptr &&
         setProcessDataProcW != nullptr && canYouHandleThisFileW != nullptr;
}

OpenOutcome LoadedPlugin::OpenW(const std::string& archive, std::int32_t mode,
                                std::int32_t initialResult) const {
  std::u16string name = Utf16FromUtf8(archive);
  tOpenArchiveDataW data{};
  data.ArcName = name.data();
  data.OpenMode = mode;
  data.OpenResult = initialResult;
  OpenOutcome outcome;
  outcome.handle = openArchiveW(&data);
  outcome.openResult = data.OpenResult;
  last_ = outcome.handle;
  return outcome;
}

int LoadedPlugin::ReadW(ArchiveHandle handle, Header& header) const {
  tHeaderDataExW data;
  std::fill_n(reinterpret_cast<unsigned char*>(&data), sizeof data, 0x5A);
  const int result = readHeaderExW(handle, &data);
  if (result == 0) {
    const char16_t* end =
        std::find(data.FileName, data.FileName + kWideNameUnits, u'\0');
    header.name = Utf8FromUtf16(
        std::u16string_view(data.FileName, static_cast<std::size_t>(end - data.FileName)));
    header.packSize = data.PackSize;
    header.unpSize = data.UnpSize;
    header.fileTime = data.FileTime;
  }
  return result;
}

int LoadedPlugin::ProcessW(ArchiveHandle handle, int operation,
                           const std::string& destName) const {
  std::u16string name = Utf16FromUtf8(destName);
  return processFileW(handle, operation, nullptr, name.data());
}

int LoadedPlugin::CanHandleW(const std::string& path) const {
  std::u16string name = Utf16FromUtf8(path);
  return canYouHandleThisFileW(name.data());
}

std::vector<std::string> LoadedPlugin::ListW(const std::string& archive,
                                             std::size_t limit) const {
  std::vector<std::string> names;
  const OpenOutcome opened = OpenW(archive);
  if (opened.handle == nullptr) return names;
  Header header;
  while (names.size() < limit && ReadW(opened.handle, header) == 0) {
    names.push_back(header.name);
  }
  Close(opened.handle);
  return names;
}

}  // namespace quendrix::testing
