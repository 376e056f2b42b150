#include "mount/mount_command.h"

#include <fuse.h>
#include <syslog.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <system_error>

#include "mount/mount_log_file.h"
#include "mount/mount_session.h"
#include "client/archive_session.h"
#include "cache/member_keys.h"
#include "rules/file_rules.h"

namespace quendrix::host {

namespace fs = std::filesystem;

namespace {

// Where the mount's warnings and failures go: the log file in the user's
// state folder, which every mount of the user shares and which needs no
// system log daemon to be read; and besides, standard error while the
// mount runs in the foreground, the system log once it runs on its own. A
// log file that cannot be written is told once, where the rest goes.
class MountLog {
 public:
  MountLog(std::ostream& err, std::string mountPoint, std::optional<mount::MountLogFile> file)
      : err_(err), mountPoint_(std::move(mountPoint)), file_(std::move(file)) {}

  void ToSystemLog() {
    const std::lock_guard lock(mutex_);
    openlog("quendrix", LOG_PID, LOG_USER);
    systemLog_ = true;
  }

  void Write(const std::string& line) {
    const std::lock_guard lock(mutex_);
    if (file_) {
      const std::time_t now = std::time(nullptr);
      std::tm local {};
      localtime_r(&now, &local);
      std::string error;
      if (!file_->Append(mount::MountLogEntry(local, mountPoint_, line), error) &&
          !fileFailed_) {
        fileFailed_ = true;
        WriteElsewhere("the log file cannot be written: " + error);
      }
    }
    WriteElsewhere(line);
  }

 private:
  void WriteElsewhere(const std::string& line) {
    if (systemLog_) {
      syslog(LOG_WARNING, "mount: %s", line.c_str());
    } else {
      err_ << "quendrix mount: " << line << "\n" << std::flush;
    }
  }

  std::ostream& err_;
  const std::string mountPoint_;
  const std::optional<mount::MountLogFile> file_;
  std::mutex mutex_;
  bool systemLog_ = false;
  bool fileFailed_ = false;
};

}  // namespace

int RunMount(const PluginClient& plugin, const std::string& pluginPath,
             const MountRequest& request, std::ostream& out, std::ostream& err) {
  std::error_code error;
  const fs::file_status source = fs::status(request.source, error);
  if (fs::is_regular_file(source)) {
    if (!PluginTakes(plugin, request.source)) {
      err << "quendrix mount: " << request.source
          << ": the rules do not serve this file\n";
      return kExitRefused;
    }
    // A file whose members cannot be listed (its list program fails) is not
    // mounted: the mount would show nothing but an error. It is a failure,
    // as `quendrix list` makes it. The plug-in keeps the list it made here,
    // so the mount's first look at the file runs no program again.
    std::string reason;
    std::int32_t openResult = 0;
    if (!ListArchive(plugin, request.source, reason, &openResult)) {
      err << "quendrix mount: " << request.source << ": " << reason << "\n";
      return RefusalExitCode(openResult);
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

  // The log file is made now, so that a folder that cannot be made is told
  // while standard error still reaches the user.
  std::optional<mount::MountLogFile> logFile;
  {
    mount::MountLogFile file(mount::MountLogPathOfProcess());
    std::string fileError;
    if (file.Prepare(fileError)) {
      logFile = std::move(file);
    } else {
      err << "quendrix mount: warnings and failures cannot be kept in a log file: "
          << fileError << "\n";
    }
  }
  const std::string logPath = logFile ? logFile->path() : std::string();
  auto log = std::make_shared<MountLog>(err, request.mountPoint, std::move(logFile));
  mount::MountOptions options;
  options.source = request.source;
  options.mountPoint = request.mountPoint;
  // The plug-in serving the mount runs in this process, so the places it
  // looks for its rules are the ones this process's environment names.
  std::string pluginDir = fs::path(pluginPath).parent_path().string();
  if (pluginDir.empty() || pluginDir.back() != '/') pluginDir += '/';
  for (const RulesFolder& folder : FindRulesInUse(pluginDir, HostLookupServices()).folders) {
    options.rulesFiles.push_back(folder.RulesPath());
  }
  options.pluginDir = pluginDir;
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
    // of its own serves it from now on. The log file's path goes to standard
    // output, so that standard error stays empty when all went well: a file
    // manager that mounts through this command (vifm's FUSE_MOUNT) shows
    // what it finds there as an error.
    if (!logPath.empty()) {
      out << "quendrix mount: warnings and failures are logged in " << logPath << "\n";
    }
    out << std::flush;
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
