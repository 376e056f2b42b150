#include "plugin/plugin.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "extract/log.h"
#include "extract/runner.h"
#include "plugin/handles.h"
#include "plugin/session_text.h"
#include "plugin/timestamp.h"
#include "rules/lookup.h"
#include "rules/placeholder.h"
#include "extract/program_lookup.h"
#include "extract/failure_reason.h"
#include "extract/cached_extraction.h"
#include "extract/member_cache.h"

namespace quendrix {

PluginServices PluginServices::Platform(platform::TextEncoding encoding) {
  PluginServices services;
  static_cast<LookupServices&>(services) = LookupServices::Platform(encoding);
  services.archiveTime = [encoding](const std::string& path) {
    return ArchiveHeaderTime(path, encoding);
  };
  services.cacheFolder = [encoding] {
    return CacheFolder(platform::kPathStyle, [encoding](std::string_view name) {
      return platform::EnvironmentPath(std::string(name), encoding);
    });
  };
  services.runCommand = [encoding](const std::string& line, std::uint32_t style,
                                   const platform::ProcessWatch* watch) {
    return RunCommand(line, style, watch, encoding);
  };
  services.makeFolder = [encoding](const std::string& folder) {
    if (!platform::FolderExists(folder, encoding)) {
      platform::MakeDirectories(folder, encoding, platform::FolderAccess::kAsUsual);
    }
  };
  services.fileState = [encoding](const std::string& path) {
    return platform::StateOfFile(path, encoding);
  };
  services.captureOutput = [encoding](const std::string& line, std::size_t limit,
                                      std::chrono::milliseconds timeout) {
    return platform::RunCapturingOutput(line, limit, timeout, encoding);
  };
  services.writeLog = [encoding](std::int16_t entryNumber,
                                 std::string_view commandLine,
                                 std::string_view logDir) {
    WriteLogLine(entryNumber, commandLine, logDir, encoding);
  };
  return services;
}

Plugin::Plugin(PluginSide system, PluginSide utf8)
    : system_(std::move(system)),
      utf8_(std::move(utf8)),
      systemExtraction_(ExtractionServicesOf(system_)),
      utf8Extraction_(ExtractionServicesOf(utf8_)) {}

Plugin::Plugin(std::string pluginDir, PluginServices services)
    : Plugin(PluginSide{pluginDir, services},
             PluginSide{pluginDir, services}) {}

const PluginSide& Plugin::SideOf(platform::TextEncoding encoding) const {
  return encoding == platform::TextEncoding::kUtf8 ? utf8_ : system_;
}

ExtractionServices Plugin::ExtractionServicesOf(const PluginSide& side) {
  ExtractionServices services;
  services.shortPathOf = side.services.shortPathOf;
  services.runCommand = side.services.runCommand;
  services.writeLog = side.services.writeLog;
  services.makeFolder = side.services.makeFolder;
  services.programLookup = ProgramLookupOf(side.pluginDir, side.services);
  return services;
}

const ExtractionServices& Plugin::ExtractionOf(platform::TextEncoding encoding) const {
  return encoding == platform::TextEncoding::kUtf8 ? utf8Extraction_ : systemExtraction_;
}

std::shared_ptr<Session> Plugin::Lookup(std::string path,
                                        platform::TextEncoding encoding) const {
  const PluginSide& side = SideOf(encoding);
  auto session = std::make_shared<Session>();
  session->encoding = encoding;
  session->archivePath = std::move(path);
  std::optional<FileRules> rules =
      LookUpFileRules(session->archivePath, side.pluginDir, side.services);
  if (!rules || !rules->Serves()) return nullptr;
  session->rules = std::move(*rules);
  if (IsOn(session->rules.settings.cacheFlag) && side.services.cacheFolder) {
    if (std::string folder = side.services.cacheFolder(); !folder.empty()) {
      session->cache.emplace(std::move(folder), encoding);
    }
  }
  return session;
}

ArchiveHandle Plugin::Open(std::string path, platform::TextEncoding encoding,
                           std::int32_t openMode,
                           std::int32_t& openResult) noexcept {
  if (openMode != PK_OM_LIST && openMode != PK_OM_EXTRACT) {
    openResult = E_NOT_SUPPORTED;
    return nullptr;
  }
  try {
    const std::shared_ptr<Session> session = Lookup(std::move(path), encoding);
    if (session == nullptr) {
      openResult = E_NOT_SUPPORTED;
      NoteOpenFailure(E_NOT_SUPPORTED, encoding,
                      "the rules have no section for files of this kind", {});
      return nullptr;
    }
    session->ArcDosTime =
        SideOf(encoding).services.archiveTime(session->archivePath);
    if (session->rules.section.list) {
      std::string reason;
      std::string errorOutput;
      session->listing = ListingOf(*session, reason, errorOutput);
      if (session->listing == nullptr) {
        openResult = E_BAD_ARCHIVE;
        NoteOpenFailure(E_BAD_ARCHIVE, session->encoding, std::move(reason),
                        std::move(errorOutput));
        return nullptr;
      }
    }
    NoteOpenFailure(0, encoding, {}, {});
    return HandleOf(sessions_.Add(session));
  } catch (const std::bad_alloc&) {
    openResult = openMode == PK_OM_LIST ? E_EOPEN : E_NOT_SUPPORTED;
    return nullptr;
  } catch (...) {
    openResult = E_NOT_SUPPORTED;
    return nullptr;
  }
}

ArchiveHandle Plugin::OpenArchive(tOpenArchiveData* data) noexcept {
  if (data == nullptr) return nullptr;
  try {
    std::string path = data->ArcName != nullptr ? data->ArcName : "";
    return Open(std::move(path), platform::TextEncoding::kSystem,
                data->OpenMode, data->OpenResult);
  } catch (...) {
    // Without memory for the name nothing can be opened.
    data->OpenResult = data->OpenMode == PK_OM_LIST ? E_EOPEN : E_NOT_SUPPORTED;
    return nullptr;
  }
}

int Plugin::ReadNext(
    ArchiveHandle handle,
    const std::function<void(const Session&, const MemberView&)>& fill) {
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return E_BAD_ARCHIVE;
  const std::lock_guard<std::mutex> lock(session->mutex);
  // The position stops one past the last member, so a finished list stays
  // finished however often it is asked, and never reads outside the list.
  const std::int32_t count = session->MemberCount();
  if (session->currentEntry <= count) ++session->currentEntry;
  if (session->currentEntry > count) return E_END_ARCHIVE;
  if (!fill) return 0;
  const std::int32_t numbered = session->rules.entryTable.UpperBound();
  // A member kept in the cache has a known size: the host is told it.
  const std::optional<std::int64_t> cachedSize = CachedSizeOf(*session, session->currentEntry);
  if (session->currentEntry <= numbered) {
    fill(*session, MemberView{session->rules.entryTable.Find(session->currentEntry)->fileout,
                              cachedSize, false, 0});
  } else {
    const auto index = static_cast<std::size_t>(session->currentEntry - numbered - 1);
    const ListedMember& member = session->listing->members.members[index];
    fill(*session, MemberView{member.name, cachedSize ? cachedSize : member.size,
                              member.time.has_value(), session->listing->headerTimes[index]});
  }
  return 0;
}

int Plugin::ReadHeader(ArchiveHandle handle, tHeaderData* header) noexcept {
  if (header == nullptr) return ReadNext(handle, nullptr);
  return ReadNext(handle, [header](const Session& session, const MemberView& member) {
    // Only a session opened through a wide function needs its name written
    // anew, and without memory for that the name stays empty.
    std::string converted;
    if (session.encoding != platform::TextEncoding::kSystem) {
      try {
        converted = SystemTextOfSession(member.name, session.encoding);
      } catch (...) {
      }
    }
    const std::string& name =
        session.encoding == platform::TextEncoding::kSystem ? member.name : converted;
    const std::size_t length = std::min(name.size(), kMemberNameLimit);
    std::memcpy(header->FileName, name.data(), length);
    header->FileName[length] = '\0';
    header->FileTime = static_cast<std::int32_t>(
        member.time ? member.headerTime : session.ArcDosTime);
    // The record's sizes have 31 bits; a larger member shows the most they hold.
    const std::int64_t size = std::min<std::int64_t>(member.size.value_or(1), INT_MAX);
    header->UnpSize = static_cast<std::int32_t>(size);
    header->PackSize = static_cast<std::int32_t>(size);
  });
}

int Plugin::ProcessFile(ArchiveHandle handle, int operation,
                        const char* /*destPath*/,
                        const char* destName) noexcept {
  return ProcessNamed(handle, operation, [destName](platform::TextEncoding session) {
    return SessionTextFromSystem(destName != nullptr ? destName : "", session);
  });
}

int Plugin::ProcessNamed(
    ArchiveHandle handle, int operation,
    const std::function<std::string(platform::TextEncoding)>& destinationOf) noexcept {
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return E_BAD_ARCHIVE;
  if (operation != PK_EXTRACT) return 0;
  try {
    return Process(*session, destinationOf(session->encoding));
  } catch (...) {
    // Without memory for the destination the member cannot be made.
    return E_ECREATE;
  }
}

int Plugin::Process(const Session& session, const std::string& destName) noexcept {
  try {
    // The position in the list stays where it is: hosts extract each
    // selected member as they pass it and read on until the list ends. The
    // entries never change after the open, so the program runs without the
    // session's lock, and a host may call on this handle meanwhile.
    ExtractionRequest request;
    {
      const std::lock_guard<std::mutex> lock(session.mutex);
      request.entryNumber = session.currentEntry;
    }
    MemberEntry member = MemberEntryOf(session, request.entryNumber);
    MemberFailure failure;
    if (!member.whyNot.empty()) {
      failure.result = E_ECREATE;
      failure.reason = std::move(member.whyNot);
      const std::lock_guard<std::mutex> lock(session.mutex);
      session.lastFailure = std::move(failure);
      return E_ECREATE;
    }
    request.entry = member.entry ? &*member.entry : nullptr;
    request.destName = destName;
    request.settings = &session.rules.settings;
    request.logDir = session.rules.rulesFile.logDir;
    request.pathStyle = session.rules.pathStyle;
    request.encoding = session.encoding;
    ExtractionServices services = ExtractionOf(session.encoding);
    services.progress = ProgressReporter(session, destName);
    int result = 0;
    if (session.cache) {
      const auto warn = [&](const std::string& warning) {
        if (IsOn(session.rules.settings.logFlag) && services.writeLog &&
            !request.logDir.empty()) {
          services.writeLog(static_cast<std::int16_t>(request.entryNumber), "cache: " + warning,
                            request.logDir);
        }
      };
      result = ExtractThroughCache(request, services, session.archivePath, *session.cache,
                                   &failure, warn);
    } else {
      result = ExtractEntry(request, services, &failure);
    }
    const std::lock_guard<std::mutex> lock(session.mutex);
    session.lastFailure = std::move(failure);
    return result;
  } catch (...) {
    // Without memory for the command line the member cannot be made.
    try {
      const std::lock_guard<std::mutex> lock(session.mutex);
      session.lastFailure = MemberFailure();
      session.lastFailure.result = E_ECREATE;
    } catch (...) {
    }
    return E_ECREATE;
  }
}

std::optional<std::int64_t> Plugin::CachedSizeOf(const Session& session,
                                                 std::int32_t number) const {
  if (!session.cache) return std::nullopt;
  try {
    const MemberEntry member = MemberEntryOf(session, number);
    if (!member.CanMake()) return std::nullopt;
    const std::optional<Sha256Digest> digest =
        MemberDigestOf(session.archivePath, *member.entry,
                       ExtractionOf(session.encoding).programLookup, session.encoding);
    if (!digest) return std::nullopt;
    return session.cache->Find(*digest, false);
  } catch (...) {
    return std::nullopt;
  }
}

MemberEntry Plugin::MemberEntryOf(const Session& session, std::int32_t number) {
  std::string_view listedName;
  if (number > session.rules.entryTable.UpperBound()) {
    if (session.listing == nullptr || number > session.MemberCount()) return {};
    listedName = session.listing->members
                     .members[static_cast<std::size_t>(
                         number - session.rules.entryTable.UpperBound() - 1)]
                     .name;
  }
  return EntryOfMember(session.rules, number, listedName);
}

int Plugin::LastFailure(ArchiveHandle handle, std::int32_t* exitStatus,
                        std::int32_t* signalNumber, char* message,
                        std::int32_t messageSize) noexcept {
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return E_BAD_ARCHIVE;
  const std::lock_guard<std::mutex> lock(session->mutex);
  const MemberFailure& failure = session->lastFailure;
  if (exitStatus != nullptr) *exitStatus = failure.exitStatus;
  if (signalNumber != nullptr) *signalNumber = failure.signal;
  if (message != nullptr && messageSize > 0) {
    // The end of the text says why, so a small buffer gets the end; a cut
    // never starts inside a UTF-8 sequence.
    std::string_view text = failure.errorOutput;
    const auto room = static_cast<std::size_t>(messageSize) - 1;
    if (text.size() > room) {
      text.remove_prefix(text.size() - room);
      while (!text.empty() && (static_cast<unsigned char>(text.front()) & 0xC0) == 0x80) {
        text.remove_prefix(1);
      }
    }
    std::memcpy(message, text.data(), text.size());
    message[text.size()] = '\0';
  }
  return failure.result;
}

namespace {

// Copies `text` into a host's buffer of `size` bytes, cut at its end where
// it does not fit, never inside a UTF-8 sequence, and zero-terminated.
void CopyUtf8(std::string_view text, char* buffer, std::int32_t size) {
  if (buffer == nullptr || size <= 0) return;
  std::size_t length = std::min(text.size(), static_cast<std::size_t>(size) - 1);
  while (length > 0 && length < text.size() &&
         (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    --length;
  }
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

std::string Utf8OfSession(std::string text, platform::TextEncoding encoding) {
  return encoding == platform::TextEncoding::kUtf8 ? text : platform::Utf8FromSystemText(text);
}

}  // namespace

void Plugin::NoteOpenFailure(int result, platform::TextEncoding encoding, std::string reason,
                             std::string errorOutput) noexcept {
  try {
    OpenFailure failure{result, Utf8OfSession(std::move(reason), encoding),
                        std::move(errorOutput)};
    const std::lock_guard<std::mutex> lock(openFailuresMutex_);
    if (openFailures_.size() >= kMaxOpenSessions &&
        !openFailures_.contains(std::this_thread::get_id())) {
      openFailures_.erase(openFailures_.begin());
    }
    openFailures_[std::this_thread::get_id()] = std::move(failure);
  } catch (...) {
  }
}

int Plugin::LastOpenFailure(char* reason, std::int32_t reasonSize, char* message,
                            std::int32_t messageSize) noexcept {
  try {
    const std::lock_guard<std::mutex> lock(openFailuresMutex_);
    const auto found = openFailures_.find(std::this_thread::get_id());
    const OpenFailure none;
    const OpenFailure& failure = found == openFailures_.end() ? none : found->second;
    CopyUtf8(failure.reason, reason, reasonSize);
    // The end of a program's message says why: a small buffer gets the end.
    std::string_view words = failure.errorOutput;
    if (messageSize > 0 && words.size() >= static_cast<std::size_t>(messageSize)) {
      words.remove_prefix(words.size() - static_cast<std::size_t>(messageSize) + 1);
      while (!words.empty() && (static_cast<unsigned char>(words.front()) & 0xC0) == 0x80) {
        words.remove_prefix(1);
      }
    }
    CopyUtf8(words, message, messageSize);
    return failure.result;
  } catch (...) {
    CopyUtf8({}, reason, reasonSize);
    CopyUtf8({}, message, messageSize);
    return E_NO_MEMORY;
  }
}

int Plugin::ListWarning(ArchiveHandle handle, char* text, std::int32_t textSize) noexcept {
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return E_BAD_ARCHIVE;
  try {
    CopyUtf8(session->listing != nullptr
                 ? Utf8OfSession(session->listing->warning, session->encoding)
                 : std::string(),
             text, textSize);
    return 0;
  } catch (...) {
    CopyUtf8({}, text, textSize);
    return E_NO_MEMORY;
  }
}

int Plugin::LastFailureReason(ArchiveHandle handle, char* reason,
                              std::int32_t reasonSize) noexcept {
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return E_BAD_ARCHIVE;
  try {
    const std::lock_guard<std::mutex> lock(session->mutex);
    const MemberFailure& failure = session->lastFailure;
    CopyUtf8(Utf8OfSession(failure.reason, session->encoding), reason, reasonSize);
    return failure.result;
  } catch (...) {
    CopyUtf8({}, reason, reasonSize);
    return E_NO_MEMORY;
  }
}

std::function<bool(std::int64_t)> Plugin::ProgressReporter(
    const Session& session, std::string_view destName) const {
  // The callback is called with no lock of the plug-in held: a host that
  // handles its window messages inside it may call the plug-in again. Each
  // call gets a copy of the name that the host may write into, in the text
  // of the callback's kind, and a size that fits its int.
  const auto sizeOf = [](std::int64_t grown) {
    return static_cast<int>(std::min<std::int64_t>(grown, INT_MAX));
  };
  const ProgressCallback callback = ProgressCallbackOf(session);
  if (callback.wide != nullptr) {
    return [wide = callback.wide, sizeOf,
            name = Utf16TextOfSession(destName, session.encoding)](std::int64_t grown) {
      std::u16string copy = name;
      return wide(copy.data(), sizeOf(grown)) != 0;
    };
  }
  if (callback.ansi != nullptr) {
    return [ansi = callback.ansi, sizeOf,
            name = SystemTextOfSession(destName, session.encoding)](std::int64_t grown) {
      std::string copy = name;
      return ansi(copy.data(), sizeOf(grown)) != 0;
    };
  }
  return nullptr;
}

int Plugin::CloseArchive(ArchiveHandle handle) noexcept {
  return sessions_.Remove(ValueOf(handle)) ? 0 : E_ECLOSE;
}

void Plugin::SetProcessDataProc(ArchiveHandle handle,
                                ProcessDataProc callback) noexcept {
  StoreCallback(sessions_, handle, callback, everyProcessData_,
                &Session::processData);
}

void Plugin::SetChangeVolProc(ArchiveHandle handle,
                              ChangeVolProc callback) noexcept {
  StoreCallback(sessions_, handle, callback, everyChangeVolume_,
                &Session::changeVolume);
}

ProgressCallback Plugin::ProgressCallbackOf(const Session& session) const {
  ProgressCallback callback;
  {
    const std::lock_guard<std::mutex> lock(session.mutex);
    callback.ansi = session.processData;
    callback.wide = session.processDataW;
  }
  if (callback.ansi == nullptr) callback.ansi = everyProcessData_.load();
  if (callback.wide == nullptr) callback.wide = everyProcessDataW_.load();
  // One kind only: the session's own kind when it has one.
  if (session.encoding == platform::TextEncoding::kUtf8) {
    if (callback.wide != nullptr) callback.ansi = nullptr;
  } else if (callback.ansi != nullptr) {
    callback.wide = nullptr;
  }
  return callback;
}

int Plugin::GetPackerCaps() const noexcept { return kPackerCaps; }

int Plugin::GetBackgroundFlags() const noexcept { return kBackgroundFlags; }

int Plugin::CanYouHandleThisFile(const char* path) const noexcept {
  try {
    return Lookup(path != nullptr ? path : "",
                  platform::TextEncoding::kSystem) != nullptr
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}

std::shared_ptr<const Session> Plugin::SessionOf(ArchiveHandle handle) {
  return sessions_.Find(ValueOf(handle));
}

}  // namespace quendrix
