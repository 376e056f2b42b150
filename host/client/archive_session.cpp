#include "client/archive_session.h"

#include <algorithm>
#include <ostream>
#include <utility>

#include "format/utf16_text.h"
#include "client/member_failure.h"
#include "exit_codes.h"

namespace quendrix::host {

std::string ResultCodeText(int code) {
  switch (code) {
    case 0: return "no reason given";
    case E_END_ARCHIVE: return "no more members";
    case E_NO_MEMORY: return "out of memory";
    case E_BAD_DATA: return "bad data";
    case E_BAD_ARCHIVE: return "bad archive";
    case E_UNKNOWN_FORMAT: return "unknown format";
    case E_EOPEN: return "cannot open the file";
    case E_ECREATE: return "cannot create the member";
    case E_ECLOSE: return "error while closing";
    case E_EREAD: return "read error";
    case E_EWRITE: return "write error";
    case E_SMALL_BUF: return "buffer too small";
    case E_EABORTED: return "aborted";
    case E_NO_FILES: return "no files";
    case E_TOO_MANY_FILES: return "too many files";
    case E_NOT_SUPPORTED: return "not supported";
    default: return "unknown code";
  }
}

namespace {

// Opens `path` (UTF-8) through the wide or the ANSI function; puts the
// plug-in's result into `openResult`.
ArchiveHandle OpenThrough(const PluginClient& plugin, const std::string& path,
                          int mode, std::int32_t& openResult) {
  if (plugin.UsesWideFunctions()) {
    std::u16string name = Utf16FromUtf8(path);
    tOpenArchiveDataW data{};
    data.ArcName = name.data();
    data.OpenMode = mode;
    const ArchiveHandle handle = plugin.OpenArchiveW(&data);
    openResult = data.OpenResult;
    return handle;
  }
  std::string name = platform::SystemTextFromUtf8(path);
  tOpenArchiveData data{};
  data.ArcName = name.data();
  data.OpenMode = mode;
  const ArchiveHandle handle = plugin.OpenArchive(&data);
  openResult = data.OpenResult;
  return handle;
}

// The room for the plug-in's line of a reason: paths of programs and files
// are its longest parts.
constexpr std::size_t kReasonLimit = 8192;

// Why the plug-in refused to open a file: its own line and its list
// program's last words where it tells them (QuendrixOpenFailure), else the
// interface's text for the code.
std::string OpenFailureText(const PluginClient& plugin, std::int32_t code) {
  if (code == E_NOT_SUPPORTED) return "the plug-in does not support this file";
  if (plugin.OpenFailure != nullptr) {
    std::string reason(kReasonLimit, '\0');
    std::string message(platform::kErrorOutputLimit + 1, '\0');
    if (plugin.OpenFailure(reason.data(), static_cast<int>(reason.size()), message.data(),
                           static_cast<int>(message.size())) == code &&
        reason[0] != '\0') {
      reason.resize(reason.find('\0'));
      message.resize(message.find('\0'));
      return ReasonWithMessages(std::move(reason), message);
    }
  }
  return "the plug-in refused the file: " + ResultCodeText(code) + " (code " +
         std::to_string(code) + ")";
}

}  // namespace

std::optional<ArchiveSession> ArchiveSession::Open(const PluginClient& plugin,
                                                   const std::string& path,
                                                   int mode,
                                                   std::string& error,
                                                   std::int32_t* openResult) {
  std::int32_t result = 0;
  const ArchiveHandle handle = OpenThrough(plugin, path, mode, result);
  if (openResult != nullptr) *openResult = result;
  if (handle == nullptr) {
    error = OpenFailureText(plugin, result);
    return std::nullopt;
  }
  return ArchiveSession(plugin, handle);
}

std::string ArchiveSession::ListWarning() const {
  if (plugin_->ListWarning == nullptr) return {};
  std::string text(kReasonLimit, '\0');
  if (plugin_->ListWarning(handle_, text.data(), static_cast<int>(text.size())) != 0) return {};
  text.resize(text.find('\0'));
  return text;
}

ArchiveSession::ArchiveSession(ArchiveSession&& other) noexcept
    : plugin_(other.plugin_), handle_(std::exchange(other.handle_, nullptr)) {}

ArchiveSession::~ArchiveSession() {
  if (handle_ != nullptr) plugin_->CloseArchive(handle_);
}

int ArchiveSession::ReadHeader(MemberHeader& header) const {
  if (plugin_->UsesWideFunctions()) {
    tHeaderDataExW data{};
    const int result = plugin_->ReadHeaderExW(handle_, &data);
    if (result != 0) return result;
    // A plug-in that fills the whole field leaves no terminating zero.
    const char16_t* end =
        std::find(data.FileName, data.FileName + kWideNameUnits - 1, u'\0');
    header.name = Utf8FromUtf16(std::u16string_view(
        data.FileName, static_cast<std::size_t>(end - data.FileName)));
    header.size = (static_cast<std::int64_t>(static_cast<std::uint32_t>(data.UnpSizeHigh)) << 32) |
                  static_cast<std::uint32_t>(data.UnpSize);
    header.packedSize =
        (static_cast<std::int64_t>(static_cast<std::uint32_t>(data.PackSizeHigh)) << 32) |
        static_cast<std::uint32_t>(data.PackSize);
    header.fileTime = data.FileTime;
    return 0;
  }
  tHeaderData data{};
  const int result = plugin_->ReadHeader(handle_, &data);
  if (result != 0) return result;
  // A plug-in that fills the whole field leaves no terminating zero.
  data.FileName[sizeof data.FileName - 1] = '\0';
  header.name = platform::Utf8FromSystemText(data.FileName);
  header.size = data.UnpSize;
  header.packedSize = data.PackSize;
  header.fileTime = data.FileTime;
  return 0;
}

int ArchiveSession::Process(int operation,
                            const std::string& destination) const {
  if (plugin_->UsesWideFunctions()) {
    std::u16string name = Utf16FromUtf8(destination);
    return plugin_->ProcessFileW(handle_, operation, nullptr,
                                 operation == PK_EXTRACT ? name.data() : nullptr);
  }
  std::string name = platform::SystemTextFromUtf8(destination);
  return plugin_->ProcessFile(handle_, operation, nullptr,
                              operation == PK_EXTRACT ? name.data() : nullptr);
}

std::string ArchiveSession::FailureReason(int code) const {
  std::optional<FailureDetails> details;
  if (plugin_->MemberFailure != nullptr) {
    std::int32_t exitStatus = -1;
    std::int32_t signal = 0;
    std::string message(platform::kErrorOutputLimit + 1, '\0');
    const int last = plugin_->MemberFailure(handle_, &exitStatus, &signal,
                                            message.data(),
                                            static_cast<int>(message.size()));
    // Details of another extraction than the one asked about say nothing.
    if (last == code) {
      message.resize(message.find('\0'));
      details = FailureDetails{exitStatus, signal,
                               platform::Utf8FromSystemText(message), {}};
      if (plugin_->MemberFailureReason != nullptr) {
        std::string reason(kReasonLimit, '\0');
        if (plugin_->MemberFailureReason(handle_, reason.data(),
                                         static_cast<int>(reason.size())) == code) {
          reason.resize(reason.find('\0'));
          details->reason = std::move(reason);
        }
      }
    }
  }
  return FailureReasonText(code, details);
}

void ArchiveSession::WatchProgress(ProcessDataProc callback) const {
  if (plugin_->SetProcessDataProc != nullptr) {
    plugin_->SetProcessDataProc(handle_, callback);
  }
}

std::optional<Listing> ListArchive(const PluginClient& plugin,
                                   const std::string& path,
                                   std::string& error, std::int32_t* openResult) {
  std::optional<ArchiveSession> archive =
      ArchiveSession::Open(plugin, path, PK_OM_LIST, error, openResult);
  if (!archive) return std::nullopt;
  Listing listing;
  listing.warning = archive->ListWarning();
  for (;;) {
    if (listing.members.size() >= kMaxHeaders) {
      listing.fault = "the plug-in's list did not end after " +
                      std::to_string(kMaxHeaders) + " members";
      break;
    }
    MemberHeader header;
    const int result = archive->ReadHeader(header);
    if (result == E_END_ARCHIVE) break;
    if (result != 0) {
      listing.fault = "the plug-in could not read member " +
                      std::to_string(listing.members.size() + 1) + ": " +
                      ResultCodeText(result) + " (code " +
                      std::to_string(result) + ")";
      break;
    }
    listing.members.push_back(std::move(header));
    archive->Process(PK_SKIP, {});
  }
  return listing;
}

std::optional<Listing> ListArchiveTelling(const PluginClient& plugin, const std::string& file,
                                          std::ostream& err, int& exitCode) {
  std::string error;
  std::int32_t openResult = 0;
  std::optional<Listing> listing = ListArchive(plugin, file, error, &openResult);
  if (!listing) {
    err << "quendrix: " << file << ": " << error << "\n";
    exitCode = RefusalExitCode(openResult);
    return std::nullopt;
  }
  if (!listing->warning.empty()) {
    err << "quendrix: " << file << ": " << listing->warning << "\n";
  }
  return listing;
}

bool PluginTakes(const PluginClient& plugin, const std::string& file) {
  if (plugin.UsesWideFunctions() && plugin.CanYouHandleThisFileW != nullptr) {
    std::u16string name = Utf16FromUtf8(file);
    return plugin.CanYouHandleThisFileW(name.data()) != 0;
  }
  if (plugin.CanYouHandleThisFile != nullptr) {
    std::string name = platform::SystemTextFromUtf8(file);
    return plugin.CanYouHandleThisFile(name.data()) != 0;
  }
  std::string error;
  return ArchiveSession::Open(plugin, file, PK_OM_LIST, error).has_value();
}

}  // namespace quendrix::host
