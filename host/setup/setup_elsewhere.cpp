// The Windows host registers with no file manager: Midnight Commander runs
// on POSIX systems only, and Double Commander's settings are XML, which the
// host edits with pugixml, which Debian builds for its own systems only,
// not for MinGW. Both verbs answer with a refusal that says so.
#include <ostream>

#include "exit_codes.h"
#include "setup/setup_steps.h"

namespace quendrix::host {

SetupPlaces SetupPlaces::Platform() { return {}; }

int SetupDoubleCommander(const std::string&, const SetupRequest&, const SetupPlaces&,
                         std::ostream&, std::ostream& err) {
  err << "quendrix setup doublecmd: not available in this build, which has no XML library to "
         "edit Double Commander's settings with; add the plug-in by hand: Configuration, "
         "Options, Plugins, Packer plugins (WCX), Add, once per extension\n";
  return kExitRefused;
}

int SetupMidnightCommander(const std::string&, const SetupRequest&, const SetupPlaces&,
                           std::ostream&, std::ostream& err) {
  err << "quendrix setup mc: Midnight Commander runs on POSIX systems only; use the Linux "
         "build of quendrix\n";
  return kExitRefused;
}

}  // namespace quendrix::host
