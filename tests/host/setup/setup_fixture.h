// quendrix setup run in-process against copies of real configuration files
// (fixtures/: a doublecmd.xml that Double Commander 1.0.10 wrote at its
// first start, trimmed to some of its elements, and Debian 12's
// /etc/mc/mc.ext.ini of mc 4.8.29), with the places of the file managers
// and the check for a running Double Commander given by the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "setup/config_file.h"
#include "setup/setup_command.h"
#include "support/temp_dir.h"

namespace quendrix::testing {

inline std::string SetupFixture(std::string_view name) {
  return ReadFile(std::filesystem::path(QUENDRIX_SETUP_FIXTURES) / std::string(name));
}

struct SetupRun {
  int code = -1;
  std::string out;
  std::string err;
};

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The plug-in's folder holds its rules; setup only needs the plug-in
    // to be there, never loads it.
    plugin_ = pluginDir_.file("quendrix.wcx");
    WriteFile(plugin_, "not loaded");
    WriteRules(
        "[pdf]\nlist=pdfimages -list filein\nextract=pdftoppm [M] filein fileout\n"
        "[txt]\ncommand1=sort filein -o fileout\nfileout1=[N].sorted.txt\n"
        "[text]\nsynonym=txt\n");
    places_.doubleCommanderSettings = config_.file("doublecmd.xml");
    places_.doubleCommanderRunning = [this](const std::string& settings) {
      asked_ = settings;
      return running_;
    };
    places_.mcUserFile = config_.file("mc/mc.ext.ini");
    places_.mcSystemFiles = {system_.file("mc.ext.ini")};
    places_.mcHelperFolders = {system_.file("extfs.d")};
  }

  void WriteRules(std::string_view rules) const {
    WriteFile(pluginDir_.path() / "quendrix.ini", rules);
  }

  SetupRun SetupFor(std::string host, std::vector<std::string> options = {}) const {
    host::SetupRequest request;
    request.host = std::move(host);
    for (const std::string& option : options) {
      if (option == "--undo") request.undo = true;
      if (option == "--dry-run") request.dryRun = true;
      if (option.rfind("--config=", 0) == 0) request.configFile = option.substr(9);
    }
    std::ostringstream out, err;
    SetupRun run;
    run.code = host::RunSetup(plugin_, request, places_, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
  }

  TempDir pluginDir_;
  TempDir config_;
  TempDir system_;
  std::string plugin_;
  host::SetupPlaces places_;
  bool running_ = false;
  std::string asked_;  // the settings file the running check was asked about
};

}  // namespace quendrix::testing
