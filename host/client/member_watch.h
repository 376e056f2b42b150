// The host's side of a plug-in's progress callback while one member is
// made: the bytes so far, and whether to stop (Ctrl+C, or a time limit).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "interface/wcx.h"

namespace quendrix::host {

// Why the host asked the plug-in to stop the member being made.
enum class StopReason { kNone, kInterrupted, kTimedOut };

// The callback a plug-in calls carries no context of the host's, so there
// is one watch per process, and the host makes one member at a time.
class MemberWatch {
 public:
  static MemberWatch& Instance();

  // Where a Ctrl+C is learnt of; the platform's by default, the tests'
  // own in tests.
  void SetInterruptSource(std::function<bool()> interrupted);
  bool Interrupted() const;

  // Starts watching a member: no bytes yet, the clock from now; a zero
  // `limit` sets no time limit. `onBytes` is told the bytes so far after
  // every report.
  void Begin(std::chrono::milliseconds limit,
             std::function<void(std::int64_t)> onBytes);
  // Ends the watch; reports that come after it are answered "go on".
  void End();

  // What the last member's watch asked for.
  StopReason stopReason() const { return stopReason_; }

  // The plug-in's progress callback: `size` bytes more were made. Returns
  // 0 to ask the plug-in to stop, 1 to go on.
  static int QUENDRIX_WCX_CALL Report(char* name, int size);

 private:
  int OnReport(int size);

  std::function<bool()> interrupted_;
  std::function<void(std::int64_t)> onBytes_;
  std::chrono::milliseconds limit_{0};
  std::chrono::steady_clock::time_point start_;
  std::int64_t bytes_ = 0;
  bool active_ = false;
  StopReason stopReason_ = StopReason::kNone;
};

}  // namespace quendrix::host
