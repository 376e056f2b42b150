// quendrix cache, and what explain says of the cache, driven as a user
// drives them, with the user's cache in a folder of the test's own: the
// members the plug-in kept are counted, found by explain, cleared for one
// file as the user names it or for all, and the cap is set, trimmed to,
// and taken back; a folder that cannot be used is told and never touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/host_fixture.h"
#include "support/helper_record.h"
#include "support/scoped_environment.h"
#include "support/windows_build.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

// The variable that places the user's cache on this system.
constexpr const char* kCacheHomeVariable = kWindows ? "LOCALAPPDATA" : "XDG_CACHE_HOME";

// The current folder, changed for one scope: the host makes a FILE the
// user typed absolute from it.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~ScopedCurrentFolder() { fs::current_path(previous_); }
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  fs::path previous_;
};

// Two files of a section with Cache=1 whose two members copy the file, and
// whose program counts its runs.
class HostCacheTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    runs_ = work_.file("runs");
    const std::string copy = HelperCommandLine({"--count", runs_, "--copy", "filein", "fileout"});
    WriteRules("[src]\ncommand1=" + copy + "\nfileout1=[N].one\ncommand2=" + copy +
               "\nfileout2=[N].two\nCache=1\n");
    first_ = Archive("first.src", "the first file's bytes\n");
    second_ = Archive("second.src", "the second\n");
  }

  fs::path Folder() const {
    return cacheHome_.path() / "quendrix" / (kWindows ? "cache" : "members");
  }
  std::size_t KeptEntries() const {
    std::size_t entries = 0;
    std::error_code error;
    for (const auto& file : fs::directory_iterator(Folder(), error)) {
      entries += file.path().extension() == ".entry";
    }
    return entries;
  }
  std::size_t Runs() const { return ReadFile(runs_).size(); }
  void ExtractAll(const std::string& archive) const {
    const HostRun run = Run({"extract", archive, "-C", out_.str(), "--overwrite"});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
  }

  TempDir cacheHome_;
  const ScopedEnvironmentValue cacheVariable_{kCacheHomeVariable, cacheHome_.str()};
  std::string runs_;
  std::string first_;
  std::string second_;
};

TEST_F(HostCacheTest, ShowsTheCacheAndExplainFindsWhatThePluginKept) {
  const HostRun empty = Run({"cache"});
  EXPECT_EQ(empty.code, 0) << empty.err;
  EXPECT_TRUE(Contains(empty.out, "(not made yet: nothing was kept so far)\nentries     0\n"))
      << empty.out;
  EXPECT_TRUE(Contains(empty.out, "the default: the smaller of 2 GiB")) << empty.out;
  EXPECT_FALSE(fs::exists(Folder())) << "showing the cache made its folder";
  const HostRun unmade = Run({"explain", first_});
  EXPECT_TRUE(Contains(unmade.out, "Cache=1 (on)\ncache       made members are kept in ")) << unmade.out;
  EXPECT_TRUE(Contains(unmade.out, "  cached    no\n")) << unmade.out;

  ExtractAll(first_);
  ExtractAll(second_);
  ASSERT_EQ(Runs(), 4u);
  const HostRun shown = Run({"cache"});
  EXPECT_EQ(shown.code, 0) << shown.err;
  EXPECT_TRUE(Contains(shown.out, "folder      " + Folder().string())) << shown.out;
  EXPECT_TRUE(Contains(shown.out, "entries     4, ")) << shown.out;
  // The key explain computes is the plug-in's: both members are found,
  // with their size.
  const HostRun explained = Run({"explain", first_});
  const std::string kept = "  cached    yes, " +
                           std::to_string(std::string("the first file's bytes\n").size()) +
                           " bytes\n";
  std::size_t found = 0;
  for (std::size_t at = explained.out.find(kept); at != std::string::npos;
       at = explained.out.find(kept, at + 1)) {
    ++found;
  }
  EXPECT_EQ(found, 2u) << explained.out;
  // The extraction found them kept and ran nothing.
  ExtractAll(first_);
  EXPECT_EQ(Runs(), 4u);
}

// Until a member is made its size is the nominal 1; once it is kept, list
// and mc list tell its real size, so that mc's viewer, which reads as many
// bytes as the listing says, shows the whole member after its first copy.
// (Midnight Commander's verbs are the POSIX build's; on Windows the member
// is extracted instead.)
TEST_F(HostCacheTest, ListingsTellAKeptMembersRealSize) {
  const std::string size = std::to_string(std::string("the first file's bytes\n").size());
  const auto mcList = [&] { return kWindows ? std::string() : Run({"mc", "list", first_}).out; };
  const std::string before = Run({"list", first_}).out + mcList();
  EXPECT_FALSE(Contains(before, " " + size + " ")) << before;

  const HostRun copied =
      kWindows ? Run({"extract", first_, "first.one", "-C", out_.str()})
               : Run({"mc", "copyout", first_, "first.one", out_.file("viewed")});
  ASSERT_EQ(copied.code, 0) << copied.err;
  const HostRun list = Run({"list", first_});
  EXPECT_TRUE(Contains(list.out, "       " + size + "  ")) << list.out;
  EXPECT_TRUE(Contains(list.out, "        1  ")) << "first.two is not made yet\n" << list.out;
  if (!kWindows) {
    EXPECT_TRUE(Contains(mcList(), " " + size + " "));
  }
  EXPECT_EQ(Runs(), 1u) << "listing ran nothing";
}

TEST_F(HostCacheTest, ClearRemovesOneFilesEntriesByThePathTypedOrAll) {
  ExtractAll(first_);
  ExtractAll(second_);
  ASSERT_EQ(KeptEntries(), 4u);
  {
    // As the user types it, from the file's folder.
    const ScopedCurrentFolder here(work_.path());
    const HostRun cleared = Run({"cache", "clear", "first.src"});
    EXPECT_EQ(cleared.code, 0) << cleared.err;
    EXPECT_TRUE(Contains(cleared.out, "removed 2 entries of " + first_)) << cleared.out;
  }
  EXPECT_EQ(KeptEntries(), 2u);
  EXPECT_TRUE(Contains(Run({"explain", first_}).out, "  cached    no\n"));
  EXPECT_TRUE(Contains(Run({"explain", second_}).out, "  cached    yes"));
  // A file that is gone still has its entries found by its path.
  fs::remove(second_);
  const HostRun gone = Run({"cache", "clear", second_});
  EXPECT_TRUE(Contains(gone.out, "removed 2 entries of " + second_)) << gone.out;
  EXPECT_EQ(KeptEntries(), 0u);
  ExtractAll(first_);
  const HostRun all = Run({"cache", "clear"});
  EXPECT_EQ(all.code, 0) << all.err;
  EXPECT_TRUE(Contains(all.out, "removed 2 entries from " + Folder().string())) << all.out;
  EXPECT_EQ(KeptEntries(), 0u);
  EXPECT_EQ(Run({"cache", "clear", ""}).code, 2);
}

TEST_F(HostCacheTest, LimitSetsTheCapTrimsToItAndGoesBackToTheDefault) {
  ExtractAll(first_);
  const fs::path limit = Folder() / "limit.txt";
  const HostRun set = Run({"cache", "limit", "500M"});
  EXPECT_EQ(set.code, 0) << set.err;
  EXPECT_EQ(ReadFile(limit), "500M\n");
  EXPECT_TRUE(Contains(Run({"cache"}).out, "cap         500 MiB, set in " + limit.string()));
  EXPECT_EQ(KeptEntries(), 2u);

  // Sizes that are none change nothing.
  for (const char* bad : {"12X", "-5", "1.5G", "500 MB", "99999999999T", "", "K"}) {
    const HostRun refused = Run({"cache", "limit", bad});
    EXPECT_EQ(refused.code, 2) << bad;
    EXPECT_TRUE(Contains(refused.err, "is no size")) << bad << ": " << refused.err;
    EXPECT_EQ(ReadFile(limit), "500M\n") << bad;
  }

  // Smaller than any entry: the cache is trimmed at once.
  const HostRun tiny = Run({"cache", "limit", "1"});
  EXPECT_TRUE(Contains(tiny.out, "cap         1 byte, set in")) << tiny.out;
  EXPECT_TRUE(Contains(tiny.out, "entries     0 (2 went, the least recently used first)"))
      << tiny.out;
  EXPECT_EQ(KeptEntries(), 0u);

  const HostRun back = Run({"cache", "limit", "default"});
  EXPECT_EQ(back.code, 0) << back.err;
  EXPECT_FALSE(fs::exists(limit));
  EXPECT_TRUE(Contains(back.out, "the default: the smaller of 2 GiB")) << back.out;

  // A limit file that holds no size is pointed out.
  WriteFile(limit, "lots\n");
  const HostRun broken = Run({"cache"});
  EXPECT_EQ(broken.code, 1);
  EXPECT_TRUE(Contains(broken.err, limit.string() + " holds \"lots\", which is no size"))
      << broken.err;
}

TEST_F(HostCacheTest, WithoutAPlaceForTheCacheItSaysSo) {
  const ScopedEnvironmentValue noCacheHome(kCacheHomeVariable, std::nullopt);
  const ScopedEnvironmentValue noHome("HOME", std::nullopt);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"cache"}, {"cache", "clear"}, {"cache", "limit", "1G"}}) {
    const HostRun run = Run(args);
    EXPECT_EQ(run.code, 1) << args.size();
    EXPECT_TRUE(Contains(run.err, "there is no cache folder")) << run.err;
  }
  const HostRun explained = Run({"explain", first_});
  EXPECT_TRUE(Contains(explained.out, "cache       none: there is no cache folder"))
      << explained.out;
}

// A link in place of the cache folder is refused: nothing behind it is
// read, counted or removed, and explain says that members are made every
// time.
TEST_F(HostCacheTest, ALinkInPlaceOfTheFolderIsRefusedAndNothingBehindItGoes) {
  if (kWindows) GTEST_SKIP() << "a link in place of a folder is the Linux build's case";
  const fs::path elsewhere = work_.path() / "elsewhere";
  fs::create_directories(elsewhere);
  WriteFile(elsewhere / "0123456789abcdef0123456789abcdef.entry", "not the cache's\n");
  fs::create_directories(Folder().parent_path());
  fs::create_directory_symlink(elsewhere, Folder());
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"cache"}, {"cache", "clear"}, {"cache", "limit", "1"}}) {
    const HostRun run = Run(args);
    EXPECT_EQ(run.code, 1) << args.size();
    EXPECT_TRUE(Contains(run.err, "cannot be used: a link stands in its place")) << run.err;
  }
  EXPECT_TRUE(fs::exists(elsewhere / "0123456789abcdef0123456789abcdef.entry"));
  EXPECT_FALSE(fs::exists(elsewhere / "limit.txt"));
  const HostRun explained = Run({"explain", first_});
  EXPECT_TRUE(Contains(explained.out, "cannot be used (a link stands in its place), so every "
                                      "extraction runs its program"))
      << explained.out;
}

// Listed members are keyed by their extract= command: explain finds them
// with --run-list, and says so without it.
TEST_F(HostCacheTest, ExplainTellsWhichListedMembersAreKeptWithRunList) {
  WriteFile(work_.path() / "names.txt", "a.txt\nb.txt\n");
  fs::create_directories(work_.path() / "source");
  WriteFile(work_.path() / "source" / "a.txt", "aaa");
  WriteFile(work_.path() / "source" / "b.txt", "bb");
  const std::string separator(1, platform::kPathSeparator);
  WriteRules("[box]\nlist=" + HelperCommandLine({"--stdout-file", work_.file("names.txt")}) +
             "\nextract=" + HelperCommandLine({"--count", runs_, "--copy"}) + " \"" +
             work_.file("source") + separator + "[M]\" \"fileout\"\nCache=1\n");
  const std::string box = Archive("stuff.box", "x");
  const HostRun made = Run({"extract", box, "a.txt", "-C", out_.str()});
  ASSERT_EQ(made.code, 0) << made.out << made.err;
  const HostRun plain = Run({"explain", box});
  EXPECT_TRUE(Contains(plain.out, "  cached    which listed members are kept shows with --run-list"))
      << plain.out;
  const HostRun ran = Run({"explain", "--run-list", box});
  EXPECT_TRUE(Contains(ran.out, "  a.txt\tcached: yes, 3 bytes\n")) << ran.out;
  EXPECT_TRUE(Contains(ran.out, "  b.txt\tcached: no\n")) << ran.out;
  EXPECT_EQ(Runs(), 1u);
}

}  // namespace
}  // namespace quendrix::testing
