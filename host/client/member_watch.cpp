#include "client/member_watch.h"

#include "platform/platform.h"

namespace quendrix::host {

MemberWatch& MemberWatch::Instance() {
  static MemberWatch watch;
  return watch;
}

void MemberWatch::SetInterruptSource(std::function<bool()> interrupted) {
  interrupted_ = std::move(interrupted);
}

bool MemberWatch::Interrupted() const {
  return interrupted_ ? interrupted_() : platform::InterruptRequested();
}

void MemberWatch::Begin(std::chrono::milliseconds limit,
                        std::function<void(std::int64_t)> onBytes) {
  onBytes_ = std::move(onBytes);
  limit_ = limit;
  start_ = std::chrono::steady_clock::now();
  bytes_ = 0;
  active_ = true;
  stopReason_ = StopReason::kNone;
}

void MemberWatch::End() {
  active_ = false;
  onBytes_ = nullptr;
}

int MemberWatch::OnReport(int size) {
  if (!active_) return 1;
  // Sizes from -1 to -100 are percentages in the interface; only bytes
  // are counted.
  if (size > 0) bytes_ += size;
  if (onBytes_) onBytes_(bytes_);
  if (Interrupted()) {
    stopReason_ = StopReason::kInterrupted;
  } else if (limit_.count() > 0 &&
             std::chrono::steady_clock::now() - start_ > limit_) {
    stopReason_ = StopReason::kTimedOut;
  }
  return stopReason_ == StopReason::kNone ? 1 : 0;
}

int QUENDRIX_WCX_CALL MemberWatch::Report(char* /*name*/, int size) {
  return Instance().OnReport(size);
}

}  // namespace quendrix::host
