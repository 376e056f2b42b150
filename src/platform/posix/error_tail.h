// POSIX: the end of what a hidden program writes to its standard error.
#pragma once

#include <cstddef>
#include <string>

#include "platform/posix/descriptor.h"

namespace quendrix::platform {

// The reading end of a pipe that a started program writes its standard
// error into, and the last `limit` bytes read from it. The pipe is drained
// whenever it has data, so a program that writes megabytes never blocks on
// a full pipe, while the memory kept stays bounded.
class ErrorTail {
 public:
  // Makes the pipe; IsOpen is false when the system gives none, and the
  // program's standard error then goes where its output goes.
  explicit ErrorTail(std::size_t limit);
  ~ErrorTail() { CloseWriteEnd(); }
  ErrorTail(const ErrorTail&) = delete;
  ErrorTail& operator=(const ErrorTail&) = delete;

  bool IsOpen() const { return read_.IsOpen(); }
  // The end the program writes into, until CloseWriteEnd after its start.
  int writeEnd() const { return write_; }
  void CloseWriteEnd();
  // The end to poll; -1 once every writer has closed the pipe.
  int readEnd() const { return finished_ ? -1 : read_.get(); }

  // Reads whatever the pipe holds now, without waiting.
  void Drain();
  // What was kept, the oldest byte first.
  std::string Take();

 private:
  std::size_t limit_;
  int write_ = -1;
  Descriptor read_;
  bool finished_ = false;
  std::string kept_;
};

}  // namespace quendrix::platform
