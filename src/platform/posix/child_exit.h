// POSIX: waiting for a child process with a time limit.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <vector>

#include "platform/posix/descriptor.h"
#include "platform/posix/pipe_reader.h"

namespace quendrix::platform {

// Tells when children have ended, without reaping them. Linux hands out a
// descriptor for a process that becomes readable when it ends, so a wait
// with a time limit sleeps in poll() and wakes the moment a child ends;
// where that is missing, the wait looks at the children every few
// milliseconds. No signal handler is involved: the host owns SIGCHLD.
class ChildExit {
 public:
  explicit ChildExit(pid_t pid) : ChildExit(std::vector<pid_t>{pid}) {}
  // The programs of a pipeline, waited for together.
  explicit ChildExit(const std::vector<pid_t>& pids);

  // True once every child has ended (each stays unreaped for waitpid);
  // false when `limit` passed first, or when a reader that keeps the start
  // of its pipe became full. The `readers`' pipes (null ones are passed
  // over) are drained meanwhile whenever they have data.
  bool WaitFor(std::chrono::milliseconds limit, PipeReader* first = nullptr,
               PipeReader* second = nullptr);

 private:
  struct Child {
    pid_t pid;
    std::unique_ptr<Descriptor> descriptor;
    bool ended = false;
  };
  bool AllEnded() const;

  std::vector<Child> children_;
};

// Whether the process group `group` still holds a process that has not
// ended. A process that has ended but is not yet reaped counts as ended:
// its parent may be gone, and some containers have no first process that
// reaps orphans.
bool GroupHasLiveMember(pid_t group);

}  // namespace quendrix::platform
