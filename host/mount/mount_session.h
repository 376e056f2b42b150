// A mounted, read-only FUSE file system that shows a file's members, or a
// folder with the members of each file that the rules serve (libfuse 3,
// multithreaded).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/plugin_client.h"

namespace quendrix::host::mount {

// The extended attribute of a member whose make failed: the reason, until
// the member is made, or its file or the rules change.
inline constexpr const char* kErrorAttribute = "user.quendrix.error";

struct MountOptions {
  std::string source;      // absolute: a file or a folder
  std::string mountPoint;  // absolute: an existing folder
  // Every place a rules file may lie, in the plug-in's order: a change to
  // any of them makes the made members stale.
  std::vector<std::string> rulesFiles;
  // Where the mount's own folder of made members is made; empty:
  // $XDG_RUNTIME_DIR, else the system's temporary folder.
  std::string cacheParent;
  // The folder of the plug-in (ending in '/'), whose rules and programs
  // say where the user's cache of made members keeps a member of a section
  // with Cache=1, which the mount then reads from there. Empty: every
  // member stays in the mount's own folder.
  std::string pluginDir;
  // Receives each warning and each failure, one line without its newline,
  // possibly from several threads at once.
  std::function<void(const std::string&)> log;
};

class MountSession {
 public:
  // Makes the mount's folder of made members and mounts; nothing, with the
  // reason in `error`, when either fails.
  static std::unique_ptr<MountSession> Mount(const PluginClient& plugin,
                                             MountOptions options,
                                             std::string& error);
  // Unmounts when still mounted, stops the makes under way and removes the
  // mount's folder of made members (the user's cache keeps its entries).
  ~MountSession();
  MountSession(const MountSession&) = delete;
  MountSession& operator=(const MountSession&) = delete;

  // Serves requests on several threads until the file system is unmounted
  // (Unmount, `fusermount3 -u`, `quendrix unmount`) or, with
  // `handleSignals`, until SIGINT, SIGTERM or SIGHUP. 0 when it ended in
  // order.
  int Serve(bool handleSignals);

  // Unmounts from another thread, which ends Serve.
  void Unmount();

  const std::string& cacheFolder() const;

  struct State;

 private:
  explicit MountSession(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Unmounts the quendrix mount at `mountPoint`, as `fusermount3 -u` does; the
// reason in `error` when it cannot.
bool UnmountPath(const std::string& mountPoint, bool lazy, std::string& error);

}  // namespace quendrix::host::mount
