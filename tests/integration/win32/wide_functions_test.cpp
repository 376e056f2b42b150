// The wide functions of the Windows plug-in, with names that the ANSI code
// page of the test cannot write: Cyrillic, CJK and a character outside the
// Basic Multilingual Plane. The plug-in itself lies in such a folder, so its
// rules file and its log are reached by wide names too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "format/utf16_text.h"
#include "platform/platform.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// One set of names, all in UTF-8.
struct NameCase {
  const char* label;
  const char* folder;    // holds the archive
  const char* baseName;  // the archive's name without ".txt"
  const char* outFolder; // the destination folder
};

const NameCase kNameCases[] = {
    {"Cyrillic", "\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5",  // Данные
     "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 2026",                  // Отчёт 2026
     "\xD0\x92\xD1\x8B\xD1\x85\xD0\xBE\xD0\xB4"},                      // Выход
    {"CJK", "\xE8\xB3\x87\xE6\x96\x99",                                // 資料
     "\xE5\xA0\xB1\xE5\x91\x8A \xE7\xAC\xAC\xE4\xB8\x80",              // 報告 第一
     "\xE5\x87\xBA\xE5\x8A\x9B"},                                      // 出力
    {"beyond the BMP", "notes \xF0\x9F\x8E\xB5",                       // notes 🎵
     "song \xF0\x9D\x84\x9E clef",                                     // song 𝄞 clef
     "out \xF0\x9F\x98\x80"},                                          // out 😀
};

// The plug-in's own folder: no ANSI code page writes it either.
constexpr const char* kPluginFolder =
    "plug-in \xD0\xBF\xD0\xBB\xD0\xB0\xD0\xB3\xD0\xB8\xD0\xBD \xE6\x8F\x92\xE4\xBB\xB6";

// The members copy the archive through the helper, which records its wide
// command line; the names are quoted, as Windows programs split their own
// command line.
std::string CopyingRules(const TempDir& records, std::string_view settings) {
  return "[txt]\n" + std::string(settings) + "command1=" + HelperPath() +
         " --record " + records.file("rec1") +
         " --copy \"filein\" \"fileout\" \"[N]\" [E]\nfileout1=[N].copy.[E]\n";
}

// 2024-03-15 13:45:59 local time, whose DOS stamp is 0x586F6DBD.
std::int64_t StampSeconds() {
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 3 - 1;
  local.tm_mday = 15;
  local.tm_hour = 13;
  local.tm_min = 45;
  local.tm_sec = 59;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

class WideFunctionsTest : public ::testing::TestWithParam<NameCase> {
 protected:
  void SetUp() override {
    for (const char* name : {GetParam().folder, GetParam().baseName, GetParam().outFolder,
                             kPluginFolder}) {
      ASSERT_FALSE(platform::SystemTextIfExact(name))
          << name << " has an ANSI form here, so it would not show a lossy name";
    }
    fs::create_directory(data_.path() / PathOfUtf8(GetParam().folder));
    archive_ = data_.utf8File(std::string(GetParam().folder) + "\\" +
                              GetParam().baseName + ".txt");
    WriteFile(PathOfUtf8(archive_), "archive content\n");
    // The stamp is set on a file with a plain name, then copied over.
    const std::string plain = data_.file("plain.txt");
    WriteFile(plain, "");
    ASSERT_TRUE(platform::SetFileModifiedUnixSeconds(plain, StampSeconds()));
    fs::last_write_time(PathOfUtf8(archive_), fs::last_write_time(plain));
    outDir_ = out_.utf8File(GetParam().outFolder) + "\\";
    fs::create_directory(PathOfUtf8(outDir_));
  }

  // Opens for extraction, reads the one member and extracts it into the
  // destination folder; returns the destination.
  std::string ExtractOne(const LoadedPlugin& plugin) const {
    const OpenOutcome opened = plugin.OpenW(archive_, PK_OM_EXTRACT);
    EXPECT_NE(opened.handle, nullptr);
    Header header;
    EXPECT_EQ(plugin.ReadW(opened.handle, header), 0);
    const std::string dest = outDir_ + header.name;
    EXPECT_EQ(plugin.ProcessW(opened.handle, PK_EXTRACT, dest), 0);
    EXPECT_EQ(plugin.ReadW(opened.handle, header), E_END_ARCHIVE);
    EXPECT_EQ(plugin.Close(opened.handle), 0);
    return dest;
  }

  std::string MemberName() const {
    return std::string(GetParam().baseName) + ".copy.txt";
  }

  TempDir data_;
  TempDir out_;
  TempDir records_;
  std::string archive_;
  std::string outDir_;  // UTF-8, ending in the separator
};

TEST_P(WideFunctionsTest, ProbesListsAndStampsUnderTheFullName) {
  const LoadedPlugin plugin(CopyingRules(records_, ""), kPluginFolder);
  ASSERT_TRUE(plugin.HasWideFunctions());
  EXPECT_EQ(plugin.CanHandleW(archive_), 1);
  EXPECT_EQ(plugin.CanHandleW(archive_ + ".bak"), 0);

  const OpenOutcome opened = plugin.OpenW(archive_);
  ASSERT_NE(opened.handle, nullptr);
  EXPECT_EQ(opened.openResult, -1) << "OpenResult is left alone on success";
  Header header;
  ASSERT_EQ(plugin.ReadW(opened.handle, header), 0);
  EXPECT_EQ(header.name, MemberName());
  EXPECT_EQ(header.packSize, 1);
  EXPECT_EQ(header.unpSize, 1);
  EXPECT_EQ(header.fileTime, static_cast<std::int32_t>(0x586F6DBDu))
      << "the archive's own stamp, read through its wide name";
  EXPECT_EQ(plugin.ReadW(opened.handle, header), E_END_ARCHIVE);
  EXPECT_EQ(plugin.Close(opened.handle), 0);
}

TEST_P(WideFunctionsTest, ExtractionRunsAndLogsTheFullNames) {
  const LoadedPlugin plugin(CopyingRules(records_, "log=1\n"), kPluginFolder);
  const std::string dest = ExtractOne(plugin);
  EXPECT_EQ(ReadFile(PathOfUtf8(dest)), "archive content\n")
      << "the program found the archive and the destination";

  const std::string commandLine = HelperPath() + " --record " +
                                  records_.file("rec1") + " --copy \"" +
                                  archive_ + "\" \"" + dest + "\" \"" +
                                  GetParam().baseName + "\" txt";
  const std::optional<HelperRecord> record = ReadHelperRecord(records_.file("rec1"));
  ASSERT_TRUE(record);
  ASSERT_TRUE(record->wideCommandLine);
  EXPECT_EQ(*record->wideCommandLine, commandLine);
  // No ANSI form exists, so the line is kept in UTF-8.
  EXPECT_EQ(ReadFile(PathOfUtf8(plugin.dirUtf8() + "quendrix.log")),
            "command1 = " + commandLine + "\r\n");
}

TEST_P(WideFunctionsTest, ShortNamesStandForTheArchiveAndTheDestinationFolder) {
  const LoadedPlugin plugin(CopyingRules(records_, "ShortFileName=1\n"), kPluginFolder);
  const std::string dest = ExtractOne(plugin);
  EXPECT_EQ(ReadFile(PathOfUtf8(dest)), "archive content\n");

  const std::optional<HelperRecord> record = ReadHelperRecord(records_.file("rec1"));
  ASSERT_TRUE(record);
  ASSERT_TRUE(record->wideCommandLine);
  const std::string& line = *record->wideCommandLine;
  const std::string shortArchive = platform::ShortPathOf(archive_, platform::TextEncoding::kUtf8);
  const std::string shortOut = platform::ShortPathOf(outDir_, platform::TextEncoding::kUtf8);
  ASSERT_FALSE(shortArchive.empty());
  ASSERT_FALSE(shortOut.empty());
  EXPECT_NE(shortArchive, archive_);
  EXPECT_NE(line.find("\"" + shortArchive + "\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"" + shortOut + MemberName() + "\""), std::string::npos)
      << "only the folder is shortened: " << line;
}

INSTANTIATE_TEST_SUITE_P(Names, WideFunctionsTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) {
                           std::string label = info.param.label;
                           std::replace(label.begin(), label.end(), ' ', '_');
                           return label;
                         });

}  // namespace
}  // namespace quendrix::testing
