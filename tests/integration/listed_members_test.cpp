// Members that a section's list program prints, through the real plug-in:
// their names (in folders, with the host's separator), sizes and times in
// the headers, their making by extract=, the kept lists, the time limit, a
// failing list, and names that are not taken.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "interface/wcx.h"
#include "platform/platform.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/local_stamp.h"
#include "support/windows_build.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

// A member name as the hosts of this platform see it.
std::string Host(std::string name) {
  if (kWindows) {
    for (char& c : name) {
      if (c == '/') c = '\\';
    }
  }
  return name;
}

struct ListedHeader {
  std::string name;
  std::int32_t size;
  std::int32_t time;
};

class ListedMembersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    archive_ = data_.file("box.lst");
    WriteFile(archive_, "the archive\n");
    list_ = data_.file("list.txt");
    count_ = data_.file("count.txt");
    source_ = data_.path() / "source";
  }

  // A section whose list program prints the file `list_` and counts its
  // runs, and whose extract= copies source/[M] to the member.
  std::string Section(std::string_view extra = {}) const {
    return "[lst]\nlist=" + HelperCommandLine({"--count", count_, "--stdout-file", list_}) +
           "\nextract=" + HelperCommandLine({"--copy"}) + " \"" + Text(source_) +
           std::string(1, platform::kPathSeparator) + "[M]\" \"fileout\"\n" + std::string(extra);
  }

  static std::string Text(const fs::path& path) { return path.string(); }

  std::size_t Runs() const { return ReadFile(count_).size(); }

  void Source(const std::string& name, std::string_view content) const {
    const fs::path path = source_ / fs::path(name);
    fs::create_directories(path.parent_path());
    WriteFile(path, content);
  }

  std::vector<ListedHeader> Headers(const LoadedPlugin& plugin) const {
    std::vector<ListedHeader> headers;
    if (plugin.Open(archive_).handle == nullptr) return headers;
    Header header;
    while (plugin.Read(header) == 0) {
      headers.push_back({header.name, header.unpSize, header.fileTime});
      plugin.Process(PK_SKIP, nullptr);
    }
    plugin.Close();
    return headers;
  }

  TempDir data_;
  std::string archive_;
  std::string list_;
  std::string count_;
  fs::path source_;
};

TEST_F(ListedMembersTest, ComeAfterTheNumberedOnesWithTheirFoldersSizesAndTimes) {
  WriteFile(list_, "a.txt\ndocs/sub/note.txt\t5\t2024-03-15 13:45:59\ndocs/\n");
  const LoadedPlugin plugin(Section("command1=" + HelperCommandLine({"--copy", "filein", "fileout"}) +
                                    "\nfileout1=[N].copy\n"));
  const std::vector<ListedHeader> headers = Headers(plugin);
  ASSERT_EQ(headers.size(), 3u);
  EXPECT_EQ(headers[0].name, "box.copy");
  EXPECT_EQ(headers[1].name, "a.txt");
  EXPECT_EQ(headers[1].size, 1);  // no size listed: the nominal one
  EXPECT_EQ(headers[1].time, headers[0].time);  // no time listed: the file's
  EXPECT_EQ(headers[2].name, Host("docs/sub/note.txt"));
  EXPECT_EQ(headers[2].size, 5);
  const std::int32_t stamp =
      kWindows ? static_cast<std::int32_t>(kLocalStampDos)
               : static_cast<std::int32_t>(LocalStampSeconds());
  EXPECT_EQ(headers[2].time, stamp);
}

// The header's FileTime holds a DOS date on Windows (1980 to 2107) and
// unsigned seconds since 1970 on Linux (up to 2106-02-07).
// A listed time outside what it holds is left out, so the member carries
// the file's own time as an unlisted one does, and the warning counts it.
TEST_F(ListedMembersTest, TimesTheHeaderCannotHoldAreLeftOutAndCounted) {
  struct Case {
    const char* time;
    bool held;
  };
  const Case cases[] = {
      {"2024-03-15 13:45:59", true},
      {"1975-06-01 12:00:00", !kWindows},
      {"2050-06-01 12:00:00", true},
      {"1960-06-01 12:00:00", false},
      {"2110-06-01 12:00:00", false},
  };
  std::string list = "none\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    list += "m" + std::to_string(i) + "\t1\t" + cases[i].time + "\n";
  }
  WriteFile(list_, list);
  const LoadedPlugin plugin(Section());
  const std::vector<ListedHeader> headers = Headers(plugin);
  ASSERT_EQ(headers.size(), std::size(cases) + 1);
  const std::int32_t own = headers[0].time;  // "none" lists no time
  std::size_t leftOut = 0;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::uint32_t time = static_cast<std::uint32_t>(headers[i + 1].time);
    const int year =
        kWindows ? static_cast<int>(time >> 25) + 1980
                 : static_cast<int>(platform::LocalCalendarTime(std::int64_t{time}).year);
    if (cases[i].held) {
      EXPECT_EQ(std::to_string(year), std::string(cases[i].time, 4)) << cases[i].time;
    } else {
      EXPECT_EQ(headers[i + 1].time, own) << cases[i].time;
      ++leftOut;
    }
  }
  ASSERT_NE(plugin.Open(archive_).handle, nullptr);
  EXPECT_NE(plugin.ListWarningText().find(std::to_string(leftOut) + " listed times lie outside"),
            std::string::npos)
      << plugin.ListWarningText();
  plugin.Close();
}

TEST_F(ListedMembersTest, AreMadeByExtractIntoFoldersMadeForThem) {
  WriteFile(list_, "a.txt\ndocs/sub/note.txt\n");
  Source("a.txt", "first\n");
  Source("docs/sub/note.txt", "second\n");
  const LoadedPlugin plugin(Section());
  TempDir out;
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  while (plugin.Read(header) == 0) {
    // The host asks for each member at its place below the destination,
    // whose folders do not exist yet.
    const std::string dest = (out.path() / "into" / fs::path(header.name)).string();
    EXPECT_EQ(plugin.Process(PK_EXTRACT, dest.c_str()), 0) << header.name << "\n"
                                                             << plugin.FailureReason();
  }
  EXPECT_EQ(ReadFile(out.path() / "into" / "a.txt"), "first\n");
  EXPECT_EQ(ReadFile(out.path() / "into" / "docs" / "sub" / "note.txt"), "second\n");
}

TEST_F(ListedMembersTest, ListIsKeptWhileTheFileAndTheRulesAreUnchanged) {
  WriteFile(list_, "a\n");
  const LoadedPlugin plugin(Section());
  // A probe runs nothing.
  EXPECT_EQ(plugin.CanHandle(archive_), 1);
  EXPECT_EQ(Runs(), 0u);
  EXPECT_EQ(Headers(plugin).size(), 1u);
  EXPECT_EQ(Headers(plugin).size(), 1u);
  EXPECT_EQ(Runs(), 1u) << "a second open of the same file runs nothing";

  // The file changes: listed anew.
  WriteFile(list_, "a\nb\n");
  WriteFile(archive_, "the archive, longer\n");
  EXPECT_EQ(Headers(plugin).size(), 2u);
  EXPECT_EQ(Runs(), 2u);
  // The rules change the list command: listed anew.
  plugin.WriteRules(Section("ListTimeout=20\n") + "; another list command\n");
  const LoadedPlugin other(Section());
  EXPECT_EQ(Headers(other).size(), 2u);  // another plug-in keeps lists of its own
  EXPECT_EQ(Runs(), 3u);
  plugin.WriteRules("[lst]\nlist=" +
                    HelperCommandLine({"--count", count_, "--stdout-file", list_, "--exit", "0"}) +
                    "\n");
  EXPECT_EQ(Headers(plugin).size(), 2u);
  EXPECT_EQ(Runs(), 4u);
}

// A list that cannot be had fails the open, and the host can learn why.
TEST_F(ListedMembersTest, ListThatFailsFailsTheOpenWithItsReason) {
  WriteFile(list_, "a\n");
  struct Case {
    const char* label;
    std::string list;
    std::string reason;
  };
  const Case cases[] = {
      {"ExitStatus", HelperCommandLine({"--stdout-file", list_, "--exit", "3"}),
       "list: its program ended with exit status 3"},
      {"NothingPrinted", HelperCommandLine({}), "list: its program printed no names"},
      {"TooSlow", HelperCommandLine({"--sleep", "20000", "--stdout-file", list_}) +
                      "\nListTimeout=1",
       "list: its program ran longer than 1 s (ListTimeout) and was ended"},
      {"Missing", CommandLineOf({data_.file("no-such-program")}), "could not be started: "},
  };
  for (const Case& c : cases) {
    const LoadedPlugin plugin("[lst]\nlist=" + c.list + "\nextract=x fileout\n");
    const auto began = std::chrono::steady_clock::now();
    const OpenOutcome open = plugin.Open(archive_);
    EXPECT_EQ(open.handle, nullptr) << c.label;
    EXPECT_EQ(open.openResult, E_BAD_ARCHIVE) << c.label;
    EXPECT_NE(plugin.OpenFailureReason().find(c.reason), std::string::npos)
        << c.label << ": " << plugin.OpenFailureReason();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(15)) << c.label;
  }
}

TEST_F(ListedMembersTest, NamesAreCheckedAndOnlySafeOnesTaken) {
  std::string names = "\xEF\xBB\xBF" "ok one\r\n"
                      "it's \"q\" $x\n"
                      "../escape\n"
                      "/etc/passwd\n"
                      "a//b\n"
                      "bad\xFFutf8\n"
                      "/\n"
                      "c1\xC2\x85" "control\n"
                      "ok one\n";
  if (!kWindows) names += "back\\slash\n";
  WriteFile(list_, names);
  const LoadedPlugin plugin(Section());
  std::vector<std::string> taken;
  for (const ListedHeader& header : Headers(plugin)) taken.push_back(header.name);
  std::vector<std::string> expected = {"ok one", "it's \"q\" $x"};
  if (kWindows) expected.pop_back();  // Windows names hold no quotation mark
  if (!kWindows) expected.push_back("back\\slash");
  EXPECT_EQ(taken, expected);
  ASSERT_NE(plugin.Open(archive_).handle, nullptr);
  EXPECT_NE(plugin.ListWarningText().find("listed names were skipped"), std::string::npos)
      << plugin.ListWarningText();
  plugin.Close();
}

// Whatever a listed name holds, it reaches the extract program as one
// argument.
TEST_F(ListedMembersTest, HostileNameReachesTheExtractProgramAsOneArgument) {
  const std::string name = kWindows ? "a b & c %PATH%.txt" : "a b 'c' \"d\" $HOME `id` > | <.txt";
  WriteFile(list_, name + "\n");
  const std::string record = data_.file("record");
  const LoadedPlugin plugin("[lst]\nlist=" + HelperCommandLine({"--stdout-file", list_}) +
                            "\nextract=" + HelperCommandLine({"--record", record}) +
                            (kWindows ? " \"[M]\" \"fileout\"" : " [M] fileout") + "\n");
  TempDir out;
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(header.name, name);
  plugin.Process(PK_EXTRACT, out.file("member").c_str());
  const std::optional<HelperRecord> recorded = ReadHelperRecord(record);
  ASSERT_TRUE(recorded);
  ASSERT_EQ(recorded->args.size(), 2u);
  EXPECT_EQ(recorded->args[0], name);
}

TEST_F(ListedMembersTest, ListWithoutExtractListsButMakesNothing) {
  WriteFile(list_, "a\n");
  const LoadedPlugin plugin("[lst]\nlist=" + HelperCommandLine({"--stdout-file", list_}) + "\n");
  TempDir out;
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("a").c_str()), E_ECREATE);
  EXPECT_NE(plugin.FailureReason().find("no extract="), std::string::npos);
}

TEST_F(ListedMembersTest, LongListIsCutWithAWarning) {
  std::string names;
  for (int i = 0; i <= 100'000; ++i) names += std::to_string(i) + "\n";
  WriteFile(list_, names);
  const LoadedPlugin plugin(Section());
  ASSERT_NE(plugin.Open(archive_).handle, nullptr);
  EXPECT_NE(plugin.ListWarningText().find("the list was cut after 100000 names"),
            std::string::npos);
  std::size_t count = 0;
  Header header;
  while (plugin.Read(header) == 0) ++count;
  EXPECT_EQ(count, 100'000u);
}

// A list program that prints far more than a list may hold (here 200 MiB)
// is read up to the limit and ended; the open keeps what was read.
TEST_F(ListedMembersTest, ListProgramThatPrintsWithoutEndIsCut) {
  const LoadedPlugin plugin("[lst]\nlist=" +
                            HelperCommandLine({"--stdout-bytes", std::to_string(200 << 20)}) +
                            "\nextract=x fileout\n");
  const auto began = std::chrono::steady_clock::now();
  ASSERT_NE(plugin.Open(archive_).handle, nullptr) << plugin.OpenFailureReason();
  EXPECT_NE(plugin.ListWarningText().find("the list was cut"), std::string::npos)
      << plugin.ListWarningText();
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30));
  plugin.Close();
}

}  // namespace
}  // namespace quendrix::testing
