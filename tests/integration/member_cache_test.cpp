// The cache of made members through the real plug-in: a second extraction
// of the same member runs nothing and gives the same bytes, anything that
// makes it another member makes it anew, makers at the same time run the
// program once, a waiting maker can be cancelled, the cache stays within
// its cap, a cache that cannot be used leaves members made as ever, and
// headers tell a kept member's size.
#include <gtest/gtest.h>

#include <iostream>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "extract/member_cache.h"
#include "interface/wcx.h"
#include "platform/platform.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/scoped_environment.h"
#include "support/system_fixtures.h"
#include "support/windows_build.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

// The variable that places the cache on this platform.
constexpr const char* kCacheVariable = kWindows ? "LOCALAPPDATA" : "XDG_CACHE_HOME";

class MemberCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    archive_ = data_.file("input.src");
    WriteFile(archive_, "the archive's bytes\n");
    count_ = data_.file("runs");
  }

  // A section whose one member copies the archive and counts its runs.
  std::string Rules(std::string_view extra = "Cache=1\n", std::string_view name = "[N].out") const {
    return "[src]\ncommand1=" + HelperCommandLine({"--count", count_, "--copy", "filein", "fileout"}) +
           "\nfileout1=" + std::string(name) + "\n" + std::string(extra);
  }

  std::size_t Runs() const { return ReadFile(count_).size(); }

  // Extracts the first member to a fresh file; its result.
  int Extract(const LoadedPlugin& plugin, std::string* bytes = nullptr) const {
    const OpenOutcome open = plugin.Open(archive_, PK_OM_EXTRACT);
    if (open.handle == nullptr) return -1;
    Header header;
    plugin.Read(open.handle, header);
    const std::string dest = out_.file("member" + std::to_string(++extractions_));
    const int result = plugin.ProcessOn(open.handle, PK_EXTRACT, dest.c_str());
    if (bytes != nullptr) *bytes = ReadFile(dest);
    plugin.Close(open.handle);
    return result;
  }

  std::size_t Entries() const {
    const fs::path folder = cache_.path() / (kWindows ? "quendrix/cache" : "quendrix/members");
    std::size_t entries = 0;
    std::error_code error;
    for (const auto& file : fs::directory_iterator(folder, error)) {
      if (file.path().extension() == ".entry") ++entries;
    }
    return entries;
  }

  TempDir data_;
  TempDir out_;
  TempDir cache_;
  const ScopedEnvironmentValue cacheHome_{kCacheVariable, cache_.str()};
  std::string archive_;
  std::string count_;
  mutable int extractions_ = 0;
};

TEST_F(MemberCacheTest, SecondExtractionRunsNothingAndGivesTheSameBytes) {
  const LoadedPlugin plugin(Rules());
  std::string first, second;
  EXPECT_EQ(Extract(plugin, &first), 0);
  EXPECT_EQ(Extract(plugin, &second), 0);
  EXPECT_EQ(first, "the archive's bytes\n");
  EXPECT_EQ(second, first);
  EXPECT_EQ(Runs(), 1u);
  EXPECT_EQ(Entries(), 1u);
  // Another plug-in, as another host would load it, finds it too.
  const LoadedPlugin other(Rules());
  EXPECT_EQ(Extract(other, &second), 0);
  EXPECT_EQ(second, first);
  EXPECT_EQ(Runs(), 1u);
}

TEST_F(MemberCacheTest, WithoutCacheOnEveryExtractionRunsItsProgram) {
  for (const char* extra : {"", "Cache=0\n", "Cache=yes\n"}) {
    const std::size_t before = Runs();
    const LoadedPlugin plugin(Rules(extra));
    EXPECT_EQ(Extract(plugin), 0);
    EXPECT_EQ(Extract(plugin), 0);
    EXPECT_EQ(Runs(), before + 2) << extra;
  }
  EXPECT_EQ(Entries(), 0u);
}

// Every part of what makes a member the same, changed alone, makes it anew.
TEST_F(MemberCacheTest, EachPartOfTheIdentityMakesAnew) {
  const LoadedPlugin plugin(Rules());
  ASSERT_EQ(Extract(plugin), 0);
  ASSERT_EQ(Runs(), 1u);
  struct Change {
    const char* label;
    std::function<void()> apply;
  };
  const Change changes[] = {
      {"content and size", [&] { WriteFile(archive_, "the archive's other bytes\n"); }},
      {"modification time",
       [&] {
         const auto seconds = platform::FileModifiedUnixSeconds(archive_);
         platform::SetFileModifiedUnixSeconds(archive_, *seconds - 3600);
       }},
      {"a new file of the same size and time",
       [&] {
         const auto seconds = platform::FileModifiedUnixSeconds(archive_);
         const std::string other = data_.file("other.src");
         WriteFile(other, ReadFile(archive_));
         fs::remove(archive_);
         fs::rename(other, archive_);
         platform::SetFileModifiedUnixSeconds(archive_, *seconds);
       }},
      {"the command",
       [&] {
         plugin.WriteRules("[src]\ncommand1=" +
                           HelperCommandLine({"--count", count_, "--exit", "0", "--copy", "filein",
                                              "fileout"}) +
                           "\nfileout1=[N].out\nCache=1\n");
       }},
      {"the member's name", [&] { plugin.WriteRules(Rules("Cache=1\n", "[N].renamed")); }},
  };
  std::size_t expected = 1;
  for (const Change& change : changes) {
    change.apply();
    EXPECT_EQ(Extract(plugin), 0) << change.label;
    EXPECT_EQ(Runs(), ++expected) << change.label;
    // And the same member again is taken from the cache.
    EXPECT_EQ(Extract(plugin), 0) << change.label;
    EXPECT_EQ(Runs(), expected) << change.label;
  }
}

TEST_F(MemberCacheTest, ChangedProgramMakesAnew) {
  // The program is a copy of the helper in the plug-in's folder.
  LoadedPlugin plugin("[src]\ncommand1=" +
                      CommandLineOf({"quendrix_test_helper_copy" + std::string(kWindows ? ".exe" : ""),
                                     "--count", count_, "--copy", "filein", "fileout"}) +
                      "\nfileout1=x\nCache=1\n");
  const std::string program =
      plugin.file("quendrix_test_helper_copy" + std::string(kWindows ? ".exe" : ""));
  fs::copy_file(HelperPath(), program);
  fs::permissions(program, fs::perms::owner_all, fs::perm_options::add);
  ASSERT_EQ(Extract(plugin), 0);
  ASSERT_EQ(Extract(plugin), 0);
  ASSERT_EQ(Runs(), 1u);
  const auto seconds = platform::FileModifiedUnixSeconds(program);
  platform::SetFileModifiedUnixSeconds(program, *seconds - 7200);
  EXPECT_EQ(Extract(plugin), 0);
  EXPECT_EQ(Runs(), 2u);
}

TEST_F(MemberCacheTest, FailedMakeIsNeverKept) {
  const LoadedPlugin plugin("[src]\ncommand1=" +
                            HelperCommandLine({"--count", count_, "--write-steps", "fileout", "1",
                                               "10", "0", "--exit", "3"}) +
                            "\nfileout1=x\nCache=1\n");
  EXPECT_EQ(Extract(plugin), E_EWRITE);
  EXPECT_EQ(Extract(plugin), E_EWRITE);
  EXPECT_EQ(Runs(), 2u);
  EXPECT_EQ(Entries(), 0u);
}

// Two threads of one host asking for the same member at once: its program
// runs once, and both get the member.
TEST_F(MemberCacheTest, ConcurrentMakersRunTheProgramOnce) {
  const LoadedPlugin plugin("[src]\ncommand1=" +
                            HelperCommandLine({"--count", count_, "--sleep", "800", "--copy",
                                               "filein", "fileout"}) +
                            "\nfileout1=x\nCache=1\n");
  std::atomic<int> results{0};
  std::vector<std::thread> makers;
  for (int i = 0; i < 3; ++i) {
    makers.emplace_back([&, i] {
      const OpenOutcome open = plugin.Open(archive_, PK_OM_EXTRACT);
      Header header;
      plugin.Read(open.handle, header);
      const std::string dest = out_.file("concurrent" + std::to_string(i));
      results += plugin.ProcessOn(open.handle, PK_EXTRACT, dest.c_str()) == 0 &&
                 ReadFile(dest) == "the archive's bytes\n";
      plugin.Close(open.handle);
    });
  }
  for (std::thread& maker : makers) maker.join();
  EXPECT_EQ(results.load(), 3);
  EXPECT_EQ(Runs(), 1u);
}

std::atomic<int> g_waitingCalls{0};
int QUENDRIX_WCX_CALL StopWhileWaiting(char*, int size) {
  // The waiter is told nothing grew; the third such call asks to stop.
  return size == 0 && ++g_waitingCalls >= 3 ? 0 : 1;
}

TEST_F(MemberCacheTest, AWaitingMakerCanBeCancelled) {
  const LoadedPlugin plugin("[src]\ncommand1=" +
                            HelperCommandLine({"--count", count_, "--sleep", "3000", "--copy",
                                               "filein", "fileout"}) +
                            "\nfileout1=x\nCache=1\n");
  std::thread first([&] { EXPECT_EQ(Extract(plugin), 0); });
  // The first maker holds the entry's lock once its program runs.
  for (int i = 0; i < 200 && Runs() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(Runs(), 1u);
  g_waitingCalls = 0;
  const OpenOutcome open = plugin.Open(archive_, PK_OM_EXTRACT);
  plugin.setProcessDataProc(open.handle, &StopWhileWaiting);
  Header header;
  plugin.Read(open.handle, header);
  const std::string dest = out_.file("cancelled");
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(plugin.ProcessOn(open.handle, PK_EXTRACT, dest.c_str()), E_EABORTED);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(2000));
  EXPECT_FALSE(fs::exists(dest));
  plugin.Close(open.handle);
  first.join();
  EXPECT_EQ(Runs(), 1u);
}

TEST_F(MemberCacheTest, CacheStaysWithinItsCap) {
  const LoadedPlugin plugin(Rules());
  const fs::path folder = cache_.path() / (kWindows ? "quendrix/cache" : "quendrix/members");
  fs::create_directories(folder);
  // Room for two entries of this archive (its bytes and the footer), not three.
  WriteFile(folder / "limit.txt", "250\n");
  for (int i = 0; i < 3; ++i) {
    WriteFile(archive_, "archive number " + std::to_string(i) + " of the cap test\n");
    // Later entries are used later.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_EQ(Extract(plugin), 0);
  }
  EXPECT_EQ(Entries(), 2u);
  // The newest one is kept: no run for it.
  const std::size_t runs = Runs();
  EXPECT_EQ(Extract(plugin), 0);
  EXPECT_EQ(Runs(), runs);
}

// A cache folder that cannot be used is passed over: members are made as
// without a cache, and nothing is written there.
TEST_F(MemberCacheTest, UnusableCacheFolderLeavesMembersMade) {
  const fs::path parent = cache_.path() / "quendrix";
  fs::create_directories(parent);
  const fs::path folder = parent / (kWindows ? "cache" : "members");
  // Something that is no folder stands in the cache's place.
  WriteFile(folder, "not a folder");
  const LoadedPlugin plugin(Rules("Cache=1\nlog=1\n"));
  std::string bytes;
  EXPECT_EQ(Extract(plugin, &bytes), 0);
  EXPECT_EQ(bytes, "the archive's bytes\n");
  EXPECT_EQ(Extract(plugin), 0);
  EXPECT_EQ(Runs(), 2u);
  EXPECT_EQ(ReadFile(folder), "not a folder");
  EXPECT_NE(ReadFile(plugin.file("quendrix.log")).find("cache: the cache folder"),
            std::string::npos);
}

TEST_F(MemberCacheTest, HeadersTellAKeptMembersSize) {
  const LoadedPlugin plugin(Rules());
  const std::vector<std::string> before = plugin.List(archive_);
  ASSERT_NE(plugin.Open(archive_).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(header.unpSize, 1) << "not made yet: the nominal size";
  plugin.Close();
  ASSERT_EQ(Extract(plugin), 0);
  ASSERT_NE(plugin.Open(archive_).handle, nullptr);
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(header.unpSize, 20) << "the member's real size";
  plugin.Close();
}

}  // namespace
}  // namespace quendrix::testing

namespace quendrix::testing {
namespace {

// What a crash leaves in the cache folder: pieces written aside and never
// renamed, an entry cut short, one whose footer is torn or another's. None
// of it is ever delivered: the member is made anew and kept whole.
TEST_F(MemberCacheTest, WhatACrashLeftIsNeverDelivered) {
  const fs::path folder = cache_.path() / (kWindows ? "quendrix/cache" : "quendrix/members");
  struct Damage {
    const char* label;
    std::function<void(const fs::path& entry)> apply;
  };
  const Damage damages[] = {
      {"cut short", [](const fs::path& entry) { fs::resize_file(entry, 7); }},
      {"without its footer",
       [](const fs::path& entry) { fs::resize_file(entry, fs::file_size(entry) - kEntryFooterSize); }},
      {"a footer of another key",
       [](const fs::path& entry) {
         std::string bytes = ReadFile(entry);
         bytes[bytes.size() - 50] ^= 0x5A;
         WriteFile(entry, bytes);
       }},
      {"a wrong size",
       [](const fs::path& entry) {
         std::string bytes = ReadFile(entry);
         bytes.insert(0, "extra");
         WriteFile(entry, bytes);
       }},
      {"removed, with a half piece beside it",
       [&folder](const fs::path& entry) {
         const std::string name = entry.stem().string();
         fs::remove(entry);
         WriteFile(folder / (name + ".partial-4242-1"), "the arch");
       }},
  };
  const LoadedPlugin plugin(Rules());
  std::size_t runs = 0;
  for (const Damage& damage : damages) {
    ASSERT_EQ(Extract(plugin), 0) << damage.label;
    fs::path entry;
    for (const auto& file : fs::directory_iterator(folder)) {
      if (file.path().extension() == ".entry") entry = file.path();
    }
    ASSERT_FALSE(entry.empty()) << damage.label;
    runs = Runs();
    damage.apply(entry);
    std::string bytes;
    EXPECT_EQ(Extract(plugin, &bytes), 0) << damage.label;
    EXPECT_EQ(bytes, "the archive's bytes\n") << damage.label;
    EXPECT_EQ(Runs(), runs + 1) << damage.label << ": made anew";
    EXPECT_EQ(Extract(plugin, &bytes), 0) << damage.label;
    EXPECT_EQ(bytes, "the archive's bytes\n") << damage.label;
    EXPECT_EQ(Runs(), runs + 1) << damage.label << ": kept whole again";
  }
}

// A lock whose file cannot be had at all (its folder removed meanwhile) is
// not waited for: waiting would never end.
TEST(MemberCacheLockTest, LockThatCannotBeHadIsNotWaitedFor) {
  TempDir gone;
  const MemberCache cache(gone.str() + "removed" + std::string(1, platform::kPathSeparator),
                          platform::TextEncoding::kSystem);
  MemberCache::LockRefusal refusal = MemberCache::LockRefusal::kStopped;
  int asked = 0;
  const auto began = std::chrono::steady_clock::now();
  const std::optional<platform::FileLock> lock = cache.Lock(
      Sha256Of("key"), [&asked] { return ++asked < 100; }, std::chrono::milliseconds(10),
      refusal);
  EXPECT_FALSE(lock);
  EXPECT_EQ(refusal, MemberCache::LockRefusal::kUnavailable);
  EXPECT_EQ(asked, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(500));
}

// A file that changes while its member is made gives a member of neither
// version for sure: it is delivered, and never kept.
TEST_F(MemberCacheTest, SourceChangedDuringTheMakeIsNotKept) {
  const LoadedPlugin plugin("[src]\ncommand1=" +
                            HelperCommandLine({"--count", count_, "--copy", "filein", "fileout",
                                               "--write-steps", "filein", "1", "3", "0"}) +
                            "\nfileout1=x\nCache=1\n");
  EXPECT_EQ(Extract(plugin), 0);
  EXPECT_EQ(Extract(plugin), 0);
  EXPECT_EQ(Runs(), 2u);
  EXPECT_EQ(Entries(), 0u);
}

}  // namespace
}  // namespace quendrix::testing

namespace quendrix::testing {
namespace {

// A cache folder that is a link to elsewhere, or that belongs to another
// user, is never used: what is kept there could be read or replaced by
// someone else. Members are made all the same.
TEST_F(MemberCacheTest, LinkedOrForeignCacheFolderIsRefused) {
  if (kWindows) GTEST_SKIP() << "folder owners and links are checked on POSIX";
  const fs::path parent = cache_.path() / "quendrix";
  fs::create_directories(parent);
  const fs::path folder = parent / "members";
  TempDir elsewhere;
  struct Case {
    const char* label;
    std::function<bool()> make;  // false: this system cannot make the case
  };
  const Case cases[] = {
      {"a link", [&] { fs::create_directory_symlink(elsewhere.path(), folder); return true; }},
      {"another user's folder",
       [&] {
         fs::create_directory(folder);
         return GiveFolderToAnotherUser(folder.string());
       }},
  };
  for (const Case& c : cases) {
    std::error_code error;
    fs::remove_all(folder, error);
    fs::remove(folder, error);
    if (!c.make()) {
      std::cout << "[ SKIPPED  ] " << c.label << ": this process cannot give a folder away\n";
      continue;
    }
    const std::size_t runs = Runs();
    const LoadedPlugin plugin(Rules());
    std::string bytes;
    EXPECT_EQ(Extract(plugin, &bytes), 0) << c.label;
    EXPECT_EQ(bytes, "the archive's bytes\n") << c.label;
    EXPECT_EQ(Extract(plugin), 0) << c.label;
    EXPECT_EQ(Runs(), runs + 2) << c.label << ": nothing kept";
    EXPECT_TRUE(fs::is_empty(elsewhere.path())) << c.label;
  }
}

}  // namespace
}  // namespace quendrix::testing
