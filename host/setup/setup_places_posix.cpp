// Where Double Commander and mc keep their files on Linux, and whether a
// Double Commander of this user runs.
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "setup/setup_command.h"

namespace quendrix::host {
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

// Whether a process of this user runs the program `name` (as the kernel
// names it: the first 15 bytes of its file name).
bool UserRunsProgram(const std::string& name) {
  const std::unique_ptr<DIR, int (*)(DIR*)> processes(opendir("/proc"), closedir);
  if (!processes) return false;
  const uid_t user = getuid();
  while (const dirent* process = readdir(processes.get())) {
    const std::string pid = process->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    struct stat owner {};
    if (stat(("/proc/" + pid).c_str(), &owner) != 0 || owner.st_uid != user) continue;
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string running;
    if (std::getline(comm, running) && running == name) return true;
  }
  return false;
}

// mc's own folders below the home folder: MC_HOME, when set to another
// folder than HOME, takes the place of the home folder for mc alone;
// otherwise mc goes by the XDG variables, as GLib reads them.
std::string McFolder(const char* xdgVariable, const char* belowHome) {
  const std::string mcHome = Variable("MC_HOME");
  const std::string home = Variable("HOME");
  if (!mcHome.empty() && mcHome != home) return mcHome + "/" + belowHome + "/mc";
  const std::string xdg = Variable(xdgVariable);
  if (!xdg.empty()) return xdg + "/mc";
  return (home.empty() ? AccountHome() : home) + "/" + belowHome + "/mc";
}

}  // namespace

SetupPlaces SetupPlaces::Platform() {
  SetupPlaces places;
  // Double Commander 1.0 takes ~/.config/doublecmd from the account's home
  // folder, whatever HOME or XDG_CONFIG_HOME say.
  places.doubleCommanderSettings = AccountHome() + "/.config/doublecmd/doublecmd.xml";
  places.doubleCommanderRunning = [] { return UserRunsProgram("doublecmd"); };
  places.mcUserFile = McFolder("XDG_CONFIG_HOME", ".config") + "/mc.ext.ini";
  places.mcSystemFiles = {"/etc/mc/mc.ext.ini", "/usr/share/mc/mc.ext.ini"};
  places.mcHelperFolders = {McFolder("XDG_DATA_HOME", ".local/share") + "/extfs.d",
                            "/usr/lib/mc/extfs.d", "/usr/libexec/mc/extfs.d"};
  return places;
}

}  // namespace quendrix::host
