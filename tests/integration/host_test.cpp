// The quendrix host, driven in-process through its commands.
#include <gtest/gtest.h>

#include <sstream>

#include "list_command.h"
#include "plugin_client.h"
#include "support/loaded_plugin.h"

namespace quendrix::testing {
namespace {

TEST(HostListTest, PrintsMembersAndRefusesUnsupportedFiles) {
  TempDir dir;
  const std::string plugin = dir.file(platform::kPluginFileName);
  std::filesystem::copy_file(BuiltPluginPath(), plugin);
  WriteFile(dir.path() / "quendrix.ini",
            "[txt]\ncommand1=c\nfileout1=[N].sorted\ncommand2=c\nfileout2=two\n");
  std::string error;
  const auto client = host::PluginClient::Load(plugin, error);
  ASSERT_TRUE(client) << error;

  std::ostringstream out, err;
  EXPECT_EQ(host::ListMembers(*client, dir.file("notes.txt"), out, err), 0);
  EXPECT_NE(out.str().find("notes.sorted\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("2 members"), std::string::npos) << out.str();

  std::ostringstream out2, err2;
  EXPECT_EQ(host::ListMembers(*client, dir.file("notes.pdf"), out2, err2), 2);
  EXPECT_NE(err2.str().find("does not support"), std::string::npos) << err2.str();
}

}  // namespace
}  // namespace quendrix::testing
