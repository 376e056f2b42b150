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
#include "support/local_stamp.h"

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
    ASSERT_TRUE(platform::SetFileModifiedUnixSeconds(plain, LocalStampSeconds()));
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
  EXPECT_EQ(header.fileTime, static_cast<std::int32_t>(kLocalStampDos))
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

// The names a wide progress callback was given, in UTF-8.
std::vector<std::string> g_wideProgressNames;

int QUENDRIX_WCX_CALL RecordWideProgress(char16_t* name, int) {
  g_wideProgressNames.push_back(Utf8FromUtf16(Utf16Terminated(name)));
  return 1;
}

int QUENDRIX_WCX_CALL FailAnsiProgress(char*, int) {
  ADD_FAILURE() << "a wide session called its ANSI callback";
  return 1;
}

// A session opened through a wide function reports to its wide callback,
// with the destination's full name, even when the host set an ANSI one too.
TEST_P(WideFunctionsTest, ProgressReachesTheWideCallbackWithTheFullName) {
  const LoadedPlugin plugin(CopyingRules(records_, ""), kPluginFolder);
  g_wideProgressNames.clear();
  const OpenOutcome opened = plugin.OpenW(archive_, PK_OM_EXTRACT);
  ASSERT_NE(opened.handle, nullptr);
  plugin.setProcessDataProcW(opened.handle, RecordWideProgress);
  plugin.setProcessDataProc(opened.handle, FailAnsiProgress);
  Header header;
  ASSERT_EQ(plugin.ReadW(opened.handle, header), 0);
  const std::string dest = outDir_ + header.name;
  EXPECT_EQ(plugin.ProcessW(opened.handle, PK_EXTRACT, dest), 0);
  plugin.Close(opened.handle);
  ASSERT_FALSE(g_wideProgressNames.empty());
  for (const std::string& name : g_wideProgressNames) EXPECT_EQ(name, dest);
}

INSTANTIATE_TEST_SUITE_P(Names, WideFunctionsTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) {
                           std::string label = info.param.label;
                           std::replace(label.begin(), label.end(), ' ', '_');
                           return label;
                         });

// Rules files in UTF-16 and in the ANSI code page, read by the wide profile
// functions: sections and values outside ASCII reach the member names intact.
TEST(WideRulesTest, RulesFilesInUtf16AndAnsiGiveFullNames) {
  struct Case {
    const char* label;
    std::string rules;       // the file's bytes
    const char* archive;     // UTF-8
    Names members;           // UTF-8
    bool windows1252 = false;  // the file is written for that code page
  };
  const std::string cyrillicSection =
      "[\xD0\xBE\xD1\x82\xD1\x87]\n";  // [отч]
  const Case cases[] = {
      {"UTF-16 file, Cyrillic section, CJK and non-BMP values",
       Utf16FileBytes(cyrillicSection +
                 "command1=c\nfileout1=[N] \xE5\xA0\xB1\xE5\x91\x8A.txt\n"
                 "command2=c\nfileout2=\xF0\x9F\x8E\xB5 [E]\n"),
       "\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5.\xD0\xBE\xD1\x82\xD1\x87",
       {"\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5 \xE5\xA0\xB1\xE5\x91\x8A.txt",
        "\xF0\x9F\x8E\xB5 \xD0\xBE\xD1\x82\xD1\x87"}},
      {"UTF-16 file, synonym to a CJK section",
       Utf16FileBytes("[txt]\nsynonym=\xE6\x96\x87\n[\xE6\x96\x87]\ncommand1=c\n"
                 "fileout1=\xE6\x96\x87 [N]\n"),
       "a.txt", {"\xE6\x96\x87 a"}},
      {"ANSI file (Windows-1252), Latin-1 value",
       "[txt]\ncommand1=c\nfileout1=caf\xE9 [N]\n", "a.txt", {"caf\xC3\xA9 a"}, true},
  };
  TempDir data;
  for (const Case& c : cases) {
    if (c.windows1252 && platform::SystemTextIfExact("\xC3\xA9") != "\xE9") continue;
    const LoadedPlugin plugin(c.rules, kPluginFolder);
    EXPECT_EQ(plugin.ListW(data.utf8File(c.archive)), c.members) << c.label;
  }
}

// The header record: only FileName up to its zero, FileTime, PackSize and
// UnpSize with their high parts are written; the rest, and everything past
// FileAttr, keeps the pattern the host put there.
TEST(WideRulesTest, HeaderRecordIsWrittenOnlyInTheNamedFields) {
  const LoadedPlugin plugin(Utf16FileBytes("[txt]\ncommand1=c\nfileout1=\xD0\xB8\xD0\xBC\xD1\x8F\n"));
  TempDir data;
  const OpenOutcome opened = plugin.OpenW(data.utf8File("a.txt"));
  ASSERT_NE(opened.handle, nullptr);
  constexpr std::size_t kGuard = 256;
  std::vector<unsigned char> bytes(sizeof(tHeaderDataExW) + kGuard, 0x5A);
  auto* header = reinterpret_cast<tHeaderDataExW*>(bytes.data());
  ASSERT_EQ(plugin.readHeaderExW(opened.handle, header), 0);
  EXPECT_EQ(header->FileName[0], u'\u0438');
  EXPECT_EQ(header->FileName[2], u'\u044F');
  EXPECT_EQ(header->FileName[3], u'\0');
  EXPECT_EQ(header->PackSize, 1);
  EXPECT_EQ(header->PackSizeHigh, 0);
  EXPECT_EQ(header->UnpSize, 1);
  EXPECT_EQ(header->UnpSizeHigh, 0);
  const auto untouched = [&](std::size_t from, std::size_t to) {
    return std::all_of(bytes.begin() + from, bytes.begin() + to,
                       [](unsigned char b) { return b == 0x5A; });
  };
  EXPECT_TRUE(untouched(0, offsetof(tHeaderDataExW, FileName))) << "ArcName";
  EXPECT_TRUE(untouched(offsetof(tHeaderDataExW, FileName) + 8,
                        offsetof(tHeaderDataExW, PackSize)))
      << "FileName past its zero, and Flags";
  EXPECT_TRUE(untouched(offsetof(tHeaderDataExW, HostOS),
                        offsetof(tHeaderDataExW, FileTime)))
      << "HostOS and FileCRC";
  EXPECT_TRUE(untouched(offsetof(tHeaderDataExW, UnpVer), bytes.size()))
      << "UnpVer, Method, FileAttr and all that follows";
  EXPECT_EQ(plugin.Close(opened.handle), 0);
}

// Names that are no valid UTF-16, and names longer than the limits, have a
// defined result: an unpaired surrogate of the archive's name reaches the
// member name unchanged, and a cut never leaves half a character.
TEST(WideRulesTest, UnpairedSurrogatesSurviveAndCutsKeepWholeCharacters) {
  const std::string cyrillic600 = [] {
    std::string text;
    for (int i = 0; i < 600; ++i) text += "\xD0\xB6";  // ж, two bytes each
    return text;
  }();
  const LoadedPlugin plugin(Utf16FileBytes("[txt]\ncommand1=c\nfileout1=[N]!\n"
                                      "command2=c\nfileout2=" + cyrillic600 + "\n"));
  TempDir data;
  // "a", a lone lead surrogate, "b": the UTF-8 form that keeps it.
  const std::string lone = "a\xED\xA0\xBD" "b";
  const Names names = plugin.ListW(data.utf8File(lone + ".txt"));
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], lone + "!");
  // The rules value is cut to 1023 bytes of UTF-8: 511 whole characters.
  EXPECT_TRUE(names[1] == cyrillic600.substr(0, 511 * 2)) << names[1].size();
}

// A session opened through a wide function answers the ANSI functions too,
// in the ANSI code page, and the other way round.
TEST(WideRulesTest, EitherKindOfFunctionWorksOnEitherKindOfSession) {
  if (platform::SystemTextIfExact("\xC3\xA9") != "\xE9") {
    GTEST_SKIP() << "written for Windows-1252 as the ANSI code page";
  }
  const LoadedPlugin plugin("[txt]\ncommand1=c\nfileout1=[N] caf\xE9\n");
  TempDir data;
  ASSERT_NE(plugin.OpenW(data.utf8File("\xC3\xA0.txt")).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(header.name, "\xE0 caf\xE9");
  plugin.Close();
  const OpenOutcome ansi = plugin.Open(data.file("\xE0.txt"));
  ASSERT_NE(ansi.handle, nullptr);
  ASSERT_EQ(plugin.ReadW(ansi.handle, header), 0);
  EXPECT_EQ(header.name, "\xC3\xA0 caf\xC3\xA9");
  plugin.Close(ansi.handle);
}

// The log keeps one file: a line whose every character has an ANSI form is
// written in the ANSI code page, as the lines of ANSI sessions are.
TEST(WideRulesTest, LogLineIsAnsiWhenEveryCharacterHasAnAnsiForm) {
  if (platform::SystemTextIfExact("\xC3\xA9") != "\xE9") {
    GTEST_SKIP() << "written for Windows-1252 as the ANSI code page";
  }
  TempDir data, out;
  const LoadedPlugin plugin("[txt]\nlog=1\ncommand1=" + HelperPath() +
                                " --exit 0 \"filein\" \"fileout\"\nfileout1=[N]\n",
                            kPluginFolder);
  const std::string archive = data.utf8File("caf\xC3\xA9.txt");
  WriteFile(PathOfUtf8(archive), "");
  const auto extractTo = [&](const std::string& dest) {
    const OpenOutcome opened = plugin.OpenW(archive, PK_OM_EXTRACT);
    ASSERT_NE(opened.handle, nullptr);
    Header header;
    ASSERT_EQ(plugin.ReadW(opened.handle, header), 0);
    // The helper writes no member; only the log line matters here.
    EXPECT_EQ(plugin.ProcessW(opened.handle, PK_EXTRACT, dest), E_ECREATE);
    plugin.Close(opened.handle);
  };
  const std::string latin = out.utf8File("\xC3\xA9t\xC3\xA9");               // été
  const std::string cyrillic = out.utf8File("\xD0\xBB\xD0\xB5\xD1\x82\xD0\xBE");  // лето
  extractTo(latin);
  extractTo(cyrillic);
  const std::string start = "command1 = " + HelperPath() + " --exit 0 \"";
  EXPECT_EQ(ReadFile(PathOfUtf8(plugin.dirUtf8() + "quendrix.log")),
            start + data.file("caf\xE9.txt") + "\" \"" + out.file("\xE9t\xE9") + "\"\r\n" +
            start + archive + "\" \"" + cyrillic + "\"\r\n");
}

}  // namespace
}  // namespace quendrix::testing
