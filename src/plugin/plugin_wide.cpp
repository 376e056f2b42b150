// The wide functions of the plug-in: a session they open carries its text as
// UTF-8, and every other function converts its own text to and from it.
#include <algorithm>

#include "format/utf16_text.h"
#include "plugin/handles.h"
#include "plugin/plugin.h"
#include "plugin/session_text.h"
#include "plugin/timestamp.h"

namespace quendrix {
namespace {

using platform::TextEncoding;

// The longest member name a wide header holds, in UTF-16 units.
constexpr std::size_t kWideMemberNameLimit = kWideNameUnits - 1;

}  // namespace

ArchiveHandle Plugin::OpenArchiveW(tOpenArchiveDataW* data) noexcept {
  if (data == nullptr) return nullptr;
  try {
    std::string path = Utf8FromUtf16(Utf16Terminated(data->ArcName));
    return Open(std::move(path), TextEncoding::kUtf8, data->OpenMode,
                data->OpenResult);
  } catch (...) {
    // Without memory for the name nothing can be opened.
    data->OpenResult = data->OpenMode == PK_OM_LIST ? E_EOPEN : E_NOT_SUPPORTED;
    return nullptr;
  }
}

int Plugin::ReadHeaderExW(ArchiveHandle handle,
                          tHeaderDataExW* header) noexcept {
  if (header == nullptr) return ReadNext(handle, nullptr);
  return ReadNext(handle, [header](const Session& session, const MemberView& member) {
    // Without memory for the converted name the name stays empty.
    std::u16string name;
    try {
      name = Utf16TextOfSession(member.name, session.encoding);
    } catch (...) {
    }
    const std::u16string_view cut = CutUtf16(name, kWideMemberNameLimit);
    std::copy(cut.begin(), cut.end(), header->FileName);
    header->FileName[cut.size()] = u'\0';
    header->FileTime = static_cast<std::int32_t>(
        member.time ? HeaderTimeOf(*member.time) : session.ArcDosTime);
    const auto size = static_cast<std::uint64_t>(member.size.value_or(1));
    header->PackSize = static_cast<std::int32_t>(size & 0xFFFFFFFF);
    header->PackSizeHigh = static_cast<std::int32_t>(size >> 32);
    header->UnpSize = header->PackSize;
    header->UnpSizeHigh = header->PackSizeHigh;
  });
}

int Plugin::ProcessFileW(ArchiveHandle handle, int operation,
                         const char16_t* /*destPath*/,
                         const char16_t* destName) noexcept {
  return ProcessNamed(handle, operation, [destName](TextEncoding session) {
    return SessionTextFromUtf16(Utf16Terminated(destName), session);
  });
}

void Plugin::SetProcessDataProcW(ArchiveHandle handle,
                                 ProcessDataProcW callback) noexcept {
  StoreCallback(sessions_, handle, callback, everyProcessDataW_,
                &Session::processDataW);
}

void Plugin::SetChangeVolProcW(ArchiveHandle handle,
                               ChangeVolProcW callback) noexcept {
  StoreCallback(sessions_, handle, callback, everyChangeVolumeW_,
                &Session::changeVolumeW);
}

int Plugin::CanYouHandleThisFileW(const char16_t* path) const noexcept {
  try {
    return Lookup(Utf8FromUtf16(Utf16Terminated(path)), TextEncoding::kUtf8) !=
                   nullptr
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}

}  // namespace quendrix
