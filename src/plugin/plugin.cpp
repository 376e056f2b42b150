#include "plugin/plugin.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "extract/log.h"
#include "extract/runner.h"
#include "plugin/archive_name.h"
#include "plugin/timestamp.h"
#include "rules/lookup.h"

namespace quendrix {
namespace {

// Reads the rules file through the platform's profile reader.
class ProfileRulesSource final : public RulesSource {
 public:
  explicit ProfileRulesSource(const std::string& path) : profile_(path) {}
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue,
                   std::size_t bufferSize) const override {
    return profile_.Read(section, key, defaultValue, bufferSize);
  }

 private:
  platform::Profile profile_;
};

ArchiveHandle HandleOf(std::uintptr_t value) {
  return reinterpret_cast<ArchiveHandle>(value);
}

std::uintptr_t ValueOf(ArchiveHandle handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

}  // namespace

PluginServices PluginServices::Platform() {
  PluginServices services;
  services.openRules = [](const std::string& path) {
    return std::make_unique<ProfileRulesSource>(path);
  };
  services.archiveTime = ArchiveHeaderTime;
  services.environment = [](std::string_view name) {
    return platform::EnvironmentValue(std::string(name));
  };
  services.shortPathOf = [](std::string_view path) {
    return platform::ShortPathOf(std::string(path));
  };
  services.runCommand = RunCommand;
  services.writeLog = WriteLogLine;
  return services;
}

Plugin::Plugin(std::string pluginDir, PluginServices services)
    : pluginDir_(std::move(pluginDir)), services_(std::move(services)) {}

std::shared_ptr<Session> Plugin::Lookup(const char* path) const {
  auto session = std::make_shared<Session>();
  session->archivePath = path != nullptr ? path : "";
  // A name without a dot has an empty extension, which no section serves.
  ArchiveName name = SplitArchiveName(session->archivePath, services_.pathStyle);
  session->baseName = std::move(name.baseName);
  session->extension = std::move(name.extension);

  const std::unique_ptr<RulesSource> rules =
      services_.openRules(pluginDir_ + std::string(kRulesFileName));
  ExpansionContext context;
  context.pathStyle = services_.pathStyle;
  context.pluginDir = pluginDir_;
  context.archivePath = session->archivePath;
  context.baseName = session->baseName;
  context.extension = session->extension;
  context.environment = services_.environment;
  context.shortPathOf = services_.shortPathOf;
  const LookupResult result = LookupRules(
      session->extension, *rules, context, session->settings, session->entryTable);
  if (result.command1 == kNotFound) return nullptr;
  return session;
}

ArchiveHandle Plugin::OpenArchive(tOpenArchiveData* data) noexcept {
  if (data == nullptr) return nullptr;
  const std::int32_t openMode = data->OpenMode;
  if (openMode != PK_OM_LIST && openMode != PK_OM_EXTRACT) {
    data->OpenResult = E_NOT_SUPPORTED;
    return nullptr;
  }
  try {
    const std::shared_ptr<Session> session = Lookup(data->ArcName);
    if (session == nullptr) {
      data->OpenResult = E_NOT_SUPPORTED;
      return nullptr;
    }
    session->ArcDosTime = services_.archiveTime(session->archivePath);
    return HandleOf(sessions_.Add(session));
  } catch (const std::bad_alloc&) {
    data->OpenResult = openMode == PK_OM_LIST ? E_EOPEN : E_NOT_SUPPORTED;
    return nullptr;
  } catch (...) {
    data->OpenResult = E_NOT_SUPPORTED;
    return nullptr;
  }
}

int Plugin::ReadHeader(ArchiveHandle handle, tHeaderData* header) noexcept {
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return E_BAD_ARCHIVE;
  const std::lock_guard<std::mutex> lock(session->mutex);
  // The position stops one past the last member, so a finished list stays
  // finished however often it is asked, and never reads outside the table.
  if (session->currentEntry <= session->entryTable.UpperBound()) {
    ++session->currentEntry;
  }
  const Entry* entry = session->entryTable.Find(session->currentEntry);
  if (entry == nullptr) return E_END_ARCHIVE;
  if (header != nullptr) {
    const std::size_t length =
        std::min(entry->fileout.size(), kMemberNameLimit);
    std::memcpy(header->FileName, entry->fileout.data(), length);
    header->FileName[length] = '\0';
    header->FileTime = static_cast<std::int32_t>(session->ArcDosTime);
    header->UnpSize = 1;
    header->PackSize = 1;
  }
  return 0;
}

int Plugin::ProcessFile(ArchiveHandle handle, int operation,
                        const char* /*destPath*/,
                        const char* destName) noexcept {
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return E_BAD_ARCHIVE;
  if (operation != PK_EXTRACT) return 0;
  try {
    // The position in the list stays where it is: hosts extract each
    // selected member as they pass it and read on until the list ends. The
    // entries never change after the open, so the program runs without the
    // session's lock, and a host may call on this handle meanwhile.
    ExtractionRequest request;
    {
      const std::lock_guard<std::mutex> lock(session->mutex);
      request.entryNumber = session->currentEntry;
    }
    request.entry = session->entryTable.Find(request.entryNumber);
    request.destName = destName != nullptr ? destName : "";
    request.settings = &session->settings;
    request.pluginDir = pluginDir_;
    request.pathStyle = services_.pathStyle;
    ExtractionServices services;
    services.shortPathOf = services_.shortPathOf;
    services.runCommand = services_.runCommand;
    services.writeLog = services_.writeLog;
    // The callback is called with no lock of the plug-in held: a host that
    // handles its window messages inside it may call the plug-in again.
    if (const ProcessDataProc callback = ProcessDataCallbackOf(*session)) {
      services.progress = [callback, &request](std::int64_t grown) {
        // The host gets a copy of the name it may write into, and a size
        // that fits its int.
        std::string name(request.destName);
        const int size = static_cast<int>(std::min<std::int64_t>(grown, INT_MAX));
        return callback(name.data(), size) != 0;
      };
    }
    return ExtractEntry(request, services);
  } catch (...) {
    // Without memory for the command line the member cannot be made.
    return E_ECREATE;
  }
}

int Plugin::CloseArchive(ArchiveHandle handle) noexcept {
  return sessions_.Remove(ValueOf(handle)) ? 0 : E_ECLOSE;
}

void Plugin::SetProcessDataProc(ArchiveHandle handle,
                                ProcessDataProc callback) noexcept {
  if (handle == kEveryHandle) {
    everyProcessData_.store(callback);
    return;
  }
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return;
  const std::lock_guard<std::mutex> lock(session->mutex);
  session->processData = callback;
}

void Plugin::SetChangeVolProc(ArchiveHandle handle,
                              ChangeVolProc callback) noexcept {
  if (handle == kEveryHandle) {
    everyChangeVolume_.store(callback);
    return;
  }
  const std::shared_ptr<Session> session = sessions_.Find(ValueOf(handle));
  if (session == nullptr) return;
  const std::lock_guard<std::mutex> lock(session->mutex);
  session->changeVolume = callback;
}

ProcessDataProc Plugin::ProcessDataCallbackOf(const Session& session) const {
  ProcessDataProc own = nullptr;
  {
    const std::lock_guard<std::mutex> lock(session.mutex);
    own = session.processData;
  }
  return own != nullptr ? own : everyProcessData_.load();
}

int Plugin::GetPackerCaps() const noexcept { return kPackerCaps; }

int Plugin::GetBackgroundFlags() const noexcept { return kBackgroundFlags; }

int Plugin::CanYouHandleThisFile(const char* path) const noexcept {
  try {
    return Lookup(path) != nullptr ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

std::shared_ptr<const Session> Plugin::SessionOf(ArchiveHandle handle) {
  return sessions_.Find(ValueOf(handle));
}

}  // namespace quendrix
