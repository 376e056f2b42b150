// The parts of the mount that need no FUSE: which names a folder can hold,
// where a path below the mount point leads, the table of mounts, and the
// member cache that makes each member once for all its openers. The cache
// tests run several threads and are part of the ThreadSanitizer build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <thread>
#include <vector>

#include "mount/member_cache.h"
#include "mount/mount_members.h"
#include "mount/mount_names.h"
#include "mount/mount_path.h"
#include "mount/mount_table.h"
#include "support/temp_dir.h"

namespace quendrix::host::mount {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(MountNames, AFolderHoldsNoEmptyDotSlashOrOverlongName) {
  struct Case {
    std::string name;
    bool held;
  };
  const std::vector<Case> cases = {
      {"report.sorted.txt", true},
      {" it's \"quoted\" ünïcode $x -n", true},
      {"...", true},
      {std::string(255, 'a'), true},
      {"", false},
      {".", false},
      {"..", false},
      {"sub/name", false},
      {"/abs", false},
      {"trailing/", false},
      {std::string("nul\0byte", 8), false},
      {std::string(256, 'a'), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(!EntryNameObstacle(c.name).has_value(), c.held) << c.name;
  }
}

TEST(MountNames, MemberFoldersAreTheFileNameAndAMark) {
  EXPECT_EQ(MemberFolderName("a b.txt"), "a b.txt#");
  EXPECT_EQ(MemberFolderName(std::string(254, 'a')), std::string(254, 'a') + "#");
  EXPECT_FALSE(MemberFolderName(std::string(255, 'a')));
  EXPECT_EQ(FileOfMemberFolder("a b.txt#"), "a b.txt");
  EXPECT_EQ(FileOfMemberFolder("x##"), "x#");
  EXPECT_FALSE(FileOfMemberFolder("#"));
  EXPECT_FALSE(FileOfMemberFolder("a.txt"));
}

TEST(MountNames, MembersAFolderCannotHoldAreLeftOutWithAWarning) {
  std::vector<std::string> warnings;
  const MountMembers members =
      MembersForFolder({"a", "", "b/c", "..", "a", "d"}, warnings);
  EXPECT_EQ(members.names, (std::vector<std::string>{"a", "d"}));
  EXPECT_TRUE(members.Has("a"));
  EXPECT_FALSE(members.Has("b/c"));
  ASSERT_EQ(warnings.size(), 4u);
  EXPECT_NE(warnings[1].find("\"b/c\""), std::string::npos) << warnings[1];
  EXPECT_NE(warnings[3].find("earlier member"), std::string::npos) << warnings[3];
}

// A source folder /s holding: file a.txt, folder sub with file b.txt, a real
// entry "c.txt#" beside file c.txt, and a folder d.txt.
EntryKind FakeDisk(const std::string& path) {
  static const std::map<std::string, EntryKind> disk = {
      {"/s", EntryKind::kFolder},          {"/s/a.txt", EntryKind::kFile},
      {"/s/sub", EntryKind::kFolder},      {"/s/sub/b.txt", EntryKind::kFile},
      {"/s/c.txt", EntryKind::kFile},      {"/s/c.txt#", EntryKind::kFolder},
      {"/s/c.txt#/x", EntryKind::kFile},   {"/s/d.txt", EntryKind::kFolder},
      {"/s/fifo", EntryKind::kOther},
  };
  const auto found = disk.find(path);
  return found == disk.end() ? EntryKind::kMissing : found->second;
}

TEST(MountPath, AFolderSourceShowsItsEntriesAndTheMembersBesideEachFile) {
  struct Case {
    const char* path;
    NodeKind kind;
    const char* real;
    const char* member;
  };
  const std::vector<Case> cases = {
      {"/", NodeKind::kMirror, "/s", ""},
      {"/a.txt", NodeKind::kMirror, "/s/a.txt", ""},
      {"/sub/b.txt", NodeKind::kMirror, "/s/sub/b.txt", ""},
      {"/fifo", NodeKind::kMirror, "/s/fifo", ""},
      {"/a.txt#", NodeKind::kMemberFolder, "/s/a.txt", ""},
      {"/a.txt#/a.sorted.txt", NodeKind::kMember, "/s/a.txt", "a.sorted.txt"},
      {"/a.txt#/x#", NodeKind::kMember, "/s/a.txt", "x#"},
      {"/sub/b.txt#", NodeKind::kMemberFolder, "/s/sub/b.txt", ""},
      {"/sub/b.txt#/m", NodeKind::kMember, "/s/sub/b.txt", "m"},
      // A real entry of the name wins over the member folder.
      {"/c.txt#", NodeKind::kMirror, "/s/c.txt#", ""},
      {"/c.txt#/x", NodeKind::kMirror, "/s/c.txt#/x", ""},
      {"/c.txt#/y", NodeKind::kMissing, "", ""},
      // Only a regular file has members; nothing lies below a member.
      {"/d.txt#", NodeKind::kMissing, "", ""},
      {"/sub#", NodeKind::kMissing, "", ""},
      {"/fifo#", NodeKind::kMissing, "", ""},
      {"/none.txt#", NodeKind::kMissing, "", ""},
      {"/a.txt#/m/deeper", NodeKind::kMissing, "", ""},
      {"/#", NodeKind::kMissing, "", ""},
      {"/missing", NodeKind::kMissing, "", ""},
  };
  for (const Case& c : cases) {
    const Node node = ResolveMountPath(c.path, "/s", false, FakeDisk);
    EXPECT_EQ(node.kind, c.kind) << c.path;
    if (node.kind == c.kind && c.kind != NodeKind::kMissing) {
      EXPECT_EQ(node.path, c.real) << c.path;
      EXPECT_EQ(node.member, c.member) << c.path;
    }
  }
}

TEST(MountPath, AFileSourceShowsItsMembersAtTheRoot) {
  const auto nothingOnDisk = [](const std::string&) { return EntryKind::kMissing; };
  Node node = ResolveMountPath("/", "/s/a.txt", true, nothingOnDisk);
  EXPECT_EQ(node.kind, NodeKind::kMemberFolder);
  EXPECT_EQ(node.path, "/s/a.txt");
  node = ResolveMountPath("/a b#c", "/s/a.txt", true, nothingOnDisk);
  EXPECT_EQ(node.kind, NodeKind::kMember);
  EXPECT_EQ(node.member, "a b#c");
  EXPECT_EQ(ResolveMountPath("/m/n", "/s/a.txt", true, nothingOnDisk).kind,
            NodeKind::kMissing);
}

TEST(MountTable, FindsAQuendrixMountByItsEscapedPath) {
  const std::string table =
      "proc /proc proc rw 0 0\n"
      "quendrix /home/me/a\\040b\\134c fuse.quendrix ro,nosuid 0 0\n"
      "other /mnt/x fuse.sshfs rw 0 0\n";
  EXPECT_TRUE(HasMount(table, "/home/me/a b\\c", kMountType));
  EXPECT_FALSE(HasMount(table, "/mnt/x", kMountType));
  EXPECT_FALSE(HasMount(table, "/proc", kMountType));
  EXPECT_FALSE(HasMount(table, "/home/me/a", kMountType));
  EXPECT_FALSE(HasMount("", "/", kMountType));
}

// A maker that writes the member's name, counts its runs and, for members
// whose name says so, waits for a go, fails (until mended), or runs until
// stopped.
class FakeMaker {
 public:
  MakeOutcome Make(const std::string&, const std::string& member,
                   const std::string& destination,
                   const std::function<bool()>& stop) {
    ++runs;
    if (member.rfind("slow", 0) == 0) {
      while (!go && !stop()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (member.rfind("endless", 0) == 0) {
      while (!stop()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (stop()) {
      stopped = true;
      return {MakeOutcome::Kind::kCancelled, {}};
    }
    if (member.rfind("bad", 0) == 0 && !mended) {
      return {MakeOutcome::Kind::kFailed, "exit status 3\n  input is damaged"};
    }
    WriteFile(destination, member + " " + std::to_string(runs.load()));
    return {MakeOutcome::Kind::kMade, {}};
  }

  std::atomic<int> runs{0};
  std::atomic<bool> go{false};
  std::atomic<bool> stopped{false};
  std::atomic<bool> mended{false};
};

class MemberCacheTest : public ::testing::Test {
 protected:
  MemberCacheTest()
      : folder_((parent_.path() / "cache").string()),
        cache_((fs::create_directory(folder_), folder_),
               [this](const std::string& source, const std::string& member,
                      const std::string& destination,
                      const std::function<bool()>& stop) {
                 return maker_.Make(source, member, destination, stop);
               }) {}

  static std::string Content(const ObtainedMember& obtained) {
    if (obtained.descriptor < 0) return "(error " + std::to_string(obtained.error) + ")";
    std::string text(256, '\0');
    const ssize_t length = pread(obtained.descriptor, text.data(), text.size(), 0);
    close(obtained.descriptor);
    text.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    return text;
  }

  ObtainedMember Obtain(const std::string& member, const Validity& validity,
                        const std::function<bool()>& interrupted = [] { return false; }) {
    return cache_.Obtain("/s/a.txt", member, validity, interrupted);
  }

  static Validity ValidityNumber(int n) {
    Validity validity;
    validity.source.inode = 7;
    validity.source.size = n;
    return validity;
  }

  TempDir parent_;
  std::string folder_;
  FakeMaker maker_;
  MemberCache cache_;
};

TEST_F(MemberCacheTest, OpenersAtOnceShareOneMake) {
  const Validity validity = ValidityNumber(1);
  std::vector<std::future<std::string>> openers;
  for (int i = 0; i < 8; ++i) {
    openers.push_back(std::async(std::launch::async, [&] {
      return Content(Obtain("slow.txt", validity));
    }));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  maker_.go = true;
  for (auto& opener : openers) EXPECT_EQ(opener.get(), "slow.txt 1");
  EXPECT_EQ(maker_.runs, 1);
  EXPECT_EQ(cache_.MadeSize("/s/a.txt", "slow.txt", validity), 10);
  EXPECT_EQ(Content(Obtain("slow.txt", validity)), "slow.txt 1");
  EXPECT_EQ(maker_.runs, 1);
}

TEST_F(MemberCacheTest, AChangedSourceOrRulesMakeTheMemberAgain) {
  EXPECT_FALSE(cache_.MadeSize("/s/a.txt", "m", ValidityNumber(1)));
  EXPECT_EQ(Content(Obtain("m", ValidityNumber(1))), "m 1");
  Validity rulesChanged = ValidityNumber(1);
  rulesChanged.rules = {FileKey{}};
  EXPECT_FALSE(cache_.MadeSize("/s/a.txt", "m", rulesChanged));
  EXPECT_EQ(Content(Obtain("m", rulesChanged)), "m 2");
  EXPECT_EQ(Content(Obtain("m", ValidityNumber(2))), "m 3");
  EXPECT_EQ(Content(Obtain("m", ValidityNumber(2))), "m 3");
  EXPECT_EQ(maker_.runs, 3);
  // Only the newest made member stays in the cache folder.
  std::size_t kept = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
    kept += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(kept, 1u);
}

TEST_F(MemberCacheTest, AFailedMakeGivesEioWithItsReasonAndIsTriedAgain) {
  const ObtainedMember first = Obtain("bad", ValidityNumber(1));
  EXPECT_EQ(first.error, EIO);
  EXPECT_EQ(first.descriptor, -1);
  EXPECT_EQ(first.reason, "exit status 3\n  input is damaged");
  EXPECT_FALSE(cache_.MadeSize("/s/a.txt", "bad", ValidityNumber(1)));
  EXPECT_EQ(Obtain("bad", ValidityNumber(1)).error, EIO);
  EXPECT_EQ(maker_.runs, 2);
}

TEST_F(MemberCacheTest, AFailedMakeKeepsItsReasonUntilTheMemberIsMade) {
  const auto reason = [this](const std::string& member, int validity) {
    return cache_.FailureReason("/s/a.txt", member, ValidityNumber(validity));
  };
  EXPECT_FALSE(reason("bad", 1)) << "a member never tried has no reason";
  EXPECT_EQ(Obtain("bad", ValidityNumber(1)).error, EIO);
  EXPECT_EQ(reason("bad", 1), "exit status 3\n  input is damaged");
  // The reason was for the file and the rules as they were.
  EXPECT_FALSE(reason("bad", 2));
  EXPECT_EQ(Content(Obtain("m", ValidityNumber(1))), "m 2");
  EXPECT_FALSE(reason("m", 1)) << "a made member has no reason";
  maker_.mended = true;
  EXPECT_EQ(Content(Obtain("bad", ValidityNumber(1))), "bad 3");
  EXPECT_FALSE(reason("bad", 1)) << "the reason outlived a make that succeeded";
  // A failure after a make is told again, for the validity it failed for.
  maker_.mended = false;
  EXPECT_EQ(Obtain("bad", ValidityNumber(2)).error, EIO);
  EXPECT_EQ(reason("bad", 2), "exit status 3\n  input is damaged");
  EXPECT_FALSE(reason("bad", 1));
}

TEST_F(MemberCacheTest, AnInterruptedOpenerLeavesTheMakeToTheOthers) {
  std::atomic<bool> firstInterrupted{false};
  auto first = std::async(std::launch::async, [&] {
    return Obtain("slow", ValidityNumber(1), [&] { return firstInterrupted.load(); });
  });
  auto second = std::async(std::launch::async, [&] { return Content(Obtain("slow", ValidityNumber(1))); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  firstInterrupted = true;
  EXPECT_EQ(first.get().error, EINTR);
  EXPECT_FALSE(maker_.stopped);
  maker_.go = true;
  EXPECT_EQ(second.get(), "slow 1");
  EXPECT_EQ(maker_.runs, 1);
}

TEST_F(MemberCacheTest, TheLastInterruptedOpenerStopsTheMakeAndWaitsForIt) {
  std::atomic<bool> interrupted{false};
  auto opener = std::async(std::launch::async, [&] {
    return Obtain("endless", ValidityNumber(1), [&] { return interrupted.load(); });
  });
  while (maker_.runs == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  interrupted = true;
  EXPECT_EQ(opener.get().error, EINTR);
  EXPECT_TRUE(maker_.stopped) << "answered before the make was stopped";
  // A new opener starts a make of its own rather than wait for the stopped one.
  maker_.go = true;
  EXPECT_EQ(Content(Obtain("slow", ValidityNumber(1))), "slow 2");
}

TEST_F(MemberCacheTest, ShutdownStopsTheMakesAndRemovesTheFolder) {
  EXPECT_EQ(Content(Obtain("m", ValidityNumber(1))), "m 1");
  auto opener = std::async(std::launch::async, [&] { return Obtain("endless", ValidityNumber(1)); });
  while (maker_.runs < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  cache_.Shutdown();
  EXPECT_EQ(opener.get().error, EINTR);
  EXPECT_TRUE(maker_.stopped);
  EXPECT_FALSE(fs::exists(folder_));
  EXPECT_EQ(Obtain("m", ValidityNumber(1)).error, EIO);
}

}  // namespace
}  // namespace quendrix::host::mount
