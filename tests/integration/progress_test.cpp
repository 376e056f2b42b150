// The progress callback through the exports of the real plug-in: the host
// hears a member grow while its program runs, and a 0 from the callback ends
// the program, everything it started and what it wrote.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "interface/wcx.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/system_fixtures.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Call {
  std::string name;
  int size = 0;
  Clock::time_point at;
};

// What one callback heard, and how it answers: `answer` is asked with the
// number of calls so far (this one included).
struct Recorder {
  std::mutex mutex;
  std::vector<Call> calls;
  std::function<int(std::size_t)> answer = [](std::size_t) { return 1; };
  Clock::time_point stoppedAt;

  std::vector<Call> Calls() {
    const std::lock_guard<std::mutex> lock(mutex);
    return calls;
  }
};

// Callbacks carry no context, so each of the few a test needs has its own
// function and recorder.
template <int N>
Recorder& RecorderOf() {
  static Recorder recorder;
  return recorder;
}

template <int N>
int QUENDRIX_WCX_CALL Record(char* name, int size) {
  Recorder& recorder = RecorderOf<N>();
  const std::lock_guard<std::mutex> lock(recorder.mutex);
  recorder.calls.push_back(Call{name != nullptr ? name : "(null)", size, Clock::now()});
  const int answer = recorder.answer(recorder.calls.size());
  if (answer == 0 && recorder.stoppedAt == Clock::time_point()) recorder.stoppedAt = Clock::now();
  return answer;
}

template <int N>
Recorder& FreshRecorder() {
  Recorder& recorder = RecorderOf<N>();
  const std::lock_guard<std::mutex> lock(recorder.mutex);
  recorder.calls.clear();
  recorder.answer = [](std::size_t) { return 1; };
  recorder.stoppedAt = Clock::time_point();
  return recorder;
}

std::string Helper(const std::string& options) { return HelperPath() + " " + options; }

class ProgressTest : public ::testing::Test {
 protected:
  // A plug-in whose [src] members run `commands` in turn.
  std::unique_ptr<LoadedPlugin> PluginFor(const std::vector<std::string>& commands,
                                          std::string_view settings = "") {
    std::string rules = "[src]\n" + std::string(settings);
    for (std::size_t n = 1; n <= commands.size(); ++n) {
      rules += "command" + std::to_string(n) + "=" + commands[n - 1] + "\n";
      rules += "fileout" + std::to_string(n) + "=[N]." + std::to_string(n) + ".out\n";
    }
    archive_ = data_.file("input.src");
    WriteFile(archive_, "archive");
    return std::make_unique<LoadedPlugin>(rules);
  }

  // Opens the archive for extraction with `callback` and reads up to
  // member `n`.
  ArchiveHandle OpenAt(const LoadedPlugin& plugin, int n, ProcessDataProc callback) {
    const ArchiveHandle handle = plugin.Open(archive_, PK_OM_EXTRACT).handle;
    EXPECT_NE(handle, nullptr);
    plugin.setProcessDataProc(handle, callback);
    Header header;
    for (int i = 0; i < n; ++i) EXPECT_EQ(plugin.Read(handle, header), 0);
    return handle;
  }

  TempDir data_;
  TempDir out_;
  std::string archive_;
};

TEST_F(ProgressTest, AGrowingMemberIsReportedUntilItsFinalSize) {
  const auto plugin = PluginFor({Helper("--write-steps fileout 5 1000 150")});
  Recorder& recorder = FreshRecorder<1>();
  const ArchiveHandle handle = OpenAt(*plugin, 1, Record<1>);
  const std::string dest = out_.file("input.1.out");
  ASSERT_EQ(plugin->ProcessOn(handle, PK_EXTRACT, dest.c_str()), 0);

  const std::vector<Call> calls = recorder.Calls();
  long long total = 0;
  for (const Call& call : calls) {
    EXPECT_EQ(call.name, dest);
    EXPECT_GE(call.size, 0);
    total += call.size;
  }
  EXPECT_EQ(total, 5000) << "the reports add up to the member's size";
  EXPECT_EQ(fs::file_size(dest), 5000u);
  // The program writes for about 750 ms; a report comes every 100 ms.
  EXPECT_GE(calls.size(), 4u);
  for (std::size_t i = 1; i < calls.size(); ++i) {
    EXPECT_LT(calls[i].at - calls[i - 1].at, std::chrono::seconds(1)) << "gap before call " << i;
  }
  plugin->Close(handle);
}

TEST_F(ProgressTest, ACancelEndsTheProgramAndWhatItStartedAndRemovesItsFile) {
  const std::string parentPid = data_.file("parent.pid");
  const std::string childPid = data_.file("child.pid");
  const auto plugin = PluginFor(
      {Helper("--pid-file " + parentPid + " --write-steps fileout 1 500 0 --start-sleeper " +
              childPid + " 60000 --sleep 60000"),
       Helper("--copy filein fileout")},
      "log=1\n");
  Recorder& recorder = FreshRecorder<2>();
  // Cancelled on the third call once both processes are up.
  std::size_t upSince = 0;
  recorder.answer = [&](std::size_t calls) {
    if (upSince == 0 && fs::exists(childPid)) upSince = calls;
    return upSince != 0 && calls >= upSince + 2 ? 0 : 1;
  };
  const ArchiveHandle handle = OpenAt(*plugin, 1, Record<2>);
  const std::string dest = out_.file("input.1.out");
  const Clock::time_point started = Clock::now();
  const int result = plugin->ProcessOn(handle, PK_EXTRACT, dest.c_str());
  const Clock::time_point returned = Clock::now();

  ASSERT_EQ(result, E_EABORTED);
  const auto stopMs = std::chrono::duration_cast<std::chrono::milliseconds>(
      returned - recorder.stoppedAt);
  std::cout << "from the callback's 0 to ProcessFile's return: " << stopMs.count()
            << " ms\n";
  EXPECT_LT(returned - started, std::chrono::seconds(30)) << "the program ran its minute";
  EXPECT_FALSE(fs::exists(dest)) << "the partial file stays";
  for (const std::string& pidFile : {parentPid, childPid}) {
    const long pid = std::stol(ReadFile(pidFile));
    EXPECT_TRUE(ProcessHasEnded(pid)) << pidFile;
  }
  const std::string log = ReadFile(plugin->file("quendrix.log"));
  EXPECT_EQ(log.rfind("command1 = ", 0), 0u) << log;

  // The list goes on where it was: the next member is member 2.
  Header header;
  ASSERT_EQ(plugin->Read(handle, header), 0);
  EXPECT_EQ(header.name, "input.2.out");
  plugin->Close(handle);
}

TEST_F(ProgressTest, ACancelKeepsAFileTheProgramNeverTouched) {
  const auto plugin = PluginFor({Helper("--sleep 60000")});
  Recorder& recorder = FreshRecorder<3>();
  recorder.answer = [](std::size_t calls) { return calls >= 2 ? 0 : 1; };
  const std::string dest = out_.file("input.1.out");
  WriteFile(dest, "was here before");
  const ArchiveHandle handle = OpenAt(*plugin, 1, Record<3>);
  EXPECT_EQ(plugin->ProcessOn(handle, PK_EXTRACT, dest.c_str()), E_EABORTED);
  EXPECT_EQ(ReadFile(dest), "was here before");
  plugin->Close(handle);
}

// A callback hears only its own session's members; the callback given for
// every handle (-1) serves the sessions without one of their own.
TEST_F(ProgressTest, CallbacksStayWithTheirSessions) {
  const auto plugin = PluginFor({Helper("--write-steps fileout 2 100 150")});
  Recorder& a = FreshRecorder<4>();
  Recorder& b = FreshRecorder<5>();
  Recorder& every = FreshRecorder<6>();
  const ArchiveHandle first = OpenAt(*plugin, 1, Record<4>);
  const ArchiveHandle second = OpenAt(*plugin, 1, Record<5>);
  const ArchiveHandle third = OpenAt(*plugin, 1, nullptr);
  plugin->setProcessDataProc(reinterpret_cast<ArchiveHandle>(~std::uintptr_t{0}), Record<6>);

  TempDir outFirst, outSecond, outThird;
  ASSERT_EQ(plugin->ProcessOn(first, PK_EXTRACT, outFirst.file("m").c_str()), 0);
  EXPECT_GT(a.Calls().size(), 0u);
  EXPECT_EQ(b.Calls().size(), 0u);
  EXPECT_EQ(every.Calls().size(), 0u);

  ASSERT_EQ(plugin->ProcessOn(second, PK_EXTRACT, outSecond.file("m").c_str()), 0);
  for (const Call& call : b.Calls()) EXPECT_EQ(call.name, outSecond.file("m"));
  EXPECT_GT(b.Calls().size(), 0u);
  EXPECT_EQ(every.Calls().size(), 0u);

  const std::size_t heardByA = a.Calls().size();
  ASSERT_EQ(plugin->ProcessOn(third, PK_EXTRACT, outThird.file("m").c_str()), 0);
  EXPECT_GT(every.Calls().size(), 0u);
  EXPECT_EQ(a.Calls().size(), heardByA);
  for (const ArchiveHandle handle : {first, second, third}) plugin->Close(handle);
}

}  // namespace
}  // namespace quendrix::testing
