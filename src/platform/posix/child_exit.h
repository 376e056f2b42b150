// POSIX: waiting for a child process with a time limit.
#pragma once

#include <sys/types.h>

#include <chrono>

#include "platform/posix/descriptor.h"
#include "platform/posix/error_tail.h"

namespace quendrix::platform {

// Tells when a child has ended, without reaping it. Linux hands out a
// descriptor for the process that becomes readable when it ends, so a wait
// with a time limit sleeps in poll() and wakes the moment the child ends;
// where that is missing, the wait looks at the child every few milliseconds.
// No signal handler is involved: the host owns SIGCHLD.
class ChildExit {
 public:
  explicit ChildExit(pid_t pid);

  // True once the child has ended (it stays unreaped for waitpid); false when
  // `limit` passed first. With a `tail`, its pipe is drained meanwhile
  // whenever it has data.
  bool WaitFor(std::chrono::milliseconds limit, ErrorTail* tail = nullptr);

 private:
  pid_t pid_;
  Descriptor processDescriptor_;
};

// Whether the process group `group` still holds a process that has not
// ended. A process that has ended but is not yet reaped counts as ended:
// its parent may be gone, and some containers have no first process that
// reaps orphans.
bool GroupHasLiveMember(pid_t group);

}  // namespace quendrix::platform
