// Sessions through the exports of the real plug-in: a file manager lists and
// probes other files while a copy-out is under way, on other threads too, and
// every archive it opened keeps its own members, position and commands.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "interface/wcx.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/scoped_environment.h"

namespace quendrix::testing {
namespace {

using Names = std::vector<std::string>;

// Two sections whose members have the same names, "[N].one" and "[N].two",
// so that only the content tells which archive a member was made from: each
// member copies its own archive through the helper.
std::string TwoSectionRules() {
  std::string rules;
  for (const char* section : {"slow", "fast"}) {
    rules += "[" + std::string(section) + "]\n";
    rules += "command1=" + HelperPath() + " --copy filein fileout\nfileout1=[N].one\n";
    rules += "command2=" + HelperPath() + " --copy filein fileout\nfileout2=[N].two\n";
  }
  return rules;
}

class SessionsTest : public ::testing::Test {
 protected:
  SessionsTest() : plugin_(TwoSectionRules()) {
    archiveA_ = dirA_.file("data.slow");
    archiveB_ = dirB_.file("data.fast");
    WriteFile(archiveA_, "content of A\n");
    WriteFile(archiveB_, "content of B\n");
    refused_ = dirB_.file("notes.txt");
    WriteFile(refused_, "no rules for this one\n");
  }

  // Reads the next header of `handle` and extracts it into `out`; the
  // member's name, or an empty text when the list did not go on.
  std::string ExtractNext(ArchiveHandle handle, const TempDir& out) const {
    Header header;
    const int read = plugin_.Read(handle, header);
    EXPECT_EQ(read, 0) << "the list broke off";
    if (read != 0) return {};
    EXPECT_EQ(plugin_.ProcessOn(handle, PK_EXTRACT, out.file(header.name).c_str()), 0);
    return header.name;
  }

  TempDir dirA_;
  TempDir dirB_;
  TempDir out_;
  LoadedPlugin plugin_;
  std::string archiveA_;
  std::string archiveB_;
  std::string refused_;
};

// What the other panel does while a copy-out waits between two members.
class InterruptedCopyTest : public SessionsTest,
                            public ::testing::WithParamInterface<int> {
 protected:
  void Interrupt(int which) {
    switch (which) {
      case 0:  // probes another file of the plug-in
        EXPECT_EQ(plugin_.CanHandle(archiveB_), 1);
        break;
      case 1:  // probes a file the plug-in refuses
        EXPECT_EQ(plugin_.CanHandle(refused_), 0);
        break;
      case 2:  // enters another file, lists it in full and leaves it
        EXPECT_EQ(plugin_.List(archiveB_), (Names{"data.one", "data.two"}));
        break;
      case 3: {  // enters a file it refuses
        const OpenOutcome refused = plugin_.Open(refused_);
        EXPECT_EQ(refused.handle, nullptr);
        break;
      }
      case 4: {  // copies a member out of another file and keeps it open
        const OpenOutcome other = plugin_.Open(archiveB_, PK_OM_EXTRACT);
        ASSERT_NE(other.handle, nullptr);
        TempDir elsewhere;
        EXPECT_EQ(ExtractNext(other.handle, elsewhere), "data.one");
        EXPECT_EQ(ReadFile(elsewhere.path() / "data.one"), "content of B\n");
        break;
      }
    }
  }
};

TEST_P(InterruptedCopyTest, CopyOutMakesEveryMemberFromItsOwnArchive) {
  const OpenOutcome copy = plugin_.Open(archiveA_, PK_OM_EXTRACT);
  ASSERT_NE(copy.handle, nullptr);
  EXPECT_EQ(ExtractNext(copy.handle, out_), "data.one");
  Interrupt(GetParam());
  EXPECT_EQ(ExtractNext(copy.handle, out_), "data.two");
  Header header;
  EXPECT_EQ(plugin_.Read(copy.handle, header), E_END_ARCHIVE);
  EXPECT_EQ(plugin_.Close(copy.handle), 0);

  EXPECT_EQ(ReadFile(out_.path() / "data.one"), "content of A\n");
  EXPECT_EQ(ReadFile(out_.path() / "data.two"), "content of A\n");
}

constexpr const char* kInterruptionNames[] = {
    "ProbesAnotherFile", "ProbesARefusedFile", "ListsAnotherFile",
    "EntersARefusedFile", "CopiesFromAnotherFile"};

INSTANTIATE_TEST_SUITE_P(WhileTheOtherPanel, InterruptedCopyTest,
                         ::testing::Range(0, 5),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(kInterruptionNames[info.param]);
                         });

TEST_F(SessionsTest, TwoCopiesAlternatingHeaderByHeaderStayApart) {
  TempDir outA;
  TempDir outB;
  const ArchiveHandle a = plugin_.Open(archiveA_, PK_OM_EXTRACT).handle;
  const ArchiveHandle b = plugin_.Open(archiveB_, PK_OM_EXTRACT).handle;
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(a, b);
  for (const char* member : {"data.one", "data.two"}) {
    EXPECT_EQ(ExtractNext(a, outA), member);
    EXPECT_EQ(ExtractNext(b, outB), member);
  }
  Header header;
  EXPECT_EQ(plugin_.Read(a, header), E_END_ARCHIVE);
  EXPECT_EQ(plugin_.Read(b, header), E_END_ARCHIVE);
  EXPECT_EQ(plugin_.Close(b), 0);
  EXPECT_EQ(plugin_.Close(a), 0);
  for (const char* member : {"data.one", "data.two"}) {
    EXPECT_EQ(ReadFile(outA.path() / member), "content of A\n") << member;
    EXPECT_EQ(ReadFile(outB.path() / member), "content of B\n") << member;
  }
}

// A handle that names no open session: nothing is listed, nothing runs, and
// the sessions that are open go on as if nothing had happened.
TEST_F(SessionsTest, ClosedAndForgedHandlesGetErrorsAndTouchNothing) {
  const ArchiveHandle open = plugin_.Open(archiveA_, PK_OM_EXTRACT).handle;
  const ArchiveHandle closed = plugin_.Open(archiveB_, PK_OM_EXTRACT).handle;
  ASSERT_NE(open, nullptr);
  ASSERT_NE(closed, nullptr);
  ASSERT_EQ(plugin_.Close(closed), 0);

  int local = 0;
  const auto value = [](std::uintptr_t v) { return reinterpret_cast<ArchiveHandle>(v); };
  const std::vector<std::pair<const char*, ArchiveHandle>> handles = {
      {"closed", closed},
      {"null", nullptr},
      {"INVALID_HANDLE_VALUE", value(~std::uintptr_t{0})},
      {"never handed out", value(reinterpret_cast<std::uintptr_t>(open) + 1000)},
      {"largest positive", value(0x7FFFFFFF)},
      {"an address", reinterpret_cast<ArchiveHandle>(&local)},
  };
  for (const auto& [name, handle] : handles) {
    Header header;
    EXPECT_EQ(plugin_.Read(handle, header), E_BAD_ARCHIVE) << name;
    EXPECT_EQ(plugin_.readHeader(handle, nullptr), E_BAD_ARCHIVE) << name;
    const std::string dest = out_.file(std::string("made by ") + name);
    EXPECT_EQ(plugin_.ProcessOn(handle, PK_EXTRACT, dest.c_str()), E_BAD_ARCHIVE) << name;
    EXPECT_EQ(plugin_.ProcessOn(handle, PK_SKIP, nullptr), E_BAD_ARCHIVE) << name;
    EXPECT_FALSE(std::filesystem::exists(dest)) << name;
    plugin_.setProcessDataProc(handle, nullptr);
    plugin_.setChangeVolProc(handle, nullptr);
    EXPECT_EQ(plugin_.Close(handle), E_ECLOSE) << name;
  }

  EXPECT_EQ(ExtractNext(open, out_), "data.one");
  EXPECT_EQ(ReadFile(out_.path() / "data.one"), "content of A\n");
  EXPECT_EQ(plugin_.Close(open), 0);
  EXPECT_EQ(plugin_.Close(open), E_ECLOSE) << "a handle closes once";
}

// A host that never closes its archives: the sessions stay bounded, the one
// used longest ago goes first, and the ones in use go on.
TEST_F(SessionsTest, ForgottenSessionsAreBounded) {
  const ArchiveHandle busy = plugin_.Open(archiveA_).handle;
  ASSERT_NE(busy, nullptr);
  std::vector<ArchiveHandle> forgotten;
  for (int i = 0; i < 70; ++i) {
    forgotten.push_back(plugin_.Open(archiveB_).handle);
    ASSERT_NE(forgotten.back(), nullptr);
    Header header;
    // The busy session is read between the opens, so it is never the one
    // used longest ago.
    if (i % 8 == 0) plugin_.Read(busy, header);
  }
  Header header;
  EXPECT_EQ(plugin_.Read(forgotten.front(), header), E_BAD_ARCHIVE);
  EXPECT_EQ(plugin_.Read(forgotten.back(), header), 0);
  EXPECT_EQ(header.name, "data.one");
  EXPECT_EQ(plugin_.Read(busy, header), E_END_ARCHIVE) << "read twice already";
}

TEST_F(SessionsTest, ExtractionsMayRunInTheBackground) {
  ASSERT_NE(plugin_.getBackgroundFlags, nullptr);
  EXPECT_EQ(plugin_.getBackgroundFlags(), BACKGROUND_UNPACK);
}

// Several threads in the plug-in at once, as a file manager's main thread
// probes and lists while copies run on workers.
TEST_F(SessionsTest, ThreadsProbingListingAndCopyingAtOnceKeepEveryMember) {
  constexpr int kWorkers = 3;
  constexpr int kRounds = 3;
  std::atomic<bool> copying{true};
  std::atomic<int> failures{0};

  // The main thread of a file manager: probing and listing without pause.
  std::thread browser([&] {
    while (copying.load()) {
      if (plugin_.CanHandle(archiveB_) != 1) ++failures;
      if (plugin_.CanHandle(refused_) != 0) ++failures;
      if (plugin_.List(archiveB_) != Names{"data.one", "data.two"}) ++failures;
      if (plugin_.Open(refused_).handle != nullptr) ++failures;
    }
  });
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      const std::string& archive = w % 2 == 0 ? archiveA_ : archiveB_;
      const std::string expected = w % 2 == 0 ? "content of A\n" : "content of B\n";
      for (int round = 0; round < kRounds; ++round) {
        TempDir out;
        const ArchiveHandle handle = plugin_.Open(archive, PK_OM_EXTRACT).handle;
        if (handle == nullptr) {
          ++failures;
          continue;
        }
        Header header;
        Names made;
        while (made.size() < 10 && plugin_.Read(handle, header) == 0) {
          if (plugin_.ProcessOn(handle, PK_EXTRACT, out.file(header.name).c_str()) != 0) {
            ++failures;
          }
          made.push_back(header.name);
        }
        if (made != Names{"data.one", "data.two"}) ++failures;
        for (const std::string& name : made) {
          if (ReadFile(out.path() / name) != expected) ++failures;
        }
        if (plugin_.Close(handle) != 0) ++failures;
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  copying = false;
  browser.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace quendrix::testing

namespace quendrix::testing {
namespace {

// Hosts open the same file from several threads at once (a panel refresh
// while a copy runs): every open sees the whole list, the kept lists are
// shared safely, and a failed open of one thread is told to that thread.
TEST(ListedSessionsTest, ThreadsOpeningListedFilesAtOnceSeeWholeLists) {
  TempDir data;
  const std::string list = data.file("names.txt");
  std::string names;
  for (int i = 0; i < 200; ++i) names += "folder/member" + std::to_string(i) + "\n";
  WriteFile(list, names);
  const LoadedPlugin plugin("[lst]\nlist=" + HelperCommandLine({"--stdout-file", list}) +
                            "\nextract=x fileout\n"
                            "[bad]\nlist=" + HelperCommandLine({"--exit", "4"}) + "\n");
  std::vector<std::string> archives;
  for (int i = 0; i < 3; ++i) {
    archives.push_back(data.file("box" + std::to_string(i) + ".lst"));
    WriteFile(archives.back(), "box\n");
  }
  const std::string bad = data.file("box.bad");
  WriteFile(bad, "bad\n");

  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        const std::string& archive = archives[static_cast<std::size_t>((t + round) % 3)];
        if (plugin.List(archive).size() != 200u) ++wrong;
        const OpenOutcome failed = plugin.Open(bad);
        if (failed.handle != nullptr || plugin.OpenFailureReason().find("exit status 4") ==
                                            std::string::npos) {
          ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace quendrix::testing

namespace quendrix::testing {
namespace {

// Threads of one host making the same kept member at once, and others
// reading the headers that tell its size meanwhile: one run of its program,
// every copy whole.
TEST(CachedSessionsTest, ThreadsMakingOneKeptMemberRunItsProgramOnce) {
  TempDir data;
  TempDir cache;
  const ScopedEnvironmentValue home(
      platform::kPathStyle == platform::PathStyle::kWindows ? "LOCALAPPDATA" : "XDG_CACHE_HOME",
      cache.str());
  const std::string archive = data.file("input.src");
  WriteFile(archive, "bytes of the member\n");
  const std::string count = data.file("runs");
  const LoadedPlugin plugin("[src]\ncommand1=" +
                            HelperCommandLine({"--count", count, "--sleep", "300", "--copy",
                                               "filein", "fileout"}) +
                            "\nfileout1=x\nCache=1\n");
  std::atomic<int> whole{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      const OpenOutcome open = plugin.Open(archive, PK_OM_EXTRACT);
      Header header;
      plugin.Read(open.handle, header);
      const std::string dest = data.file("made" + std::to_string(i));
      if (plugin.ProcessOn(open.handle, PK_EXTRACT, dest.c_str()) == 0 &&
          ReadFile(dest) == "bytes of the member\n") {
        ++whole;
      }
      plugin.Close(open.handle);
      plugin.List(archive);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(whole.load(), 4);
  EXPECT_EQ(ReadFile(count).size(), 1u);
}

}  // namespace
}  // namespace quendrix::testing
