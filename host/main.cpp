// quendrix: a command-line host for WCX packer plug-ins.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "list_command.h"
#include "plugin_client.h"

int main(int argc, char** argv) {
  using namespace quendrix::host;

  CLI::App app{"quendrix: drives a WCX packer plug-in from the command line"};
  app.require_subcommand(1);
  app.fallthrough();
  std::string pluginPath;
  app.add_option("--plugin", pluginPath,
                 "the plug-in to load (default: the one next to quendrix)");

  std::string listFile;
  CLI::App* list = app.add_subcommand("list", "list the members of FILE");
  list->add_option("FILE", listFile, "the file to list")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitDone : kExitRefused;
  }

  if (pluginPath.empty()) pluginPath = DefaultPluginPath();
  std::string error;
  std::optional<PluginClient> plugin = PluginClient::Load(pluginPath, error);
  if (!plugin) {
    std::cerr << "quendrix: " << error << "\n";
    return kExitRefused;
  }

  if (list->parsed()) return ListMembers(*plugin, listFile, std::cout, std::cerr);
  return kExitRefused;
}
