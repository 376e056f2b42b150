// POSIX: waiting for a child process with a time limit, and looking into a
// process group.
#include "platform/posix/child_exit.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace quendrix::platform {
namespace {

constexpr std::chrono::milliseconds kLookStep{5};

int OpenProcessDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

// Whether the child has ended, without reaping it.
bool HasEnded(pid_t pid) {
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    // Someone else reaped it (a host that ignores SIGCHLD): it has ended.
    return errno == ECHILD;
  }
  return info.si_pid == pid;
}

// The state letter and process group of the process whose /proc entry is
// `name`, read from its stat line, whose second field (the command name, in
// parentheses) may itself hold blanks and parentheses.
bool ReadStat(const char* name, char& state, long& group) {
  const std::string path = std::string("/proc/") + name + "/stat";
  std::FILE* file = std::fopen(path.c_str(), "re");
  if (file == nullptr) return false;
  char line[1024];
  const std::size_t length = std::fread(line, 1, sizeof line - 1, file);
  std::fclose(file);
  line[length] = '\0';
  const char* end = nullptr;
  for (const char* p = line; *p != '\0'; ++p) {
    if (*p == ')') end = p;
  }
  if (end == nullptr) return false;
  long parent = 0;
  return std::sscanf(end + 1, " %c %ld %ld", &state, &parent, &group) == 3;
}

}  // namespace

ChildExit::ChildExit(const std::vector<pid_t>& pids) {
  children_.reserve(pids.size());
  for (const pid_t pid : pids) {
    children_.push_back(Child{pid, std::make_unique<Descriptor>(OpenProcessDescriptor(pid))});
  }
}

bool ChildExit::AllEnded() const {
  return std::all_of(children_.begin(), children_.end(),
                     [](const Child& child) { return child.ended; });
}

bool ChildExit::WaitFor(std::chrono::milliseconds limit, PipeReader* first,
                        PipeReader* second) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const auto remaining = [&deadline] {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
  };
  PipeReader* const readers[] = {first, second};
  const auto full = [&readers] {
    return std::any_of(std::begin(readers), std::end(readers),
                       [](const PipeReader* reader) { return reader != nullptr && reader->full(); });
  };
  const bool descriptors =
      std::all_of(children_.begin(), children_.end(),
                  [](const Child& child) { return child.descriptor->IsOpen(); });
  if (descriptors) {
    std::vector<pollfd> entries;
    for (;;) {
      if (AllEnded()) return true;
      if (full()) return false;
      // The pipes come first; a negative descriptor is passed over by poll,
      // so a pipe whose writers have all gone wakes nobody.
      entries.clear();
      for (const PipeReader* reader : readers) {
        entries.push_back(pollfd{reader != nullptr ? reader->readEnd() : -1, POLLIN, 0});
      }
      for (const Child& child : children_) {
        entries.push_back(pollfd{child.ended ? -1 : child.descriptor->get(), POLLIN, 0});
      }
      const int ready = poll(entries.data(), entries.size(), remaining());
      if (ready < 0) {
        // An interrupted poll counts as a step without news.
        if (errno != EINTR) {
          for (Child& child : children_) child.ended = child.ended || HasEnded(child.pid);
          return AllEnded();
        }
        if (remaining() == 0) return false;
        continue;
      }
      for (std::size_t i = 0; i < std::size(readers); ++i) {
        if (entries[i].revents != 0) readers[i]->Drain();
      }
      for (std::size_t i = 0; i < children_.size(); ++i) {
        if (entries[i + std::size(readers)].revents != 0) children_[i].ended = true;
      }
      if (AllEnded()) return true;
      if (ready == 0 || remaining() == 0) return false;
    }
  }
  for (;;) {
    for (PipeReader* reader : readers) {
      if (reader != nullptr) reader->Drain();
    }
    for (Child& child : children_) child.ended = child.ended || HasEnded(child.pid);
    if (AllEnded()) return true;
    if (full() || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kLookStep);
  }
}

bool GroupHasLiveMember(pid_t group) {
  if (kill(-group, 0) != 0) return errno == EPERM;
  // Without /proc the group's members cannot be told apart from zombies.
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return true;
  bool live = false;
  while (const dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    char state = 0;
    long memberGroup = 0;
    if (ReadStat(entry->d_name, state, memberGroup) && memberGroup == group &&
        state != 'Z' && state != 'X') {
      live = true;
      break;
    }
  }
  closedir(proc);
  return live;
}

}  // namespace quendrix::platform
