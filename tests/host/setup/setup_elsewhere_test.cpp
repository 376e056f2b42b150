// The Windows host registers with no file manager, and says why and what to
// do instead.
#include <gtest/gtest.h>

#include <sstream>

#include "setup/setup_command.h"

namespace quendrix::host {
namespace {

TEST(SetupElsewhereTest, RefusesBothHostsWithTheReason) {
  struct Case {
    const char* host;
    const char* reason;
  };
  const Case cases[] = {
      {"doublecmd", "not available in this build"},
      {"mc", "Midnight Commander runs on POSIX systems only"},
  };
  for (const Case& c : cases) {
    SetupRequest request;
    request.host = c.host;
    std::ostringstream out, err;
    EXPECT_EQ(RunSetup("C:\\quendrix\\quendrix.wcx64", request, SetupPlaces::Platform(), out, err),
              2);
    EXPECT_NE(err.str().find(c.reason), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "");
  }
}

}  // namespace
}  // namespace quendrix::host
