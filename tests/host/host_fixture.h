// The quendrix host run in-process against a copy of the real plug-in, for
// the tests of its commands.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "host.h"
#include "support/loaded_plugin.h"
#include "support/temp_dir.h"

namespace quendrix::testing {

struct HostRun {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::string FakePluginPath() {
  return platform::ExecutableDirectory() + QUENDRIX_FAKE_PLUGIN_NAME;
}

inline bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// A copy of the real plug-in with a rules file, an archive directory and an
// output directory, each of its own.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin_ = pluginDir_.file(platform::kPluginFileName);
    std::filesystem::copy_file(BuiltPluginPath(), plugin_);
  }

  void WriteRules(std::string_view rules) const {
    WriteFile(pluginDir_.path() / "quendrix.ini", rules);
  }

  // A program file in the plug-in's folder (or a folder of it, such as
  // recipes), where a command that names it without a folder finds it (on
  // Windows any file is one).
  void InstallProgram(std::string_view name, std::string_view folder = {}) const {
    const std::filesystem::path program =
        (folder.empty() ? pluginDir_.path() : pluginDir_.path() / std::string(folder)) /
        std::string(name);
    std::filesystem::create_directories(program.parent_path());
    WriteFile(program, "#!/bin/sh\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
  }

  // An archive in the work directory, with `content`.
  std::string Archive(std::string_view name,
                      std::string_view content = "pear\napple\npear\n") const {
    WriteFile(work_.path() / std::string(name), content);
    return work_.file(name);
  }

  // Runs the host with --plugin set to the copy, unless `args` names one.
  HostRun Run(std::vector<std::string> args, bool terminal = false) const {
    if (std::find(args.begin(), args.end(), "--plugin") == args.end()) {
      args.insert(args.begin(), {"--plugin", plugin_});
    }
    return RunBare(args, terminal);
  }

  HostRun RunBare(const std::vector<std::string>& args, bool terminal = false,
                  const std::string& executableDirectory = {}) const {
    host::HostSettings settings;
    settings.executableDirectory =
        executableDirectory.empty() ? emptyDir_.str() : executableDirectory;
    settings.errIsTerminal = terminal;
    std::ostringstream out, err;
    HostRun run;
    run.code = host::RunHost(args, out, err, settings);
    run.out = out.str();
    run.err = err.str();
    return run;
  }

  std::string OutFile(std::string_view name) const {
    return ReadFile(out_.path() / std::string(name));
  }
  bool OutExists(std::string_view name) const {
    return std::filesystem::exists(out_.path() / std::string(name));
  }

  TempDir pluginDir_;
  TempDir work_;
  TempDir out_;
  TempDir emptyDir_;
  std::string plugin_;
};

}  // namespace quendrix::testing
