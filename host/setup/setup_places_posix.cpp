// Where Double Commander and mc keep their files on Linux, and whether a
// Double Commander of this user runs.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "setup/setup_command.h"

namespace quendrix::host {

namespace fs = std::filesystem;

namespace {

std::string Variable(const char* name) {
  return platform::EnvironmentValue(name, platform::TextEncoding::kUtf8);
}

// The home folder of the user's account, as the system's user database
// has it; $HOME where that has none.
std::string AccountHome() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (size <= 0) size = 16384;
  std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(size)]);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.get(), static_cast<std::size_t>(size), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
    return found->pw_dir;
  }
  return Variable("HOME");
}

// The processes of this user that run the program `name` (as the kernel
// names it: the first 15 bytes of its file name), by their numbers.
std::vector<std::string> ProcessesOfUser(const std::string& name) {
  std::vector<std::string> found;
  const std::unique_ptr<DIR, int (*)(DIR*)> processes(opendir("/proc"), closedir);
  if (!processes) return found;
  const uid_t user = getuid();
  while (const dirent* process = readdir(processes.get())) {
    const std::string pid = process->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    struct stat owner {};
    if (stat(("/proc/" + pid).c_str(), &owner) != 0 || owner.st_uid != user) continue;
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string running;
    if (std::getline(comm, running) && running == name) found.push_back(pid);
  }
  return found;
}

// The folder that the Double Commander of process `pid` keeps its settings
// in when its command line names one (--config-dir), made absolute from the
// folder it runs in; empty when it names none.
fs::path ConfigDirOfProcess(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/cmdline", std::ios::binary);
  std::vector<std::string> arguments;
  for (std::string argument; std::getline(in, argument, '\0');) arguments.push_back(argument);
  const std::string option = "--config-dir";
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    std::string dir;
    if (arguments[i].rfind(option + "=", 0) == 0) {
      dir = arguments[i].substr(option.size() + 1);
    } else if (arguments[i] == option && i + 1 < arguments.size()) {
      dir = arguments[i + 1];
    } else {
      continue;
    }
    std::error_code error;
    const fs::path cwd = fs::read_symlink("/proc/" + pid + "/cwd", error);
    return (cwd / dir).lexically_normal();
  }
  return {};
}

// Whether a Double Commander of this user runs that may have read
// `settings`: one whose command line names another settings folder has not.
bool DoubleCommanderMayWrite(const std::string& settings) {
  std::error_code error;
  const fs::path folder = fs::weakly_canonical(fs::absolute(settings).parent_path(), error);
  for (const std::string& pid : ProcessesOfUser("doublecmd")) {
    const fs::path dir = ConfigDirOfProcess(pid);
    if (dir.empty() || fs::weakly_canonical(dir, error) == folder) return true;
  }
  return false;
}

// mc's folders, as GLib gives them to mc (Debian's mc 4.8.29 reads no
// MC_HOME): the XDG variable's folder when it is set, else one below HOME.
std::string McFolder(const char* xdgVariable, const char* belowHome) {
  const std::string xdg = Variable(xdgVariable);
  if (!xdg.empty()) return xdg + "/mc";
  const std::string home = Variable("HOME");
  return (home.empty() ? AccountHome() : home) + "/" + belowHome + "/mc";
}

}  // namespace

SetupPlaces SetupPlaces::Platform() {
  SetupPlaces places;
  // Double Commander 1.0 takes ~/.config/doublecmd from the account's home
  // folder, whatever HOME or XDG_CONFIG_HOME say.
  places.doubleCommanderSettings = AccountHome() + "/.config/doublecmd/doublecmd.xml";
  places.doubleCommanderRunning = DoubleCommanderMayWrite;
  places.mcUserFile = McFolder("XDG_CONFIG_HOME", ".config") + "/mc.ext.ini";
  places.mcSystemFiles = {"/etc/mc/mc.ext.ini", "/usr/share/mc/mc.ext.ini"};
  places.mcHelperFolders = {McFolder("XDG_DATA_HOME", ".local/share") + "/extfs.d",
                            "/usr/lib/mc/extfs.d", "/usr/libexec/mc/extfs.d"};
  return places;
}

}  // namespace quendrix::host
