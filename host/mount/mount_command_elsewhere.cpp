// The mount serves Linux through FUSE; a build for any other system
// answers the mount verbs with a refusal.
#include <ostream>

#include "mount/mount_command.h"

namespace quendrix::host {

int RunMount(const PluginClient&, const std::string&, const MountRequest&,
             std::ostream&, std::ostream& err) {
  err << "quendrix mount: mounting the rules as a file system needs FUSE on "
         "Linux; use the Linux build of quendrix\n";
  return kExitRefused;
}

int RunUnmount(const std::string&, std::ostream& err) {
  err << "quendrix unmount: mounts are made by the Linux build of quendrix\n";
  return kExitRefused;
}

}  // namespace quendrix::host
