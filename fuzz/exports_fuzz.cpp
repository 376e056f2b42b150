// The exports' logic (class Plugin) driven by a fuzzed sequence of calls over
// a fuzzed rules file and fuzzed paths: probe, open in every mode, read
// headers, skip, test, extract and close, in any order, on any of several
// open sessions, on closed and forged handles, and with null pointers where
// a host might pass them. The rules text goes through the real
// parser; only the start of a program and the log are recorded instead of
// done, and the archive's time is a fixed value.
//
// Input: the calls (one byte each, and one more choosing the handle for a
// call on a handle), the plug-in directory, four paths, the
// environment as NAME=value lines, the short form the platform gives, then
// the rules file.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "extract/runner.h"
#include "plugin/plugin.h"
#include "interface/wcx.h"
#include "rules/entry.h"
#include "format/profile_text.h"

namespace {

using namespace quendrix;

constexpr std::uint32_t kArchiveTime = 0x5A5A1234;
constexpr unsigned char kUntouched = 0xA5;
constexpr std::int32_t kOddModes[] = {-1, 2, 3, 100, INT32_MIN, INT32_MAX};
constexpr int kOperations[] = {PK_SKIP, PK_TEST, PK_EXTRACT, -1, 3, 99};

// The fuzzed rules text, parsed once per input and read by every lookup.
class TextRules final : public RulesSource {
 public:
  explicit TextRules(std::shared_ptr<const ProfileText> text) : text_(std::move(text)) {}
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue, std::size_t bufferSize) const override {
    return text_->Read(section, key, defaultValue, bufferSize);
  }

 private:
  std::shared_ptr<const ProfileText> text_;
};

// What the plug-in asked of the recorded services during one call.
struct Record {
  std::vector<std::string> logged;
  std::vector<std::string> run;
  bool runAfterLog = true;
};

bool AllUntouched(const unsigned char* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] != kUntouched) return false;
  }
  return true;
}

// A header record as a host hands it: exactly as large as the declared
// fields, so that a write past them is an overflow, and full of a pattern, so
// that a write to a field the plug-in must not touch shows.
// A member carries the stamp of its archive.
void CheckHeader(const tHeaderData& header, int result) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&header);
  if (result != 0) {
    QUENDRIX_FUZZ_CHECK(AllUntouched(bytes, sizeof header));
    return;
  }
  QUENDRIX_FUZZ_CHECK(AllUntouched(bytes, offsetof(tHeaderData, FileName)));
  QUENDRIX_FUZZ_CHECK(std::memchr(header.FileName, '\0', kHeaderNameBytes) != nullptr);
  QUENDRIX_FUZZ_CHECK(header.PackSize == 1 && header.UnpSize == 1);
  const auto time = static_cast<std::uint32_t>(header.FileTime);
  QUENDRIX_FUZZ_CHECK(time == kArchiveTime);
  const auto untouched = [&](std::size_t from, std::size_t to) {
    return AllUntouched(bytes + from, to - from);
  };
  QUENDRIX_FUZZ_CHECK(untouched(offsetof(tHeaderData, Flags), offsetof(tHeaderData, PackSize)));
  QUENDRIX_FUZZ_CHECK(untouched(offsetof(tHeaderData, HostOS), offsetof(tHeaderData, FileTime)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::string_view calls = input.Field();
  const std::string pluginDir(input.Field());
  // Index 4 stands for a null pointer.
  std::vector<std::optional<std::string>> paths;
  for (int i = 0; i < 4; ++i) paths.emplace_back(std::string(input.Field()));
  paths.emplace_back(std::nullopt);
  const std::string_view environment = input.Field();
  const std::string shortForm(input.Field());
  const auto text = std::make_shared<const ProfileText>(std::string(input.Rest()));

  std::map<std::string, std::string, std::less<>> variables;
  for (std::size_t pos = 0; pos < environment.size();) {
    std::size_t end = environment.find('\n', pos);
    if (end == std::string_view::npos) end = environment.size();
    const std::string_view line = environment.substr(pos, end - pos);
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      variables.emplace(line.substr(0, equals), line.substr(equals + 1));
    }
    pos = end + 1;
  }

  Record record;
  bool programStarts = true;
  PluginServices services;
  services.pathStyle = platform::PathStyle::kPosix;
  services.openRules = [&](const std::string& path) {
    QUENDRIX_FUZZ_CHECK(path == pluginDir + std::string(kRulesFileName));
    return std::make_unique<TextRules>(text);
  };
  services.archiveTime = [](const std::string&) { return kArchiveTime; };
  services.environment = [&](std::string_view name) {
    const auto found = variables.find(name);
    return found == variables.end() ? std::string() : found->second;
  };
  services.shortPathOf = [&](std::string_view) { return shortForm; };
  services.runCommand = [&](const std::string& line, std::uint32_t style,
                            const platform::ProcessWatch*) {
    // An extraction always waits for its program, whose show state is one
    // digit of the rules file.
    QUENDRIX_FUZZ_CHECK((style & kWaitFlag) != 0 && (style & kShowStateMask) <= 9);
    record.run.push_back(line);
    return programStarts ? platform::ProcessOutcome::Started(0) : platform::ProcessOutcome{};
  };
  services.writeLog = [&](std::int16_t, std::string_view line, std::string_view dir) {
    QUENDRIX_FUZZ_CHECK(dir == pluginDir);
    record.logged.emplace_back(line);
    record.runAfterLog = record.runAfterLog && record.run.empty();
  };

  Plugin plugin(pluginDir, services);
  // The sessions this host holds open, with the headers read from each and
  // whether its list ended; and the handles it closed.
  struct OpenSession {
    ArchiveHandle handle = nullptr;
    std::int32_t listed = 0;
    bool ended = false;
  };
  std::vector<OpenSession> open;
  std::vector<ArchiveHandle> closed;
  std::uintptr_t largestHandle = 0;

  for (std::size_t i = 0; i < calls.size(); ++i) {
    const auto byte = static_cast<unsigned char>(calls[i]);
    const std::optional<std::string>& path = paths[(byte >> 3) % paths.size()];
    char* pathPointer = path ? const_cast<char*>(path->c_str()) : nullptr;
    // A call on a handle takes the next byte to choose it: one of the open
    // sessions, a closed handle, or a value the plug-in never handed out.
    OpenSession* session = nullptr;
    ArchiveHandle handle = nullptr;
    if (byte % 8 >= 5) {
      const unsigned selector =
          i + 1 < calls.size() ? static_cast<unsigned char>(calls[++i]) : 0;
      if (selector % 4 != 0 && !open.empty()) {
        session = &open[selector % open.size()];
        handle = session->handle;
      } else if (selector % 8 == 0 && !closed.empty()) {
        handle = closed[selector % closed.size()];
      } else {
        const std::uintptr_t forged[] = {0, ~std::uintptr_t{0}, largestHandle + 1 + selector,
                                         0x80000000u + selector, std::uintptr_t{1} << 40};
        handle = reinterpret_cast<ArchiveHandle>(forged[(selector >> 3) % std::size(forged)]);
        if (sizeof(void*) < 8 && handle == nullptr) handle = reinterpret_cast<ArchiveHandle>(1);
      }
    }
    record = Record{};
    switch (byte % 8) {
      case 0:
        QUENDRIX_FUZZ_CHECK(plugin.GetPackerCaps() == kPackerCaps);
        QUENDRIX_FUZZ_CHECK(plugin.GetBackgroundFlags() == BACKGROUND_UNPACK);
        break;
      case 1: {
        const int answer = plugin.CanYouHandleThisFile(pathPointer);
        QUENDRIX_FUZZ_CHECK(answer == 0 || answer == 1);
        break;
      }
      case 2:
      case 3:
      case 4: {
        const std::int32_t mode = byte % 8 == 2   ? PK_OM_LIST
                                  : byte % 8 == 3 ? PK_OM_EXTRACT
                                                  : kOddModes[(byte >> 6) % std::size(kOddModes)];
        auto openData = std::make_unique<tOpenArchiveData>();
        openData->ArcName = pathPointer;
        openData->OpenMode = mode;
        openData->OpenResult = -7;
        const ArchiveHandle opened = plugin.OpenArchive(openData.get());
        if (opened == nullptr) {
          QUENDRIX_FUZZ_CHECK(openData->OpenResult == E_NOT_SUPPORTED ||
                              openData->OpenResult == E_EOPEN);
        } else {
          const auto value = reinterpret_cast<std::uintptr_t>(opened);
          QUENDRIX_FUZZ_CHECK(mode == PK_OM_LIST || mode == PK_OM_EXTRACT);
          QUENDRIX_FUZZ_CHECK(openData->OpenResult == -7);
          QUENDRIX_FUZZ_CHECK(value >= 1 && value <= 0x7FFFFFFF);
          for (const OpenSession& other : open) QUENDRIX_FUZZ_CHECK(other.handle != opened);
          largestHandle = std::max(largestHandle, value);
          open.push_back(OpenSession{opened});
          // This host closes its oldest archive rather than hold many.
          if (open.size() > 8) {
            QUENDRIX_FUZZ_CHECK(plugin.CloseArchive(open.front().handle) == 0);
            closed.push_back(open.front().handle);
            open.erase(open.begin());
          }
        }
        QUENDRIX_FUZZ_CHECK(plugin.OpenArchive(nullptr) == nullptr);
        break;
      }
      case 5: {
        const bool nullHeader = ((byte >> 3) & 1) != 0;
        auto header = std::make_unique<tHeaderData>();
        std::memset(header.get(), kUntouched, sizeof(tHeaderData));
        const int result = plugin.ReadHeader(handle, nullHeader ? nullptr : header.get());
        if (session == nullptr) {
          QUENDRIX_FUZZ_CHECK(result == E_BAD_ARCHIVE);
        } else {
          QUENDRIX_FUZZ_CHECK(result == 0 || result == E_END_ARCHIVE);
          // A list that has ended stays ended.
          if (session->ended) QUENDRIX_FUZZ_CHECK(result == E_END_ARCHIVE);
          session->ended = result == E_END_ARCHIVE;
          if (result == 0) ++session->listed;
          QUENDRIX_FUZZ_CHECK(session->listed <= kMaxEntries);
        }
        CheckHeader(*header, nullHeader ? 1 : result);
        break;
      }
      case 6: {
        const int operation = kOperations[(byte >> 3) % std::size(kOperations)];
        const std::optional<std::string>& name = paths[(byte >> 6) % paths.size()];
        programStarts = ((byte >> 5) & 1) == 0;
        const int result = plugin.ProcessFile(
            handle, operation, pathPointer, name ? const_cast<char*>(name->c_str()) : nullptr);
        if (session == nullptr) {
          // An unknown handle makes nothing.
          QUENDRIX_FUZZ_CHECK(result == E_BAD_ARCHIVE && record.run.empty() &&
                              record.logged.empty());
          break;
        }
        QUENDRIX_FUZZ_CHECK(result == 0 || result == E_ECREATE);
        if (operation != PK_EXTRACT) {
          // Skip and test, and anything a host might invent, start nothing.
          QUENDRIX_FUZZ_CHECK(result == 0 && record.run.empty() && record.logged.empty());
          break;
        }
        QUENDRIX_FUZZ_CHECK(record.run.size() <= 1 && record.logged.size() <= 1);
        for (const std::string& line : record.run) {
          QUENDRIX_FUZZ_CHECK(line.size() <= kCommandLimit);
        }
        // What is logged is what runs, and the log line comes first.
        if (!record.logged.empty() && !record.run.empty()) {
          QUENDRIX_FUZZ_CHECK(record.logged[0] == record.run[0] && record.runAfterLog);
        }
        // A member is not created when its program cannot start, or when
        // it starts (and, as recorded here, writes nothing) and no file is
        // at the destination; a file there counts as made.
        if (result == E_ECREATE) {
          QUENDRIX_FUZZ_CHECK(record.run.size() == 1 &&
                              (!programStarts || !platform::StateOfFile(name.value_or(""))));
        } else if (!record.run.empty() && programStarts) {
          QUENDRIX_FUZZ_CHECK(platform::StateOfFile(name.value_or("")).has_value());
        }
        break;
      }
      case 7:
        if (session == nullptr) {
          QUENDRIX_FUZZ_CHECK(plugin.CloseArchive(handle) == E_ECLOSE);
        } else {
          QUENDRIX_FUZZ_CHECK(plugin.CloseArchive(handle) == 0);
          closed.push_back(handle);
          open.erase(open.begin() + (session - open.data()));
        }
        break;
    }
  }
  for (const OpenSession& left : open) QUENDRIX_FUZZ_CHECK(plugin.CloseArchive(left.handle) == 0);
  return 0;
}
