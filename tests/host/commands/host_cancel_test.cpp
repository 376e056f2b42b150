// The host stops a member through the plug-in's progress callback: on
// Ctrl+C (here a stand-in for the console's signal) and after --timeout.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "host.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// An archive whose first member's program runs for a minute, after writing
// a little, and whose second member is a copy of the archive.
class HostCancelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin_ = pluginDir_.file(platform::kPluginFileName);
    fs::copy_file(BuiltPluginPath(), plugin_);
    started_ = work_.file("started.pid");
    WriteFile(pluginDir_.path() / "quendrix.ini",
              "[src]\n"
              "command1=" + HelperPath() + " --pid-file " + started_ +
                  " --write-steps fileout 1 100 0 --sleep 60000\n"
              "fileout1=[N].1.out\n"
              "command2=" + HelperPath() + " --copy filein fileout\n"
              "fileout2=[N].2.out\n");
    archive_ = work_.file("input.src");
    WriteFile(archive_, "archive");
  }

  int Extract(std::vector<std::string> options, const std::function<bool()>& interrupted) {
    std::vector<std::string> args = {"--plugin", plugin_, "extract", archive_, "-C", out_.str()};
    args.insert(args.end(), options.begin(), options.end());
    host::HostSettings settings;
    settings.executableDirectory = pluginDir_.str();
    settings.interruptRequested = interrupted;
    std::ostringstream out, err;
    const int code = host::RunHost(args, out, err, settings);
    out_text_ = out.str();
    err_text_ = err.str();
    return code;
  }

  bool Made(std::string_view name) const { return fs::exists(out_.path() / std::string(name)); }

  TempDir pluginDir_;
  TempDir work_;
  TempDir out_;
  std::string plugin_;
  std::string archive_;
  std::string started_;
  std::string out_text_;
  std::string err_text_;
};

TEST_F(HostCancelTest, CtrlCStopsTheRunningMemberAndStartsNoOther) {
  // The signal comes once the first member's program is under way.
  const std::string started = started_;
  const auto interrupted = [started] { return fs::exists(started); };
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(Extract({}, interrupted), 130) << out_text_ << err_text_;
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30));
  EXPECT_TRUE(Contains(out_text_, "cancelled input.1.out")) << out_text_;
  EXPECT_TRUE(Contains(out_text_, "2 members: 0 made")) << out_text_;
  EXPECT_TRUE(Contains(err_text_, "interrupted")) << err_text_;
  EXPECT_FALSE(Made("input.1.out")) << "the partial file stays";
  EXPECT_FALSE(Made("input.2.out")) << "a member started after Ctrl+C";
}

TEST_F(HostCancelTest, TimeoutStopsAMemberAndGoesOnWithTheNext) {
  EXPECT_EQ(Extract({"--timeout", "1"}, [] { return false; }), 1) << out_text_ << err_text_;
  EXPECT_TRUE(Contains(out_text_, "timed out input.1.out")) << out_text_;
  EXPECT_TRUE(Contains(out_text_, "made      input.2.out")) << out_text_;
  EXPECT_TRUE(Contains(out_text_, "1 made, 0 not made, 0 failed, 0 kept, 1 timed out"))
      << out_text_;
  EXPECT_FALSE(Made("input.1.out"));
  EXPECT_EQ(ReadFile(out_.path() / "input.2.out"), "archive");
}

TEST_F(HostCancelTest, ATimeoutMustBePositive) {
  for (const char* bad : {"0", "-3", "soon"}) {
    EXPECT_EQ(Extract({"--timeout", bad}, [] { return false; }), 2) << bad;
    EXPECT_FALSE(Made("input.1.out")) << bad;
  }
}

}  // namespace
}  // namespace quendrix::testing
