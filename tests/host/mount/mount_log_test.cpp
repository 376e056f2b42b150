// The mount's log file without a mount: where it lies, what an entry looks
// like, and how the file stays bounded while several writers append to it
// at once (threads here, each with a descriptor of its own, which lock one
// another out as processes do). Part of the ThreadSanitizer build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "mount/mount_log_file.h"
#include "support/temp_dir.h"

namespace quendrix::host::mount {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(MountLogPath, IsInTheStateFolderOfTheEnvironment) {
  struct Case {
    std::map<std::string, std::string> environment;
    std::string path;
  };
  const std::vector<Case> cases = {
      {{{"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}}, "/s/quendrix/mount.log"},
      {{{"XDG_STATE_HOME", "/s/"}, {"HOME", "/h"}}, "/s/quendrix/mount.log"},
      // A relative XDG_STATE_HOME is ignored, as the base folder rules say.
      {{{"XDG_STATE_HOME", "state"}, {"HOME", "/h"}}, "/h/.local/state/quendrix/mount.log"},
      {{{"XDG_STATE_HOME", ""}, {"HOME", "/h/"}}, "/h/.local/state/quendrix/mount.log"},
      {{{"HOME", "/h"}}, "/h/.local/state/quendrix/mount.log"},
      {{{"HOME", "h"}}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) {
    const std::string path = MountLogPath([&c](std::string_view name) {
      const auto found = c.environment.find(std::string(name));
      return found == c.environment.end() ? std::string() : found->second;
    });
    EXPECT_EQ(path, c.path) << (c.environment.empty() ? "(nothing set)"
                                                      : c.environment.begin()->second);
  }
}

TEST(MountLogEntry, IsAStampedLineWhoseFollowingLinesAreIndented) {
  std::tm time {};
  time.tm_year = 125;
  time.tm_mon = 4;
  time.tm_mday = 1;
  time.tm_hour = 9;
  time.tm_min = 2;
  time.tm_sec = 3;
  struct Case {
    std::string text;
    std::string entry;
  };
  const std::vector<Case> cases = {
      {"a.src: member \"x\" cannot be read: exit status 3",
       "2025-05-01 09:02:03 /m n: a.src: member \"x\" cannot be read: exit status 3\n"},
      // Lines indented already stay as they are; others are indented, so
      // that no line of a reason looks like the start of an entry.
      {"first\n    told indented\nnot indented\n\nlast\n",
       "2025-05-01 09:02:03 /m n: first\n    told indented\n  not indented\n  \n  last\n"},
      {"", "2025-05-01 09:02:03 /m n: \n"},
  };
  for (const Case& c : cases) EXPECT_EQ(MountLogEntry(time, "/m n", c.text), c.entry) << c.text;
}

TEST(MountLogTrim, KeepsTheEntriesThatStartInTheNewestHalf) {
  struct Case {
    const char* what;
    std::string text;
    std::size_t limit;
    std::string kept;
  };
  const std::vector<Case> cases = {
      {"no more than half", "aaa\nbbb\n", 16, "aaa\nbbb\n"},
      {"the cut inside an entry", "aaa\nbbb\nccc\n", 12, "ccc\n"},
      {"the cut at an entry's start", "aaa\nbbb\nccc\n", 16, "bbb\nccc\n"},
      {"a continued entry is kept whole or not at all",
       "aaa\nbbb\n  b2\n  b3\nccc\n", 20, "ccc\n"},
      {"no entry starts in the newest half", "a\n" + std::string(20, 'x') + "\n", 8,
       "xxx\n"},
  };
  for (const Case& c : cases) {
    const std::size_t from = KeptFrom(c.text, c.limit);
    ASSERT_LE(from, c.text.size()) << c.what;
    EXPECT_EQ(c.text.substr(from), c.kept) << c.what;
    EXPECT_LE(c.text.size() - from, c.limit / 2) << c.what;
  }
}

constexpr std::string_view kEntryEnd = "\n  and its second line\n";

std::string NumberedEntry(int writer, int number) {
  return "w" + std::to_string(writer) + " " + std::to_string(number) + " " +
         std::string(40, 'x') + std::string(kEntryEnd);
}

// What is wrong with the log `text` of writers that had each appended at
// least `appended[writer]` entries: a line that belongs to no whole entry,
// or a writer whose kept entries are not a run of its newest, in order
// (a writer may have none kept: the others' entries may have pushed them
// out). Empty when nothing is; the numbers of each writer's entries in
// `numbers`.
std::string ProblemOfLog(const std::string& text, const std::vector<int>& appended,
                         std::map<int, std::vector<int>>& numbers) {
  numbers.clear();
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t space = text.find(' ', at);
    std::size_t next = text.find(kEntryEnd, at);
    if (text[at] != 'w' || space == std::string::npos || next == std::string::npos) {
      return "not an entry at " + std::to_string(at) + ": " + text.substr(at, 60);
    }
    next += kEntryEnd.size();
    const int writer = std::atoi(text.c_str() + at + 1);
    const int number = std::atoi(text.c_str() + space + 1);
    if (text.compare(at, next - at, NumberedEntry(writer, number)) != 0) {
      return "a torn entry at " + std::to_string(at) + ": " + text.substr(at, next - at);
    }
    numbers[writer].push_back(number);
    at = next;
  }
  for (const auto& [writer, kept] : numbers) {
    const std::string who = "writer " + std::to_string(writer);
    if (writer < 0 || static_cast<std::size_t>(writer) >= appended.size()) return who + "?";
    for (std::size_t i = 1; i < kept.size(); ++i) {
      if (kept[i] != kept[i - 1] + 1) {
        return who + ": entry " + std::to_string(kept[i]) + " after " +
               std::to_string(kept[i - 1]);
      }
    }
    if (kept.back() < appended[static_cast<std::size_t>(writer)]) {
      return who + ": entry " + std::to_string(appended[static_cast<std::size_t>(writer)]) +
             " is lost, the newest kept is " + std::to_string(kept.back());
    }
  }
  return {};
}

TEST(MountLogFile, MakesPrivateFoldersAndFileAndMakesThemAgainWhenRemoved) {
  TempDir home;
  const fs::path state = home.path() / "state";
  const MountLogFile log((state / "quendrix" / "mount.log").string());
  std::string error;
  ASSERT_TRUE(log.Prepare(error)) << error;
  for (const fs::path& made : {state, state / "quendrix", state / "quendrix" / "mount.log"}) {
    struct stat status {};
    ASSERT_EQ(stat(made.c_str(), &status), 0) << made;
    EXPECT_EQ(status.st_mode & 0777, made.filename() == "mount.log" ? 0600u : 0700u) << made;
  }
  EXPECT_TRUE(log.Append("one\n", error)) << error;
  fs::remove_all(state);
  EXPECT_TRUE(log.Append("two\n", error)) << error;
  EXPECT_EQ(ReadFile(log.path()), "two\n");

  // A folder in the way is told, not crashed into.
  WriteFile(home.path() / "file", "");
  const MountLogFile blocked((home.path() / "file" / "quendrix" / "mount.log").string());
  EXPECT_FALSE(blocked.Append("three\n", error));
  EXPECT_NE(error.find(blocked.path()), std::string::npos) << error;
  EXPECT_FALSE(MountLogFile("").Prepare(error));
}

// Writers append at once while a reader looks at the file under a shared
// lock, as `flock -s` would: every time, it finds whole entries only, the
// newest entry each writer has appended, and a file within the limit.
TEST(MountLogFile, StaysBoundedAndKeepsTheNewestEntriesOfWritersAtOnce) {
  TempDir folder;
  const std::string path = folder.file("mount.log");
  constexpr std::size_t kLimit = 1024;
  constexpr int kWriters = 4;
  constexpr int kEntries = 1000;
  const std::size_t entrySize = NumberedEntry(kWriters, kEntries).size();
  std::vector<std::atomic<int>> appended(kWriters);
  std::vector<std::string> errors(kWriters);
  std::atomic<int> running{kWriters};
  std::vector<std::thread> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    writers.emplace_back([&, writer] {
      const MountLogFile log(path, kLimit);
      for (int number = 1; number <= kEntries; ++number) {
        if (!log.Append(NumberedEntry(writer, number), errors[writer])) break;
        appended[writer] = number;
      }
      --running;
    });
  }
  std::string problem;
  int looks = 0;
  std::map<int, std::vector<int>> numbers;
  while (running > 0 && problem.empty()) {
    std::vector<int> before;
    for (const std::atomic<int>& count : appended) before.push_back(count);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    std::string text;
    if (flock(fd, LOCK_SH) == 0) {
      char buffer[4096];
      for (ssize_t read = 0; (read = ::read(fd, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(read));
      }
    }
    close(fd);
    ++looks;
    if (text.size() > kLimit) problem = "the file holds " + std::to_string(text.size());
    if (problem.empty()) problem = ProblemOfLog(text, before, numbers);
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(problem, "") << "at look " << looks;
  for (int writer = 0; writer < kWriters; ++writer) EXPECT_EQ(errors[writer], "") << writer;

  const std::string text = ReadFile(path);
  EXPECT_LE(text.size(), kLimit);
  EXPECT_GE(text.size(), kLimit / 2 - entrySize);
  EXPECT_EQ(ProblemOfLog(text, std::vector<int>(kWriters, kEntries), numbers), "");
  EXPECT_FALSE(numbers.empty());
}

TEST(MountLogFile, DropsTheOlderHalfPastOneMebibyte) {
  TempDir folder;
  const MountLogFile log(folder.file("mount.log"));
  std::string error;
  int number = 0;
  std::uintmax_t size = 0;
  std::uintmax_t largest = 0;
  // Appended until the file has been trimmed once.
  while (size >= largest) {
    ASSERT_TRUE(log.Append(NumberedEntry(0, ++number), error)) << error;
    size = fs::file_size(log.path());
    largest = std::max(largest, size);
    ASSERT_LT(number, 100000) << "the file was never trimmed";
  }
  // The append that takes the file past the limit trims it before anyone
  // else sees it.
  EXPECT_LE(largest, kMountLogLimit);
  EXPECT_GT(largest, kMountLogLimit - NumberedEntry(0, number).size());
  EXPECT_LE(size, kMountLogLimit / 2);
  EXPECT_GT(size, kMountLogLimit / 2 - NumberedEntry(0, number).size());
  std::map<int, std::vector<int>> numbers;
  EXPECT_EQ(ProblemOfLog(ReadFile(log.path()), {number}, numbers), "");
  EXPECT_EQ(numbers.size(), 1u);
}

}  // namespace
}  // namespace quendrix::host::mount
