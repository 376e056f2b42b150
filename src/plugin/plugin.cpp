#include "plugin/plugin.h"

#include <algorithm>
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

ArchiveHandle HandleOf(std::intptr_t value) {
  return reinterpret_cast<ArchiveHandle>(value);
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
    : services_(std::move(services)) {
  state_.PluginDir = std::move(pluginDir);
}

void Plugin::SetArchive(const char* path) {
  state_.archivePath = path != nullptr ? path : "";
  // A name without a dot has an empty extension: the rules of the file
  // looked at before are never used for it.
  ArchiveName name = SplitArchiveName(state_.archivePath, services_.pathStyle);
  state_.baseName = std::move(name.baseName);
  state_.extension = std::move(name.extension);
}

void Plugin::Lookup() {
  const std::string rulesPath =
      state_.PluginDir + std::string(kRulesFileName);
  const std::unique_ptr<RulesSource> rules = services_.openRules(rulesPath);
  ExpansionContext context;
  context.pathStyle = services_.pathStyle;
  context.pluginDir = state_.PluginDir;
  context.archivePath = state_.archivePath;
  context.baseName = state_.baseName;
  context.extension = state_.extension;
  context.environment = services_.environment;
  context.shortPathOf = services_.shortPathOf;
  state_.lookupResult = LookupRules(state_.extension, *rules, context,
                                    state_.settings, state_.entryTable)
                            .command1;
}

ArchiveHandle Plugin::OpenArchive(tOpenArchiveData* data) noexcept {
  if (data == nullptr) return nullptr;
  const std::int32_t openMode = data->OpenMode;
  try {
    SetArchive(data->ArcName);
    Lookup();
    if (state_.lookupResult == kNotFound) {
      data->OpenResult = E_NOT_SUPPORTED;
      return nullptr;
    }
    state_.ArcDosTime = services_.archiveTime(state_.archivePath);
  } catch (const std::bad_alloc&) {
    // Only list mode is specified to report memory exhaustion; a failed open
    // is the one harmless answer in extract mode too.
    data->OpenResult = openMode == PK_OM_LIST ? E_EOPEN : E_NOT_SUPPORTED;
    state_.entryTable.Clear();
    return nullptr;
  } catch (...) {
    data->OpenResult = E_NOT_SUPPORTED;
    state_.entryTable.Clear();
    return nullptr;
  }

  switch (openMode) {
    case PK_OM_LIST:
      state_.currentEntry = 0;
      return HandleOf(kListHandle);
    case PK_OM_EXTRACT:
      state_.currentEntry = 0;
      state_.handleCounter =
          state_.handleCounter >= kMaxEntries ? 1 : state_.handleCounter + 1;
      return HandleOf(state_.handleCounter);
    default:
      data->OpenResult = E_NOT_SUPPORTED;
      return nullptr;
  }
}

int Plugin::ReadHeader(tHeaderData* header) noexcept {
  // The position stops one past the last member, so a finished list stays
  // finished however often it is asked, and never reads outside the table.
  if (state_.currentEntry <= state_.entryTable.UpperBound()) {
    ++state_.currentEntry;
  }
  const Entry* entry = state_.entryTable.Find(state_.currentEntry);
  if (entry == nullptr) return E_END_ARCHIVE;
  if (header != nullptr) {
    const std::size_t length =
        std::min(entry->fileout.size(), kMemberNameLimit);
    std::memcpy(header->FileName, entry->fileout.data(), length);
    header->FileName[length] = '\0';
    header->FileTime = static_cast<std::int32_t>(state_.ArcDosTime);
    header->UnpSize = 1;
    header->PackSize = 1;
  }
  return 0;
}

int Plugin::ProcessFile(int operation, const char* /*destPath*/,
                        const char* destName) noexcept {
  if (operation != PK_EXTRACT) return 0;
  try {
    // The position in the list stays where it is: hosts extract each
    // selected member as they pass it and read on until the list ends.
    ExtractionRequest request;
    request.entryNumber = state_.currentEntry;
    request.entry = state_.entryTable.Find(state_.currentEntry);
    request.destName = destName != nullptr ? destName : "";
    request.settings = &state_.settings;
    request.pluginDir = state_.PluginDir;
    request.pathStyle = services_.pathStyle;
    ExtractionServices services;
    services.shortPathOf = services_.shortPathOf;
    services.runCommand = services_.runCommand;
    services.writeLog = services_.writeLog;
    return ExtractEntry(request, services);
  } catch (...) {
    // Without memory for the command line the member cannot be made.
    return E_ECREATE;
  }
}

int Plugin::CloseArchive() noexcept { return 0; }

int Plugin::GetPackerCaps() const noexcept { return kPackerCaps; }

int Plugin::CanYouHandleThisFile(const char* path) noexcept {
  try {
    state_.baseName.clear();
    state_.extension.clear();
    state_.lookupResult.clear();
    state_.currentEntry = 0;
    SetArchive(path);
    Lookup();
    return state_.lookupResult == kNotFound ? 0 : 1;
  } catch (...) {
    state_.entryTable.Clear();
    return 0;
  }
}

}  // namespace quendrix
