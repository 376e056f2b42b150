// quendrix mc, the Midnight Commander extfs helper, against the real
// plug-in: the listing must be read back by mc as exactly the member names,
// with the members' time stamps, and copyout must make exactly the member
// asked for at exactly the path mc names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "host/host_fixture.h"
#include "support/scoped_environment.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

// 2001-02-03 04:05:06 UTC.
constexpr std::int64_t kArchiveTime = 981173106;

// The listing line of a member of size 1, owned by the user running the
// tests, as mc's ls -l reader takes it.
std::string McLine(const std::string& name,
                   std::string_view dateTime = "02-03-2001 04:05:06") {
  char ids[64];
  std::snprintf(ids, sizeof ids, "%-8u %-8u", static_cast<unsigned>(getuid()),
                static_cast<unsigned>(getgid()));
  return "-rw-r--r--    1 " + std::string(ids) + "        1 " +
         std::string(dateTime) + " ./" + name + "\n";
}

// The process's time zone, set for one scope.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const std::string& zone) {
    variable_.emplace("TZ", zone);
    tzset();
  }
  ~ScopedTimeZone() {
    variable_.reset();
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<ScopedEnvironmentValue> variable_;
};

class McTest : public HostTest {
 protected:
  // An archive called `name` whose time stamp is kArchiveTime.
  std::string StampedArchive(std::string_view name) const {
    const std::string archive = Archive(name);
    EXPECT_TRUE(platform::SetFileModifiedUnixSeconds(archive, kArchiveTime));
    return archive;
  }
};

TEST_F(McTest, ListShowsEachNameAsMcReadsItBackAndLeavesOutWhatItCannotCarry) {
  struct Case {
    std::string archive;
    std::string fileout;  // the first member's name template
    std::string listed;   // its name in the listing; empty: left out
    std::string_view warning = "";
  };
  const Case cases[] = {
      {"plain.txt", "[N].sorted", "plain.sorted"},
      {"two  blanks.txt", "[N] b", "two  blanks b"},
      {" leading blank.txt", "[N]", " leading blank"},
      {"trailing blank .txt", "[N]", "trailing blank "},
      {"a.txt", "say \"hi\" it's", "say \"hi\" it's"},
      {"a.txt", "$HOME $(id) `id` $", "$HOME $(id) `id` $"},
      {"a.txt", "-rf", "-rf"},
      {"a.txt", "--help", "--help"},
      {"größe.txt", "[N] ü€😀", "größe ü€😀"},
      {"tab\tin.txt", "[N]", "tab\tin"},
      {"a.txt", "back\\slash -> arrow", "back\\slash -> arrow"},
      {"a.txt", "sub/inner.txt", "sub/inner.txt"},
      {"line\nbreak.txt", "[N]", "", "its name holds a line break"},
      {"return\r.txt", "[N]", "", "ends in a carriage return"},
      {"a.txt", "a//b", "", "empty, \".\" or \"..\" part"},
      {"a.txt", "/absolute", "", "empty, \".\" or \"..\" part"},
      {"a.txt", "folder/", "", "empty, \".\" or \"..\" part"},
      {"a.txt", "./here", "", "empty, \".\" or \"..\" part"},
      {"a.txt", "up/../there", "", "empty, \".\" or \"..\" part"},
  };
  ScopedTimeZone utc("UTC0");
  for (const Case& c : cases) {
    WriteRules("[txt]\ncommand1=c\nfileout1=" + c.fileout +
               "\ncommand2=c\nfileout2=other\n");
    const HostRun run = Run({"mc", "list", StampedArchive(c.archive)});
    const std::string shown = ::testing::PrintToString(c.archive) + " " +
                              ::testing::PrintToString(c.fileout);
    EXPECT_EQ(run.code, 0) << shown << "\n" << run.err;
    if (c.listed.empty()) {
      EXPECT_EQ(run.out, McLine("other")) << shown;
      EXPECT_TRUE(Contains(run.err, "left out of mc's listing: "))
          << shown << "\n" << run.err;
      EXPECT_TRUE(Contains(run.err, c.warning)) << shown << "\n" << run.err;
    } else {
      EXPECT_EQ(run.out, McLine(c.listed) + McLine("other")) << shown;
      EXPECT_EQ(run.err, "") << shown;
    }
  }
}

TEST_F(McTest, ListShowsTheMembersTimeStampInLocalTime) {
  WriteRules("[txt]\ncommand1=c\nfileout1=[N].out\n");
  const std::string archive = Archive("notes.txt");
  struct Case {
    std::string zone;
    std::int64_t stamp;
    std::string_view shown;
  };
  const Case cases[] = {
      {"UTC0", kArchiveTime, "02-03-2001 04:05:06"},
      {"IST-5:30", kArchiveTime, "02-03-2001 09:35:06"},
      {"PST8PDT,M3.2.0,M11.1.0", 1689400000, "07-14-2023 22:46:40"},
      {"UTC0", 4102444799, "12-31-2099 23:59:59"},  // past 2038 as well
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(platform::SetFileModifiedUnixSeconds(archive, c.stamp));
    ScopedTimeZone zone(c.zone);
    const HostRun run = Run({"mc", "list", archive});
    EXPECT_EQ(run.code, 0) << c.zone << run.err;
    EXPECT_EQ(run.out, McLine("notes.out", c.shown)) << c.zone;
  }
}

TEST_F(McTest, ListOfARefusedFileOrABrokenListFails) {
  WriteRules("[txt]\ncommand1=c\nfileout1=x\n");
  const HostRun refused = Run({"mc", "list", Archive("notes.pdf")});
  EXPECT_EQ(refused.code, 2);
  EXPECT_TRUE(Contains(refused.err, "does not support")) << refused.err;
  EXPECT_EQ(refused.out, "");

  const HostRun endless = Run(
      {"--plugin", FakePluginPath(), "mc", "list", Archive("endless.fake")});
  EXPECT_EQ(endless.code, 1);
  EXPECT_TRUE(Contains(endless.err, "did not end")) << endless.err;
}

// Members that write their own number, one that writes nothing, and one
// whose program does not exist.
class McCopyOutTest : public McTest {
 protected:
  void SetUp() override {
    McTest::SetUp();
    std::string rules = "[txt]\n";
    const char* names[] = {"plain", "with blanks and 'quotes'", "-dash",
                           "--help", "größe €", "list"};
    int number = 0;
    for (const char* name : names) {
      ++number;
      rules += "command" + std::to_string(number) +
               "=/bin/sh -c 'echo member " + std::to_string(number) +
               " > \"$1\"' sh fileout\nfileout" + std::to_string(number) +
               "=" + name + "\n";
    }
    rules += "command7=/bin/true fileout\nfileout7=writes nothing\n"
             "command8=" + work_.file("no-such-program") + " fileout\n"
             "fileout8=cannot start\n"
             "command9=/bin/sh -c 'echo partial > \"$1\"; echo \"input is damaged\" >&2; "
             "exit 3' sh fileout\nfileout9=fails\n"
             "command10=/bin/sh -c 'echo x > \"$1\"; printf \"reading\\nthe last disk\\n\" >&2; "
             "exit 9' sh fileout\nfileout10=fails at length\n";
    WriteRules(rules);
    archive_ = Archive("notes.txt");
    // mc names a file in a folder of its own and makes it, empty, before it
    // asks for the member.
    destination_ = (out_.path() / "mc temp dir" / "extfs XY12 member").string();
    fs::create_directories(out_.path() / "mc temp dir");
    WriteFile(destination_, "");
  }

  HostRun CopyOut(const std::string& member) const {
    return Run({"mc", "copyout", archive_, member, destination_});
  }

  std::string archive_;
  std::string destination_;
};

TEST_F(McCopyOutTest, MakesExactlyTheMemberAskedForAtTheDestination) {
  struct Case {
    std::string member;
    std::string content;
  };
  const Case cases[] = {
      {"plain", "member 1\n"},
      {"with blanks and 'quotes'", "member 2\n"},
      {"-dash", "member 3\n"},
      {"--help", "member 4\n"},
      {"größe €", "member 5\n"},
      {"list", "member 6\n"},  // not the host's own command
  };
  for (const Case& c : cases) {
    const HostRun run = CopyOut(c.member);
    EXPECT_EQ(run.code, 0) << c.member << "\n" << run.err;
    EXPECT_EQ(run.err, "") << c.member;
    EXPECT_EQ(ReadFile(destination_), c.content) << c.member;
  }
}

TEST_F(McCopyOutTest, FailsWithAReasonWhenTheMemberIsNotMade) {
  struct Case {
    std::string member;
    std::string reason;
    bool destinationKept;  // mc's empty file is left alone
  };
  const Case cases[] = {
      {"nothing of this name", "there is no member of that name", true},
      {"plai", "there is no member of that name", true},
      {"writes nothing", "wrote no file", false},
      {"cannot start", "could not be started", false},
      {"fails", "its program ended with exit status 3: input is damaged\n", false},
      // A message of several lines follows the first line whole, indented.
      {"fails at length",
       "its program ended with exit status 9: the last disk\n    reading\n    the last disk\n",
       false},
  };
  for (const Case& c : cases) {
    WriteFile(destination_, "");
    const HostRun run = CopyOut(c.member);
    EXPECT_EQ(run.code, 1) << c.member;
    EXPECT_TRUE(Contains(run.err, c.reason)) << c.member << "\n" << run.err;
    EXPECT_EQ(fs::exists(destination_), c.destinationKept) << c.member;
  }

  const HostRun intoFolder =
      Run({"mc", "copyout", archive_, "plain", out_.str()});
  EXPECT_EQ(intoFolder.code, 1);
  EXPECT_TRUE(Contains(intoFolder.err, "it is a directory")) << intoFolder.err;

  const HostRun refused =
      Run({"mc", "copyout", Archive("notes.pdf"), "plain", destination_});
  EXPECT_EQ(refused.code, 2);
  EXPECT_TRUE(Contains(refused.err, "does not support")) << refused.err;
}

TEST_F(McCopyOutTest, VerbsThatWriteAndMalformedRequestsAreRefused) {
  struct Case {
    std::vector<std::string> words;  // after "mc"
    std::string_view message;
  };
  const std::string source = work_.file("source");
  WriteFile(source, "new content");
  const Case cases[] = {
      {{"copyin", archive_, "plain", source}, "is read-only"},
      {{"rm", archive_, "plain"}, "is read-only"},
      {{"mkdir", archive_, "folder"}, "is read-only"},
      {{"rmdir", archive_, "folder"}, "is read-only"},
      {{"run", archive_, "plain"}, "is read-only"},
      {{"mklink", archive_, "a", "b"}, "is read-only"},
      {{}, "a verb is missing"},
      {{"list"}, "1 operand expected, 0 given"},
      {{"list", archive_, "extra"}, "1 operand expected, 2 given"},
      {{"copyout", archive_, "plain"}, "3 operands expected, 2 given"},
      {{"copyout", archive_, "plain", ""}, "a path is empty"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"mc"};
    args.insert(args.end(), c.words.begin(), c.words.end());
    const HostRun run = Run(args);
    const std::string shown = ::testing::PrintToString(c.words);
    EXPECT_EQ(run.code, 2) << shown;
    EXPECT_TRUE(Contains(run.err, c.message)) << shown << "\n" << run.err;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_EQ(ReadFile(archive_), "pear\napple\npear\n") << shown;
    EXPECT_EQ(ReadFile(destination_), "") << shown;
  }
}

}  // namespace
}  // namespace quendrix::testing
