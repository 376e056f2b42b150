// The host's standard output and error: UTF-8 text that reaches a Windows
// console as characters and anything else as UTF-8 bytes.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

#include "platform/platform.h"

namespace quendrix::host {

class StandardTextStream {
 public:
  explicit StandardTextStream(platform::StandardStream which);
  ~StandardTextStream();
  StandardTextStream(const StandardTextStream&) = delete;
  StandardTextStream& operator=(const StandardTextStream&) = delete;

  std::ostream& stream() { return stream_; }

 private:
  // Collects text until a line ends or the stream is flushed, and hands on
  // only whole UTF-8 sequences, so that a character is never split between
  // two writes to a console.
  class Buffer final : public std::streambuf {
   public:
    explicit Buffer(platform::StandardStream which) : which_(which) {}
    // Hands on everything, an incomplete sequence at the end included.
    void FlushAll();

   protected:
    int_type overflow(int_type c) override;
    int sync() override;

   private:
    void FlushWhole();

    platform::StandardStream which_;
    std::string pending_;
  };

  Buffer buffer_;
  std::ostream stream_;
};

}  // namespace quendrix::host
