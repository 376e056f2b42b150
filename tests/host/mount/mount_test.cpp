// The mount through a real FUSE mount, with the real plug-in and the test
// helper as the converter, which counts its runs. Needs /dev/fuse; where it
// is missing every test here is reported as skipped.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mount/mount_session.h"
#include "mount/mount_table.h"
#include "client/plugin_client.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/system_fixtures.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using host::mount::kErrorAttribute;
using host::mount::MountOptions;
using host::mount::MountSession;

constexpr const char* kContent = "pear\napple\npear\n";

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

bool Mounted(const std::string& mountPoint) {
  std::ifstream table("/proc/self/mounts");
  const std::string mounts((std::istreambuf_iterator<char>(table)),
                           std::istreambuf_iterator<char>());
  return host::mount::HasMount(mounts, mountPoint, host::mount::kMountType);
}

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return {"(cannot be read: " + std::to_string(errno) + ")"};
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  closedir(directory);
  return names;
}

// An extended attribute's value, or the error number of getxattr.
struct AttributeRead {
  std::string value;
  int error = 0;
  bool operator==(const AttributeRead&) const = default;
};

std::ostream& operator<<(std::ostream& stream, const AttributeRead& read) {
  return stream << (read.error == 0 ? "\"" + read.value + "\""
                                    : "error " + std::to_string(read.error));
}

AttributeRead Attribute(const std::string& path, const char* name) {
  const ssize_t size = getxattr(path.c_str(), name, nullptr, 0);
  if (size < 0) return {{}, errno};
  std::string value(static_cast<std::size_t>(size), '\0');
  const ssize_t read = getxattr(path.c_str(), name, value.data(), value.size());
  if (read < 0) return {{}, errno};
  value.resize(static_cast<std::size_t>(read));
  return {value, 0};
}

// The names of the extended attributes, each ending in a zero byte.
std::string AttributeNames(const std::string& path) {
  const ssize_t size = listxattr(path.c_str(), nullptr, 0);
  if (size < 0) return "(error " + std::to_string(errno) + ")";
  std::string names(static_cast<std::size_t>(size), '\0');
  const ssize_t read = listxattr(path.c_str(), names.data(), names.size());
  names.resize(read < 0 ? 0 : static_cast<std::size_t>(read));
  return names;
}

struct ProgramRun {
  int code = -1;  // exit code; -1 when it timed out or ended by a signal
  std::string out;
  std::string err;
};

// Runs `words` as a program with `environment` added, for at most `limit`;
// what it wrote on standard output and error.
ProgramRun RunProgram(std::vector<std::string> words,
                      const std::vector<std::string>& environment,
                      std::chrono::milliseconds limit = 20s) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables(environment);
  for (char** variable = environ; *variable != nullptr; ++variable) {
    variables.emplace_back(*variable);
  }
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  const TempDir streams;
  const std::string out = streams.file("out");
  const std::string err = streams.file("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return {};
  int status = 0;
  ProgramRun run;
  if (!WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, limit)) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  } else if (WIFEXITED(status)) {
    run.code = WEXITSTATUS(status);
  }
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  return run;
}

void NoteSignal(int) {}

// A copy of the plug-in whose rules serve ".src" files with members that
// copy the file, copy it slowly, fail, write nothing, or run until stopped;
// a source file; a mount point; and a cache parent of the test's own.
class MountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
      GTEST_SKIP() << "/dev/fuse is missing or closed to this user: the mount "
                      "tests need FUSE";
    }
    pluginPath_ = pluginDir_.file(platform::kPluginFileName);
    fs::copy_file(BuiltPluginPath(), pluginPath_);
    runs_ = work_.file("runs");
    programPid_ = work_.file("program.pid");
    sleeperPid_ = work_.file("sleeper.pid");
    const auto helper = [](const std::vector<std::string>& words) {
      return HelperCommandLine(words);
    };
    WriteRules(
        "[src]\n"
        "command1=" + helper({"--count", runs_, "--copy", "filein", "fileout"}) + "\n"
        "fileout1=[N].copy\n"
        "command2=" + helper({"--count", runs_, "--sleep", "400", "--copy", "filein", "fileout"}) + "\n"
        "fileout2=[N].slow\n"
        "command3=" + helper({"--count", runs_, "--exit", "1"}) + "\n"
        "fileout3=[N].silent\n"
        "command4=" + helper({"--count", runs_, "--write-steps", "fileout", "1", "10", "0",
                              "--print", "input is damaged", "--exit", "3"}) + "\n"
        "fileout4=[N].broken\n"
        "command5=" + helper({"--count", runs_, "--pid-file", programPid_, "--start-sleeper",
                              sleeperPid_, "60000", "--sleep", "60000"}) + "\n"
        "fileout5=[N].endless\n"
        "command6=" + helper({"--count", runs_}) + "\n"
        "fileout6=[N].empty\n"
        "command7=" + helper({"--count", runs_, "--copy", "filein", "fileout"}) + "\n"
        "fileout7=sub/[N].deep\n"
        "command8=" + helper({"--count", runs_, "--copy", "filein", "fileout"}) + "\n"
        "fileout8=[N].copy/clash\n");
    std::string error;
    plugin_ = host::PluginClient::Load(pluginPath_, error);
    ASSERT_TRUE(plugin_) << error;
    mountPoint_ = mountDir_.path().string() + "/mnt";
    fs::create_directory(mountPoint_);
    archive_ = work_.file("input.src");
    WriteFile(archive_, kContent);
  }

  void TearDown() override { Unmount(); }

  void WriteRules(const std::string& rules) const {
    WriteFile(pluginDir_.path() / "quendrix.ini", rules);
  }

  void Mount(const std::string& source) {
    MountOptions options;
    options.source = source;
    options.mountPoint = mountPoint_;
    options.rulesFiles = {pluginDir_.file("quendrix.ini")};
    options.cacheParent = cacheParent_.path().string();
    options.log = [this](const std::string& line) {
      const std::lock_guard lock(logMutex_);
      log_ += line + "\n";
    };
    std::string error;
    session_ = MountSession::Mount(*plugin_, options, error);
    ASSERT_TRUE(session_) << error;
    server_ = std::async(std::launch::async, [this] { return session_->Serve(false); });
  }

  // Unmounts and waits for the serving threads; a mount that does not end
  // is taken off lazily, and a test process that still cannot end it stops,
  // rather than hang or leave a mount behind.
  void Unmount() {
    if (!session_) return;
    session_->Unmount();
    if (server_.wait_for(20s) != std::future_status::ready) {
      umount2(mountPoint_.c_str(), MNT_DETACH);
      if (server_.wait_for(10s) != std::future_status::ready) {
        ADD_FAILURE() << "the mount did not end";
        std::abort();
      }
    }
    EXPECT_EQ(server_.get(), 0);
    session_.reset();
  }

  std::string At(const std::string& path) const { return mountPoint_ + "/" + path; }
  int Runs() const { return static_cast<int>(ReadFile(runs_).size()); }
  std::string Log() {
    const std::lock_guard lock(logMutex_);
    return log_;
  }

  TempDir pluginDir_;
  TempDir work_;
  TempDir mountDir_;
  TempDir cacheParent_;
  std::string pluginPath_;
  std::string runs_;
  std::string programPid_;
  std::string sleeperPid_;
  std::string archive_;
  std::string mountPoint_;
  std::optional<host::PluginClient> plugin_;
  std::unique_ptr<MountSession> session_;
  std::future<int> server_;
  std::mutex logMutex_;
  std::string log_;
};

TEST_F(MountTest, ListingShowsTheMembersAndRunsNoProgram) {
  Mount(archive_);
  const std::set<std::string> members = {"input.copy",   "input.slow",    "input.silent",
                                         "input.broken", "input.endless", "input.empty",
                                         "sub/input.deep"};
  std::set<std::string> top = {"sub"};
  for (const std::string& member : members) top.insert(member.substr(0, member.find('/')));
  EXPECT_EQ(Entries(mountPoint_), top);
  EXPECT_EQ(Entries(At("sub")), (std::set<std::string>{"input.deep"}));
  struct stat source {};
  ASSERT_EQ(stat(archive_.c_str(), &source), 0);
  for (const std::string& member : members) {
    struct stat status {};
    ASSERT_EQ(stat(At(member).c_str(), &status), 0) << member;
    EXPECT_TRUE(S_ISREG(status.st_mode)) << member;
    EXPECT_EQ(status.st_size, 0) << member;
    EXPECT_EQ(status.st_mtime, source.st_mtime) << member;
  }
  EXPECT_EQ(Runs(), 0) << "a listing ran a program";
  EXPECT_TRUE(Contains(Log(), "\"input.copy/clash\" left out")) << Log();
  struct stat missing {};
  EXPECT_EQ(stat(At("input.none").c_str(), &missing), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(MountTest, OpeningAMemberMakesItOnceAndShowsItsSize) {
  Mount(archive_);
  // The kernel keeps the size 0 it was just told; the open that makes the
  // member must drop it, or the read would end at 0 bytes.
  struct stat status {};
  ASSERT_EQ(stat(At("input.copy").c_str(), &status), 0);
  EXPECT_EQ(status.st_size, 0);
  EXPECT_EQ(ReadFile(At("input.copy")), kContent);
  EXPECT_EQ(Runs(), 1);
  ASSERT_EQ(stat(At("input.copy").c_str(), &status), 0);
  EXPECT_EQ(status.st_size, static_cast<off_t>(std::string(kContent).size()));
  EXPECT_EQ(ReadFile(At("input.copy")), kContent);
  EXPECT_EQ(Runs(), 1) << "a made member was made again";
}

TEST_F(MountTest, TwoReadersAtOnceStartItsProgramOnce) {
  Mount(archive_);
  auto first = std::async(std::launch::async, [&] { return ReadFile(At("input.slow")); });
  auto second = std::async(std::launch::async, [&] { return ReadFile(At("input.slow")); });
  EXPECT_EQ(first.get(), kContent);
  EXPECT_EQ(second.get(), kContent);
  EXPECT_EQ(Runs(), 1);
}

TEST_F(MountTest, AChangedSourceOrRulesFileMakesTheMemberAgain) {
  Mount(archive_);
  EXPECT_EQ(ReadFile(At("input.copy")), kContent);
  // Longer than before, so that a size kept from the first make would cut
  // the second short.
  const std::string changed = "changed, and longer than it was before\n";
  WriteFile(archive_, changed);
  struct stat status {};
  ASSERT_EQ(stat(At("input.copy").c_str(), &status), 0);
  EXPECT_EQ(ReadFile(At("input.copy")), changed);
  EXPECT_EQ(Runs(), 2);
  // The same rules written again: only the file's status-change time differs.
  std::this_thread::sleep_for(20ms);
  const std::string rules = ReadFile(pluginDir_.path() / "quendrix.ini");
  WriteRules(rules);
  EXPECT_EQ(ReadFile(At("input.copy")), changed);
  EXPECT_EQ(Runs(), 3);
}

TEST_F(MountTest, AFailingProgramGivesEioAndItsReasonIsLogged) {
  Mount(archive_);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"input.silent", "its program ended with exit status 1"},
      {"input.empty", "wrote no file"},
      {"input.broken", "its program ended with exit status 3: input is damaged"},
  };
  for (const auto& [member, reason] : cases) {
    const int before = Runs();
    errno = 0;
    const int descriptor = open(At(member).c_str(), O_RDONLY);
    EXPECT_EQ(descriptor, -1) << member;
    EXPECT_EQ(errno, EIO) << member;
    if (descriptor >= 0) close(descriptor);
    EXPECT_EQ(Runs(), before + 1) << member;
    EXPECT_TRUE(Contains(Log(), "\"" + member + "\" cannot be read: " + reason)) << Log();
    struct stat status {};
    ASSERT_EQ(stat(At(member).c_str(), &status), 0) << member;
    EXPECT_EQ(status.st_size, 0) << member;
  }
}

TEST_F(MountTest, AFailedMemberCarriesItsReasonAsAnAttributeUntilItIsMade) {
  // The flaky member copies a file that is missing until the test writes
  // it: it fails, and then succeeds with the same source and rules.
  const std::string flag = work_.file("flag");
  const auto helper = [](const std::vector<std::string>& words) {
    return HelperCommandLine(words);
  };
  const std::string rules =
      "[src]\n"
      "command1=" + helper({"--copy", flag, "fileout"}) + "\n"
      "fileout1=[N].flaky\n"
      "command2=" + helper({"--copy", "filein", "fileout"}) + "\n"
      "fileout2=[N].copy\n";
  WriteRules(rules);
  const std::string folder = work_.file("tree");
  fs::create_directory(folder);
  WriteFile(folder + "/a.src", kContent);
  ASSERT_EQ(setxattr((folder + "/a.src").c_str(), "user.note", "kept", 4, 0), 0)
      << "the test folder's file system keeps no user attributes";
  Mount(folder);
  const std::string flaky = At("a.src#/a.flaky");
  const std::string good = At("a.src#/a.copy");
  const AttributeRead none{{}, ENODATA};
  const std::string errorName(kErrorAttribute, std::strlen(kErrorAttribute) + 1);

  EXPECT_EQ(Attribute(flaky, kErrorAttribute), none) << "never opened";
  errno = 0;
  EXPECT_EQ(open(flaky.c_str(), O_RDONLY), -1);
  EXPECT_EQ(errno, EIO);
  const AttributeRead reason = Attribute(flaky, kErrorAttribute);
  ASSERT_EQ(reason.error, 0);
  EXPECT_TRUE(Contains(reason.value, "124")) << reason.value;
  EXPECT_TRUE(Contains(Log(), "\"a.flaky\" cannot be read: " + reason.value)) << Log();
  EXPECT_EQ(AttributeNames(flaky), errorName);
  char small[4];
  errno = 0;
  EXPECT_EQ(getxattr(flaky.c_str(), kErrorAttribute, small, sizeof small), -1);
  EXPECT_EQ(errno, ERANGE);

  // Nothing else has an error: not another name, a made member, the folder
  // of members; a file of the folder shows its own attributes.
  EXPECT_EQ(Attribute(flaky, "user.other"), none);
  EXPECT_EQ(ReadFile(good), kContent);
  EXPECT_EQ(Attribute(good, kErrorAttribute), none);
  EXPECT_EQ(AttributeNames(good), "");
  EXPECT_EQ(Attribute(At("a.src#"), kErrorAttribute), none);
  EXPECT_EQ(AttributeNames(At("a.src#")), "");
  EXPECT_EQ(Attribute(At("a.src"), "user.note"), (AttributeRead{"kept", 0}));
  EXPECT_EQ(AttributeNames(At("a.src")), std::string("user.note", 10));
  // Only user attributes are kept; other kinds are not there at all, so
  // that `ls -l` stops asking every entry for its security label.
  for (const std::string& path : {flaky, At("a.src#"), At("a.src"), mountPoint_}) {
    EXPECT_EQ(Attribute(path, "security.selinux").error, EOPNOTSUPP) << path;
  }
  EXPECT_EQ(Attribute(At("a.src#/none"), kErrorAttribute).error, ENOENT);

  // The reason is for the rules as they were; a new failure brings it back.
  std::this_thread::sleep_for(20ms);
  WriteRules(rules);
  EXPECT_EQ(Attribute(flaky, kErrorAttribute), none) << "after the rules changed";
  EXPECT_EQ(open(flaky.c_str(), O_RDONLY), -1);
  EXPECT_EQ(Attribute(flaky, kErrorAttribute), reason);

  // Made at last: the reason goes.
  WriteFile(flag, "mended\n");
  EXPECT_EQ(ReadFile(flaky), "mended\n");
  EXPECT_EQ(Attribute(flaky, kErrorAttribute), none) << "after it was made";
  EXPECT_EQ(AttributeNames(flaky), "");
}

// Waits until the endless member's program and the program it started are
// under way; their process identifiers.
std::pair<long, long> WaitForEndlessProgram(const std::string& programPid,
                                            const std::string& sleeperPid) {
  const bool started = WaitFor(
      [&] { return fs::exists(programPid) && fs::exists(sleeperPid); }, 20s);
  EXPECT_TRUE(started) << "the member's program did not start";
  if (!started) return {0, 0};
  return {std::stol(ReadFile(programPid)), std::stol(ReadFile(sleeperPid))};
}

void ExpectEnded(const std::pair<long, long>& pids) {
  if (pids.first == 0) return;
  // The open is answered once the program is gone, its child with it.
  EXPECT_TRUE(ProcessHasEnded(pids.first)) << "the member's program runs on";
  EXPECT_TRUE(WaitFor([&] { return ProcessHasEnded(pids.second); }, 5s))
      << "the program's child runs on";
}

TEST_F(MountTest, AnInterruptedOpenStopsTheProgramAndFailsWithEintr) {
  Mount(archive_);
  struct sigaction action {};
  action.sa_handler = NoteSignal;  // and no SA_RESTART: open gives EINTR
  struct sigaction previous {};
  sigaction(SIGUSR1, &action, &previous);
  std::atomic<bool> done{false};
  std::atomic<int> result{0};
  std::atomic<int> error{0};
  std::thread opener([&] {
    result = open(At("input.endless").c_str(), O_RDONLY);
    error = errno;
    done = true;
  });
  const std::pair<long, long> pids = WaitForEndlessProgram(programPid_, sleeperPid_);
  pthread_kill(opener.native_handle(), SIGUSR1);
  const bool answered = WaitFor([&] { return done.load(); }, 20s);
  EXPECT_TRUE(answered) << "the interrupted open was not answered";
  if (answered) {
    opener.join();
  } else {
    Unmount();
    opener.join();
  }
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(error, EINTR);
  ExpectEnded(pids);
  EXPECT_FALSE(Contains(Log(), "cannot be read")) << Log();
}

TEST_F(MountTest, CtrlCOnCatStopsTheProgram) {
  Mount(archive_);
  std::string path = At("input.endless");
  std::string cat = "/bin/cat";
  char* argv[] = {cat.data(), path.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  const std::pair<long, long> pids = WaitForEndlessProgram(programPid_, sleeperPid_);
  kill(child, SIGINT);
  int status = 0;
  const bool ended = WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 20s);
  EXPECT_TRUE(ended) << "cat did not end on Ctrl+C";
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  ExpectEnded(pids);
}

TEST_F(MountTest, WritesCreationsRenamesAndRemovalsFailWithErofs) {
  const std::string folder = work_.file("tree");
  fs::create_directory(folder);
  WriteFile(folder + "/a.src", kContent);
  Mount(folder);
  struct Case {
    const char* what;
    std::function<int()> call;
  };
  const std::vector<Case> cases = {
      {"open a member for writing", [&] { return open(At("a.src#/a.copy").c_str(), O_WRONLY); }},
      {"open a member for reading and writing", [&] { return open(At("a.src#/a.copy").c_str(), O_RDWR); }},
      {"create in a member folder", [&] { return open(At("a.src#/new").c_str(), O_WRONLY | O_CREAT, 0644); }},
      {"make a folder in a member folder", [&] { return mkdir(At("a.src#/d").c_str(), 0755); }},
      {"rename a member", [&] { return rename(At("a.src#/a.copy").c_str(), At("a.src#/b").c_str()); }},
      {"remove a member", [&] { return unlink(At("a.src#/a.copy").c_str()); }},
      {"remove a member folder", [&] { return rmdir(At("a.src#").c_str()); }},
      {"append to a file of the folder", [&] { return open(At("a.src").c_str(), O_WRONLY | O_APPEND); }},
      {"truncate a file of the folder", [&] { return truncate(At("a.src").c_str(), 0); }},
      {"set an attribute of a member", [&] { return setxattr(At("a.src#/a.copy").c_str(), "user.x", "1", 1, 0); }},
      {"remove an attribute of a member", [&] { return removexattr(At("a.src#/a.copy").c_str(), kErrorAttribute); }},
      {"set an attribute of a file of the folder", [&] { return setxattr(At("a.src").c_str(), "user.x", "1", 1, 0); }},
      {"remove a file of the folder", [&] { return unlink(At("a.src").c_str()); }},
      {"create a file in the folder", [&] { return open(At("new").c_str(), O_WRONLY | O_CREAT, 0644); }},
  };
  for (const Case& c : cases) {
    errno = 0;
    const int result = c.call();
    EXPECT_EQ(result, -1) << c.what;
    EXPECT_EQ(errno, EROFS) << c.what;
    if (result > 0) close(result);
  }
  EXPECT_EQ(ReadFile(folder + "/a.src"), kContent);
  EXPECT_EQ(Entries(folder), (std::set<std::string>{"a.src"}));
  EXPECT_EQ(Runs(), 0);
}

TEST_F(MountTest, AFolderShowsItsFilesAndTheMembersOfEachFileTheRulesServe) {
  const std::string folder = work_.file("tree");
  const std::string odd = "it's \"a\" tést ü $x.src";
  fs::create_directories(folder + "/sub dir");
  fs::create_directory(folder + "/real.src#");
  WriteFile(folder + "/" + odd, "odd\n");
  WriteFile(folder + "/plain.txt", "plain\n");
  WriteFile(folder + "/real.src", "real\n");
  WriteFile(folder + "/real.src#/inside", "inside\n");
  WriteFile(folder + "/sub dir/b c.src", "deep\n");
  Mount(folder);
  EXPECT_EQ(Entries(mountPoint_),
            (std::set<std::string>{odd, odd + "#", "plain.txt", "real.src",
                                   "real.src#", "sub dir"}));
  EXPECT_EQ(Entries(At("sub dir")), (std::set<std::string>{"b c.src", "b c.src#"}));
  EXPECT_EQ(ReadFile(At("plain.txt")), "plain\n");
  const std::string oddMembers = At(odd + "#");
  EXPECT_TRUE(Entries(oddMembers).count("it's \"a\" tést ü $x.copy")) << oddMembers;
  EXPECT_EQ(ReadFile(oddMembers + "/it's \"a\" tést ü $x.copy"), "odd\n");
  EXPECT_EQ(ReadFile(At("sub dir/b c.src#/b c.copy")), "deep\n");
  // A real entry of a member folder's name is shown as it is.
  EXPECT_EQ(Entries(At("real.src#")), (std::set<std::string>{"inside"}));
  EXPECT_EQ(ReadFile(At("real.src#/inside")), "inside\n");
  struct stat status {};
  EXPECT_EQ(stat(At("plain.txt#").c_str(), &status), -1);
  EXPECT_EQ(Runs(), 2);
}

TEST_F(MountTest, UnmountingLeavesNoCacheAndNoMount) {
  Mount(archive_);
  EXPECT_EQ(ReadFile(At("input.copy")), kContent);
  const std::string cache = session_->cacheFolder();
  EXPECT_EQ(fs::path(cache).parent_path(), cacheParent_.path());
  struct stat status {};
  ASSERT_EQ(stat(cache.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u) << "the cache is not private";
  EXPECT_TRUE(Mounted(mountPoint_));
  Unmount();
  EXPECT_FALSE(Mounted(mountPoint_));
  EXPECT_FALSE(fs::exists(cache));
  EXPECT_TRUE(fs::is_empty(cacheParent_.path()));
}

TEST_F(MountTest, TheCommandMountsInTheBackgroundAndUnmounts) {
  const std::string quendrix = platform::ExecutableDirectory() + "quendrix";
  // The mount's log goes into the test's folder, not the user's own.
  const std::vector<std::string> environment = {
      "XDG_RUNTIME_DIR=" + cacheParent_.path().string(),
      "XDG_STATE_HOME=" + work_.file("state")};
  EXPECT_EQ(RunProgram({quendrix, "--plugin", pluginPath_, "mount", archive_, mountPoint_},
                       environment)
                .code,
            0);
  ASSERT_TRUE(Mounted(mountPoint_));
  EXPECT_EQ(ReadFile(At("input.copy")), kContent);
  EXPECT_FALSE(fs::is_empty(cacheParent_.path()));
  const int unmounted = RunProgram({quendrix, "unmount", mountPoint_}, {}).code;
  if (unmounted != 0) umount2(mountPoint_.c_str(), MNT_DETACH);
  EXPECT_EQ(unmounted, 0);
  EXPECT_FALSE(Mounted(mountPoint_));
  EXPECT_TRUE(WaitFor([&] { return fs::is_empty(cacheParent_.path()); }, 10s))
      << "the background mount left its cache";
  // A file the rules do not serve is not mounted; nor is anything unmounted
  // that is no quendrix mount.
  const std::string text = work_.file("notes.txt");
  WriteFile(text, "notes\n");
  EXPECT_EQ(RunProgram({quendrix, "--plugin", pluginPath_, "mount", text, mountPoint_},
                       environment)
                .code,
            2);
  EXPECT_FALSE(Mounted(mountPoint_));
  EXPECT_EQ(RunProgram({quendrix, "unmount", mountPoint_}, {}).code, 1);
}

TEST_F(MountTest, TheCommandTellsWhereItLogsAndKeepsEachReasonThere) {
  const std::string quendrix = platform::ExecutableDirectory() + "quendrix";
  const std::string state = work_.file("state");
  const std::string logPath = state + "/quendrix/mount.log";
  const std::vector<std::string> environment = {
      "XDG_RUNTIME_DIR=" + cacheParent_.path().string(), "XDG_STATE_HOME=" + state};
  const auto unmount = [&] {
    const int unmounted = RunProgram({quendrix, "unmount", mountPoint_}, {}).code;
    if (unmounted != 0) umount2(mountPoint_.c_str(), MNT_DETACH);
    EXPECT_EQ(unmounted, 0);
  };
  const auto openBroken = [&] {
    errno = 0;
    EXPECT_EQ(open(At("input.broken").c_str(), O_RDONLY), -1);
    EXPECT_EQ(errno, EIO);
  };
  // One line on standard output, which nothing read before; standard
  // error stays empty when all went well.
  const ProgramRun background =
      RunProgram({quendrix, "--plugin", pluginPath_, "mount", archive_, mountPoint_}, environment);
  EXPECT_EQ(background.code, 0) << background.err;
  EXPECT_EQ(background.out, "quendrix mount: warnings and failures are logged in " + logPath + "\n");
  EXPECT_EQ(background.err, "");
  ASSERT_TRUE(Mounted(mountPoint_));
  for (const std::string& made : {state, state + "/quendrix", logPath}) {
    struct stat status {};
    ASSERT_EQ(stat(made.c_str(), &status), 0) << made;
    EXPECT_EQ(status.st_mode & 0777, made == logPath ? 0600u : 0700u) << made;
  }
  openBroken();
  unmount();

  // In the foreground the reasons go to standard error and to the file.
  auto foreground = std::async(std::launch::async, [&] {
    return RunProgram({quendrix, "--plugin", pluginPath_, "mount", "--foreground", archive_,
                       mountPoint_},
                      environment);
  });
  if (WaitFor([&] { return Mounted(mountPoint_); }, 20s)) {
    openBroken();
    unmount();
  } else {
    ADD_FAILURE() << "the foreground mount did not mount";
  }
  const ProgramRun served = foreground.get();
  EXPECT_EQ(served.code, 0) << served.err;
  EXPECT_EQ(served.out, "");
  const std::string failure = "input.src: member \"input.broken\" cannot be read: ";
  EXPECT_TRUE(Contains(served.err, failure)) << served.err;

  // Each mount's failure and the warning of its listing, each stamped and
  // with the mount point.
  const std::string log = ReadFile(logPath);
  const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )");
  int failures = 0;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (!Contains(line, failure)) continue;
    ++failures;
    EXPECT_TRUE(std::regex_match(line.substr(0, 20), stamp)) << line;
    EXPECT_EQ(line.substr(20, mountPoint_.size() + 2), mountPoint_ + ": ") << line;
    EXPECT_TRUE(Contains(line, "exit status 3")) << line;
  }
  EXPECT_EQ(failures, 2) << log;
  EXPECT_TRUE(Contains(log, "\"input.copy/clash\" left out")) << log;
}

// Files whose section has a list program: ".box" files list members in
// folders, with sizes and a time, made by copying them from a folder of
// sources, after numbered members of which two cannot be shown; ".bad"
// files have a list program that fails. Both programs count their runs.
class MountListedTest : public MountTest {
 protected:
  void SetUp() override {
    MountTest::SetUp();
    if (IsSkipped()) return;
    listRuns_ = work_.file("list-runs");
    const std::string sources = work_.file("sources");
    fs::create_directories(sources + "/docs/sub");
    WriteFile(sources + "/a.txt", "aaa");
    WriteFile(sources + "/docs/b.txt", "bbbb");
    WriteFile(sources + "/docs/sub/note.txt", kNote);
    WriteFile(sources + "/docs/short.txt", kShort);
    // Listed sizes larger and smaller than the members made.
    WriteFile(work_.file("names.txt"),
              "a.txt\t3\t2021-03-04 05:06:07\ndocs/sub/note.txt\t99\ndocs/b.txt\n"
              "docs/short.txt\t2\n../evil\n");
    const auto helper = [](const std::vector<std::string>& words) {
      return HelperCommandLine(words);
    };
    WriteRules(
        "[box]\n"
        "command1=" + helper({"--count", runs_, "--copy", "filein", "fileout"}) + "\n"
        "fileout1=sub/[N].deep\n"
        "command2=" + helper({"--count", runs_, "--copy", "filein", "fileout"}) + "\n"
        "fileout2=sub\n"
        "command3=" + helper({"--count", runs_, "--copy", "filein", "fileout"}) + "\n"
        "fileout3=x//y\n"
        "list=" + helper({"--count", listRuns_, "--stdout-file", work_.file("names.txt")}) + "\n"
        "extract=" + helper({"--count", runs_, "--copy"}) + " \"" + sources + "/[M]\" fileout\n"
        "[bad]\n"
        "list=" + helper({"--count", listRuns_, "--print", "no such archive", "--exit", "9"}) + "\n"
        "extract=" + helper({"--copy", "filein", "fileout"}) + "\n");
    box_ = work_.file("stuff.box");
    WriteFile(box_, kContent);
  }

  int ListRuns() const { return static_cast<int>(ReadFile(listRuns_).size()); }

  static constexpr const char* kNote = "note\n";
  static constexpr const char* kShort = "longer than its list says\n";
  std::string listRuns_;
  std::string box_;
};

TEST_F(MountListedTest, AFileMountShowsFoldersListedSizesAndTimes) {
  // The listed time as this zone reads it, asked before the mount's
  // threads start: the C library's zone state is not one that
  // ThreadSanitizer sees guarded.
  std::tm listed{};
  listed.tm_year = 2021 - 1900;
  listed.tm_mon = 2;
  listed.tm_mday = 4;
  listed.tm_hour = 5;
  listed.tm_min = 6;
  listed.tm_sec = 7;
  listed.tm_isdst = -1;
  const time_t listedTime = std::mktime(&listed);
  Mount(box_);
  using Names = std::set<std::string>;
  EXPECT_EQ(Entries(mountPoint_), (Names{"sub", "a.txt", "docs"}));
  EXPECT_EQ(Entries(At("sub")), (Names{"stuff.deep"}));
  EXPECT_EQ(Entries(At("docs")), (Names{"sub", "b.txt", "short.txt"}));
  EXPECT_EQ(Entries(At("docs/sub")), (Names{"note.txt"}));

  struct stat source {};
  ASSERT_EQ(stat(box_.c_str(), &source), 0);
  struct Case {
    const char* path;
    bool folder;
    off_t size;     // of a member
    time_t mtime;
  };
  // A size the list gave is shown before the member is made; a member
  // without one (the numbered ones too) shows 0 until then.
  const std::vector<Case> cases = {
      {"a.txt", false, 3, listedTime},
      {"docs/sub/note.txt", false, 99, source.st_mtime},
      {"docs/b.txt", false, 0, source.st_mtime},
      {"docs/short.txt", false, 2, source.st_mtime},
      {"sub/stuff.deep", false, 0, source.st_mtime},
      {"docs", true, 0, source.st_mtime},
      {"docs/sub", true, 0, source.st_mtime},
      {"sub", true, 0, source.st_mtime},
  };
  for (const Case& c : cases) {
    struct stat status {};
    ASSERT_EQ(stat(At(c.path).c_str(), &status), 0) << c.path;
    EXPECT_EQ(S_ISDIR(status.st_mode), c.folder) << c.path;
    if (!c.folder) {
      EXPECT_EQ(status.st_size, c.size) << c.path;
    }
    EXPECT_EQ(status.st_mtime, c.mtime) << c.path;
  }
  for (const char* missing : {"docs/none", "none/x", "sub/stuff.deep#"}) {
    struct stat status {};
    errno = 0;
    EXPECT_EQ(stat(At(missing).c_str(), &status), -1) << missing;
    EXPECT_EQ(errno, ENOENT) << missing;
  }
  EXPECT_EQ(Runs(), 0) << "a listing made a member";
  EXPECT_EQ(ListRuns(), 1) << "the file was listed more than once";
  // Numbered members that cannot be shown where their names put them are
  // left out; what the list program printed that the plug-in did not take
  // is told as well.
  const std::string log = Log();
  EXPECT_TRUE(Contains(log, "\"sub\" left out of the mount: it is a folder of earlier members"))
      << log;
  EXPECT_TRUE(Contains(log, "\"x//y\" left out of the mount: its name has an empty part")) << log;
  EXPECT_TRUE(Contains(log, "1 listed name was skipped")) << log;
}

TEST_F(MountListedTest, OpeningAMemberInAFolderMakesItOnce) {
  Mount(box_);
  EXPECT_EQ(ReadFile(At("docs/sub/note.txt")), kNote);
  EXPECT_EQ(Runs(), 1);
  // Made, the member shows its real size rather than the listed one.
  struct stat status {};
  ASSERT_EQ(stat(At("docs/sub/note.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_size, static_cast<off_t>(std::strlen(kNote)));
  EXPECT_EQ(ReadFile(At("docs/sub/note.txt")), kNote);
  // The kernel reads a file up to the size it knows: the open that makes
  // the member must drop the listed size, or the read would end there.
  struct stat shortStatus {};
  ASSERT_EQ(stat(At("docs/short.txt").c_str(), &shortStatus), 0);
  EXPECT_EQ(shortStatus.st_size, 2);
  EXPECT_EQ(ReadFile(At("docs/short.txt")), kShort);
  EXPECT_EQ(ReadFile(At("sub/stuff.deep")), kContent);
  EXPECT_EQ(Runs(), 3);
  EXPECT_EQ(ListRuns(), 1) << "making a member listed the file again";
  // The cache holds one folder per make, each with the member's own file
  // name only: no folder of the member's name is made there.
  std::set<std::string> made;
  for (const auto& entry : fs::recursive_directory_iterator(session_->cacheFolder())) {
    if (!entry.is_regular_file()) continue;
    made.insert(entry.path().filename().string());
    EXPECT_EQ(entry.path().parent_path().parent_path(), fs::path(session_->cacheFolder()));
  }
  EXPECT_EQ(made, (std::set<std::string>{"note.txt", "short.txt", "stuff.deep"}));
}

TEST_F(MountListedTest, AFolderMountShowsEachFilesFoldersAndListsEachOnce) {
  const std::string folder = work_.file("tree");
  fs::create_directories(folder + "/inner");
  fs::copy_file(box_, folder + "/one.box");
  fs::copy_file(box_, folder + "/inner/two.box");
  WriteFile(folder + "/plain.txt", "plain\n");
  Mount(folder);
  // Walked twice, as `find` twice walks it: every file is listed once.
  for (int walk = 0; walk < 2; ++walk) {
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(mountPoint_)) {
      paths.insert(fs::relative(entry.path(), mountPoint_).string());
    }
    for (const char* path : {"one.box#/docs/sub/note.txt", "one.box#/sub/one.deep",
                             "inner/two.box#/docs/b.txt", "inner/two.box#/a.txt"}) {
      EXPECT_TRUE(paths.count(path)) << path << " (walk " << walk + 1 << ")";
    }
    // Each file's 8 entries and member folder, and the folder's own 4.
    EXPECT_EQ(paths.size(), 2u * (8u + 1u) + 4u) << "walk " << walk + 1;
  }
  EXPECT_EQ(ListRuns(), 2);
  struct stat status {};
  ASSERT_EQ(stat(At("inner/two.box#/docs/sub/note.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_size, 99);
  EXPECT_EQ(ReadFile(At("inner/two.box#/docs/sub/note.txt")), kNote);
  EXPECT_EQ(Runs(), 1);
}

TEST_F(MountListedTest, AFileWhoseListFailsShowsWhyAndIsNotMountedAlone) {
  const std::string folder = work_.file("tree");
  fs::create_directory(folder);
  const std::string broken = folder + "/broken.bad";
  WriteFile(broken, "x");
  Mount(folder);
  const std::string members = At("broken.bad#");
  // Looking at the folder runs no list program: the member folder is shown
  // by the file's name, as any other.
  EXPECT_EQ(Entries(mountPoint_), (std::set<std::string>{"broken.bad", "broken.bad#"}));
  struct stat status {};
  ASSERT_EQ(stat(members.c_str(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));
  EXPECT_EQ(ListRuns(), 0);
  EXPECT_EQ(Attribute(members, kErrorAttribute), (AttributeRead{{}, ENODATA}))
      << "never listed";

  errno = 0;
  DIR* directory = opendir(members.c_str());
  EXPECT_EQ(directory, nullptr);
  EXPECT_EQ(errno, EIO);
  if (directory != nullptr) closedir(directory);
  errno = 0;
  EXPECT_EQ(stat((members + "/a.txt").c_str(), &status), -1);
  EXPECT_EQ(errno, EIO);
  // A failed list is not kept: each look tries it again.
  EXPECT_EQ(ListRuns(), 2);
  const std::string reason = "list: its program ended with exit status 9";
  EXPECT_TRUE(Contains(Log(), "broken.bad: its members cannot be listed: " + reason)) << Log();
  EXPECT_TRUE(Contains(Log(), "no such archive")) << Log();
  const AttributeRead attribute = Attribute(members, kErrorAttribute);
  EXPECT_EQ(attribute.value.rfind(reason, 0), 0u) << attribute;
  EXPECT_TRUE(Contains(attribute.value, "no such archive")) << attribute;
  EXPECT_EQ(AttributeNames(members), std::string(kErrorAttribute, std::strlen(kErrorAttribute) + 1));
  Unmount();

  // Alone, the file is not mounted: a failure, with the reason.
  const std::string quendrix = platform::ExecutableDirectory() + "quendrix";
  const ProgramRun refused = RunProgram(
      {quendrix, "--plugin", pluginPath_, "mount", broken, mountPoint_},
      {"XDG_RUNTIME_DIR=" + cacheParent_.path().string(), "XDG_STATE_HOME=" + work_.file("state")});
  EXPECT_EQ(refused.code, 1) << refused.err;
  EXPECT_TRUE(Contains(refused.err, reason)) << refused.err;
  EXPECT_FALSE(Mounted(mountPoint_));
}

}  // namespace
}  // namespace quendrix::testing
