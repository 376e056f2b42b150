// POSIX: what a started program writes into a pipe, read while it runs.
#pragma once

#include <cstddef>
#include <string>

#include "platform/posix/descriptor.h"

namespace quendrix::platform {

// The reading end of a pipe that started programs write into, and what was
// read from it, bounded: the end of a program's standard error, where a
// failing program says why, or the start of its standard output, which the
// host reads. The pipe is drained whenever it has data, so a program that
// writes megabytes never blocks on a full pipe while the memory kept stays
// bounded.
class PipeReader {
 public:
  enum class Keep {
    kEnd,    // the last `limit` bytes
    kStart,  // the first `limit` bytes; past them the reader is full
  };

  // Makes the pipe; IsOpen is false when the system gives none.
  PipeReader(std::size_t limit, Keep keep);
  ~PipeReader() { CloseWriteEnd(); }
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;

  bool IsOpen() const { return read_.IsOpen(); }
  // The end the programs write into, until CloseWriteEnd after their start.
  int writeEnd() const { return write_; }
  void CloseWriteEnd();
  // The end to poll; -1 once every writer has closed the pipe, or once a
  // reader that keeps the start is full.
  int readEnd() const { return finished_ || full_ ? -1 : read_.get(); }
  // Whether more than `limit` bytes came (Keep::kStart).
  bool full() const { return full_; }

  // Reads whatever the pipe holds now, without waiting.
  void Drain();
  // What was kept, the oldest byte first, at most `limit` bytes.
  std::string Take();

 private:
  std::size_t limit_;
  Keep keep_;
  int write_ = -1;
  Descriptor read_;
  bool finished_ = false;
  bool full_ = false;
  std::string kept_;
};

}  // namespace quendrix::platform
