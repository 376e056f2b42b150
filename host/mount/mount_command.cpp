#include "mount/mount_command.h"

#include <fuse.h>
#include <syslog.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <system_error>

#include "mount/mount_session.h"
#include "client/archive_session.h"
#include "plugin/plugin.h"
#include "plugin/rules_places.h"

namespace quendrix::host {

namespace fs = std::filesystem;

namespace {

// Where the mount's warnings and failures go: standard error while it runs
// in the foreground, the system log once it runs on its own.
class MountLog {
 public:
  explicit MountLog(std::ostream& err) : err_(err) {}

  void ToSystemLog() {
    const std::lock_guard lock(mutex_);
    openlog("quendrix", LOG_PID, LOG_USER);
    systemLog_ = true;
  }

  void Write(const std::string& line) {
    const std::lock_guard lock(mutex_);
    if (systemLog_) {
      syslog(LOG_WARNING, "mount: %s", line.c_str());
    } else {
      err_ << "quendrix mount: " << line << "\n" << std::flush;
    }
  }

 private:
  std::ostream& err_;
  std::mutex mutex_;
  bool systemLog_ = false;
};

}  // namespace

int RunMount(const PluginClient& plugin, const std::string& pluginPath,
             const MountRequest& request, std::ostream& /*out*/, std::ostream& err) {
  std::error_code error;
  const fs::file_status source = fs::status(request.source, error);
  if (fs::is_regular_file(source)) {
    if (!PluginTakes(plugin, request.source)) {
      err << "quendrix mount: " << request.source
          << ": the rules do not serve this file\n";
      return kExitRefused;
    }
  } else if (!fs::is_directory(source)) {
    err << "quendrix mount: " << request.source
        << " is neither a file nor a folder\n";
    return kExitRefused;
  }
  if (!fs::is_directory(request.mountPoint, error)) {
    err << "quendrix mount: the mount point " << request.mountPoint
        << " is not a folder\n";
    return kExitRefused;
  }

  auto log = std::make_shared<MountLog>(err);
  mount::MountOptions options;
  options.source = request.source;
  options.mountPoint = request.mountPoint;
  // The plug-in serving the mount runs in this process, so the places it
  // looks for its rules are the ones this process's environment names.
  std::string pluginDir = fs::path(pluginPath).parent_path().string();
  if (pluginDir.empty() || pluginDir.back() != '/') pluginDir += '/';
  for (const RulesFolder& folder :
       RulesFolders(platform::kPathStyle, pluginDir, [](std::string_view name) {
         return platform::EnvironmentPath(std::string(name));
       })) {
    options.rulesFiles.push_back(folder.dir + std::string(kRulesFileName));
  }
  options.log = [log](const std::string& line) { log->Write(line); };
  std::string reason;
  std::unique_ptr<mount::MountSession> session =
      mount::MountSession::Mount(plugin, options, reason);
  if (!session) {
    err << "quendrix mount: " << reason << "\n";
    return kExitRefused;
  }
  if (!request.foreground) {
    // The command returns here, once the file system is mounted; a process
    // of its own serves it from now on.
    err << std::flush;
    if (fuse_daemonize(0) != 0) {
      err << "quendrix mount: cannot go on in the background\n";
      return kExitRefused;
    }
    log->ToSystemLog();
  }
  // libfuse answers a signal that ended the loop with its number.
  const int served = session->Serve(true);
  session.reset();
  return served >= 0 ? kExitDone : kExitMemberFailed;
}

int RunUnmount(const std::string& mountPoint, std::ostream& err) {
  std::string reason;
  if (mount::UnmountPath(mountPoint, false, reason)) return kExitDone;
  err << "quendrix unmount: " << reason << "\n";
  return kExitMemberFailed;
}

}  // namespace quendrix::host
