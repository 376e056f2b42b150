// The parts of the mount that need no FUSE: which names a folder can hold,
// the folders that members' names make, where a path below the mount point
// leads, the table of mounts, the cache of listings that lists each file
// once for all its requests, and the member cache that makes each member
// once for all its openers. The cache tests run several threads and are
// part of the ThreadSanitizer build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "mount/member_makes.h"
#include "mount/member_tree.h"
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

TEST(MountNames, AMemberNameIsAPathOfPartsAFolderHolds) {
  struct Case {
    std::string name;
    const char* why;  // a word of the reason; empty when the name is taken
  };
  const std::vector<Case> cases = {
      {"a.txt", ""},
      {"docs/sub/note.txt", ""},
      {"x#/y#", ""},
      {"... /.a/ b", ""},
      {std::string(255, 'a') + "/" + std::string(255, 'b'), ""},
      {"", "empty"},
      {"/etc/passwd", "empty part"},
      {"trailing/", "empty part"},
      {"a//b", "empty part"},
      {"./a", "\".\""},
      {"a/../b", "\"..\""},
      {"a/..", "\"..\""},
      {"a/" + std::string(256, 'c'), "256 bytes"},
      {std::string("nul\0/b", 6), "NUL"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> obstacle = MemberNameObstacle(c.name);
    if (*c.why == '\0') {
      EXPECT_FALSE(obstacle) << c.name << ": " << *obstacle;
    } else {
      ASSERT_TRUE(obstacle) << c.name;
      EXPECT_NE(obstacle->find(c.why), std::string::npos) << c.name << ": " << *obstacle;
    }
  }
}

std::vector<MemberHeader> Headers(const std::vector<std::string>& names) {
  std::vector<MemberHeader> headers;
  for (const std::string& name : names) headers.push_back(MemberHeader{name, 1, 1, 0});
  return headers;
}

// The entries of a tree's folder as "name" for members and "name/" for
// folders, in their order.
std::vector<std::string> EntriesOf(const MemberTree& tree, std::string_view folder) {
  const std::optional<MemberTree::Ref> ref = tree.Find(folder);
  if (!ref || ref->kind != MemberTree::Ref::Kind::kFolder) return {"(no folder)"};
  std::vector<std::string> names;
  for (const MemberTree::Ref entry : tree.EntriesOf(ref->index)) {
    names.emplace_back(tree.EntryName(entry));
    if (entry.kind == MemberTree::Ref::Kind::kFolder) names.back() += '/';
  }
  return names;
}

TEST(MemberTree, NamesWithSlashesAreFoldersInTheOrderTheListNamedThem) {
  std::vector<std::string> warnings;
  MemberTree tree = MemberTree::Build(
      Headers({"top.txt", "docs/sub/note.txt", "docs/a.txt", "b/x", "docs/sub/c.txt"}), warnings);
  EXPECT_TRUE(warnings.empty());
  using V = std::vector<std::string>;
  EXPECT_EQ(EntriesOf(tree, ""), (V{"top.txt", "docs/", "b/"}));
  EXPECT_EQ(EntriesOf(tree, "docs"), (V{"sub/", "a.txt"}));
  EXPECT_EQ(EntriesOf(tree, "docs/sub"), (V{"note.txt", "c.txt"}));
  EXPECT_EQ(EntriesOf(tree, "b"), (V{"x"}));
  const std::optional<MemberTree::Ref> note = tree.Find("docs/sub/note.txt");
  ASSERT_TRUE(note);
  ASSERT_EQ(note->kind, MemberTree::Ref::Kind::kMember);
  EXPECT_EQ(tree.MemberAt(note->index).name, "docs/sub/note.txt");
  EXPECT_EQ(tree.MemberCount(), 5u);
  for (const char* nothing : {"docs/none", "doc", "docs/sub/note.txt/x", "/docs", "docs/"}) {
    EXPECT_FALSE(tree.Find(nothing)) << nothing;
  }
  // The names stay valid when the tree moves, as it does into the cache.
  MemberTree moved = std::move(tree);
  EXPECT_EQ(EntriesOf(moved, "docs/sub"), (V{"note.txt", "c.txt"}));
}

TEST(MemberTree, TheFirstOfAMemberAndAFolderOfTheSameNameWins) {
  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> top;  // the entries of the top folder
    const char* why;               // a word of the one warning
  };
  const std::vector<Case> cases = {
      {{"a", "a/b"}, {"a"}, "\"a\" is a member"},
      {{"a/b", "a"}, {"a/"}, "folder of earlier members"},
      {{"a/b", "a/b/c"}, {"a/"}, "\"a/b\" is a member"},
      {{"a", "a"}, {"a"}, "an earlier member has that name"},
      {{"d/x", "d//y", "d/x"}, {"d/"}, "empty part"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> warnings;
    const MemberTree tree = MemberTree::Build(Headers(c.names), warnings);
    EXPECT_EQ(EntriesOf(tree, ""), c.top) << c.names.back();
    ASSERT_GE(warnings.size(), 1u) << c.names.back();
    EXPECT_NE(warnings[0].find(c.why), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("left out of the mount"), std::string::npos) << warnings[0];
  }
}

TEST(MemberTree, ListedSizesAndTimesAreKeptAndTheNominalSizeIsNone) {
  std::vector<std::string> warnings;
  const std::int64_t big = std::int64_t{5} << 30;
  const MemberTree tree = MemberTree::Build(
      {MemberHeader{"numbered", 1, 1, 1000}, MemberHeader{"empty", 0, 0, 2000},
       MemberHeader{"f/big", big, big, 3000}},
      warnings);
  ASSERT_EQ(tree.MemberCount(), 3u);
  EXPECT_FALSE(tree.MemberAt(0).listedSize);
  EXPECT_EQ(tree.MemberAt(0).fileTime, 1000);
  EXPECT_EQ(tree.MemberAt(1).listedSize, 0);
  EXPECT_EQ(tree.MemberAt(2).listedSize, big);
  EXPECT_EQ(tree.MemberAt(2).fileTime, 3000);
}

TEST(MemberTree, ManyNamesLeftOutAreToldInAFewWarnings) {
  std::vector<std::string> names(MemberTree::kWarningsTold + 30, "../x");
  names.push_back("kept");
  std::vector<std::string> warnings;
  const MemberTree tree = MemberTree::Build(Headers(names), warnings);
  EXPECT_EQ(tree.MemberCount(), 1u);
  ASSERT_EQ(warnings.size(), MemberTree::kWarningsTold + 1);
  EXPECT_EQ(warnings.back(), "30 more members left out of the mount, for the same reasons");
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
      {"/a.txt#/a.sorted.txt", NodeKind::kMemberEntry, "/s/a.txt", "a.sorted.txt"},
      {"/a.txt#/x#", NodeKind::kMemberEntry, "/s/a.txt", "x#"},
      // Below a member folder every part is the members' own: folders of
      // members, and member folders' marks that mean nothing there.
      {"/a.txt#/docs/sub/note.txt", NodeKind::kMemberEntry, "/s/a.txt", "docs/sub/note.txt"},
      {"/a.txt#/c.txt#/x", NodeKind::kMemberEntry, "/s/a.txt", "c.txt#/x"},
      {"/sub/b.txt#", NodeKind::kMemberFolder, "/s/sub/b.txt", ""},
      {"/sub/b.txt#/m", NodeKind::kMemberEntry, "/s/sub/b.txt", "m"},
      {"/sub/b.txt#/m/n", NodeKind::kMemberEntry, "/s/sub/b.txt", "m/n"},
      // A real entry of the name wins over the member folder.
      {"/c.txt#", NodeKind::kMirror, "/s/c.txt#", ""},
      {"/c.txt#/x", NodeKind::kMirror, "/s/c.txt#/x", ""},
      {"/c.txt#/y", NodeKind::kMissing, "", ""},
      {"/c.txt#/y/z", NodeKind::kMissing, "", ""},
      // Only a regular file has members; nothing lies below a member.
      {"/d.txt#", NodeKind::kMissing, "", ""},
      {"/sub#", NodeKind::kMissing, "", ""},
      {"/fifo#", NodeKind::kMissing, "", ""},
      {"/none.txt#", NodeKind::kMissing, "", ""},
      {"/none/a.txt#/m", NodeKind::kMissing, "", ""},
      {"/a.txt/x#/m", NodeKind::kMissing, "", ""},
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
  EXPECT_EQ(node.kind, NodeKind::kMemberEntry);
  EXPECT_EQ(node.member, "a b#c");
  node = ResolveMountPath("/m/n#/o", "/s/a.txt", true, nothingOnDisk);
  EXPECT_EQ(node.kind, NodeKind::kMemberEntry);
  EXPECT_EQ(node.member, "m/n#/o");
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

// A lister whose files "bad*" fail, "none*" are refused and all others have
// the members "d/a" and "d/b"; it counts its runs, and waits for a go while
// `hold` is set.
class FakeLister {
 public:
  ListOutcome List(const std::string& source, std::vector<std::string>& warnings) {
    ++runs;
    while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::string name = fs::path(source).filename().string();
    if (name.rfind("bad", 0) == 0 && !mended) {
      return {ListState::kFailed, "list: its program ended with exit status 9", {}};
    }
    if (name.rfind("none", 0) == 0) return {ListState::kRefused, {}, {}};
    warnings.push_back("1 listed name was skipped");
    return {ListState::kListed, {}, {MemberHeader{"d/a", 3, 3, 0}, MemberHeader{"d/b", 1, 1, 0}}};
  }

  std::atomic<int> runs{0};
  std::atomic<bool> hold{false};
  std::atomic<bool> mended{false};
};

class FileListingsTest : public ::testing::Test {
 protected:
  FileListingsTest()
      : cache_([this](const std::string& source, std::vector<std::string>& warnings) {
                 return lister_.List(source, warnings);
               },
               [this](const std::string& line) {
                 const std::lock_guard lock(logMutex_);
                 log_.push_back(line);
               }) {}

  static Validity ValidityNumber(int n) {
    Validity validity;
    validity.source.size = n;
    return validity;
  }

  std::vector<std::string> Log() {
    const std::lock_guard lock(logMutex_);
    return log_;
  }

  FakeLister lister_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
  FileListings cache_;
};

TEST_F(FileListingsTest, RequestsAtOnceShareOneListingAndItIsKept) {
  lister_.hold = true;
  std::vector<std::future<std::shared_ptr<const FileMembers>>> requests;
  for (int i = 0; i < 8; ++i) {
    requests.push_back(std::async(std::launch::async, [&] {
      return cache_.Members("/s/a.zip", ValidityNumber(1));
    }));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  lister_.hold = false;
  for (auto& request : requests) {
    const std::shared_ptr<const FileMembers> members = request.get();
    ASSERT_TRUE(members);
    EXPECT_EQ(members->state, ListState::kListed);
    EXPECT_EQ(members->tree.MemberCount(), 2u);
  }
  EXPECT_EQ(lister_.runs, 1);
  EXPECT_EQ(cache_.Members("/s/a.zip", ValidityNumber(1))->tree.MemberCount(), 2u);
  EXPECT_EQ(lister_.runs, 1);
  // The warning of the listing is told once, with its file.
  EXPECT_EQ(Log(), (std::vector<std::string>{"warning: /s/a.zip: 1 listed name was skipped"}));
  // A changed file, or another file, is listed anew.
  cache_.Members("/s/a.zip", ValidityNumber(2));
  cache_.Members("/s/b.zip", ValidityNumber(1));
  EXPECT_EQ(lister_.runs, 3);
}

TEST_F(FileListingsTest, AFailedListingIsToldAndTriedAgainAndItsReasonKept) {
  const auto members = [this] { return cache_.Members("/s/bad.zip", ValidityNumber(1)); };
  EXPECT_FALSE(cache_.FailureReason("/s/bad.zip", ValidityNumber(1))) << "never listed";
  EXPECT_EQ(members()->state, ListState::kFailed);
  EXPECT_EQ(members()->reason, "list: its program ended with exit status 9");
  EXPECT_EQ(lister_.runs, 2) << "a failed listing was kept";
  EXPECT_EQ(Log().size(), 2u);
  EXPECT_EQ(Log()[0], "/s/bad.zip: its members cannot be listed: list: its program ended with exit status 9");
  EXPECT_EQ(cache_.FailureReason("/s/bad.zip", ValidityNumber(1)),
            "list: its program ended with exit status 9");
  EXPECT_FALSE(cache_.FailureReason("/s/bad.zip", ValidityNumber(2))) << "for the file as it was";
  lister_.mended = true;
  EXPECT_EQ(members()->state, ListState::kListed);
  EXPECT_FALSE(cache_.FailureReason("/s/bad.zip", ValidityNumber(1))) << "outlived a listing";
  // A file the rules do not serve is kept as such.
  EXPECT_EQ(cache_.Members("/s/none.txt", ValidityNumber(1))->state, ListState::kRefused);
  EXPECT_EQ(cache_.Members("/s/none.txt", ValidityNumber(1))->state, ListState::kRefused);
  EXPECT_EQ(lister_.runs, 4);
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

class MemberMakesTest : public ::testing::Test {
 protected:
  MemberMakesTest()
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
    validity.source.identity = 7;
    validity.source.size = n;
    return validity;
  }

  TempDir parent_;
  std::string folder_;
  FakeMaker maker_;
  MemberMakes cache_;
};

TEST_F(MemberMakesTest, OpenersAtOnceShareOneMake) {
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

TEST_F(MemberMakesTest, AChangedSourceOrRulesMakeTheMemberAgain) {
  EXPECT_FALSE(cache_.MadeSize("/s/a.txt", "m", ValidityNumber(1)));
  EXPECT_EQ(Content(Obtain("m", ValidityNumber(1))), "m 1");
  Validity rulesChanged = ValidityNumber(1);
  rulesChanged.rules = {platform::FileState{}};
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

TEST_F(MemberMakesTest, AFailedMakeGivesEioWithItsReasonAndIsTriedAgain) {
  const ObtainedMember first = Obtain("bad", ValidityNumber(1));
  EXPECT_EQ(first.error, EIO);
  EXPECT_EQ(first.descriptor, -1);
  EXPECT_EQ(first.reason, "exit status 3\n  input is damaged");
  EXPECT_FALSE(cache_.MadeSize("/s/a.txt", "bad", ValidityNumber(1)));
  EXPECT_EQ(Obtain("bad", ValidityNumber(1)).error, EIO);
  EXPECT_EQ(maker_.runs, 2);
}

TEST_F(MemberMakesTest, AFailedMakeKeepsItsReasonUntilTheMemberIsMade) {
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

TEST_F(MemberMakesTest, AnInterruptedOpenerLeavesTheMakeToTheOthers) {
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

TEST_F(MemberMakesTest, TheLastInterruptedOpenerStopsTheMakeAndWaitsForIt) {
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

TEST_F(MemberMakesTest, AMemberInFoldersIsMadeUnderItsOwnFileNameOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"docs/sub/note.txt", "note.txt"},
      {"../../escape", "escape"},
      {"folder/", "member"},
      {"..", "member"},
  };
  for (const auto& [member, file] : cases) {
    EXPECT_EQ(Content(Obtain(member, ValidityNumber(1))).rfind(member, 0), 0u) << member;
  }
  std::set<std::string> made;
  for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
    if (!entry.is_regular_file()) continue;
    made.insert(entry.path().filename().string());
    // Every made member lies one folder deep in the cache folder.
    EXPECT_EQ(entry.path().parent_path().parent_path(), fs::path(folder_)) << entry.path();
  }
  EXPECT_EQ(made, (std::set<std::string>{"note.txt", "escape", "member"}));
}

TEST_F(MemberMakesTest, ShutdownStopsTheMakesAndRemovesTheFolder) {
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
