// The progress line of a long extraction: member n of m, the time spent and
// the bytes of the member made so far.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace quendrix::host {

// Writes one line that is rewritten in place, so it is only shown where a
// person watches a terminal; elsewhere every call does nothing.
class Progress {
 public:
  Progress(std::ostream& out, bool enabled, std::size_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Shows that member `number` (from 1) of the total, named `name`, is
  // being made.
  void Show(std::size_t number, std::string_view name);
  // Shows the bytes made so far of the member shown.
  void ShowBytes(std::int64_t bytes);
  // Removes the line, so that other output starts on a clean line.
  void Clear();

 private:
  std::ostream& out_;
  bool enabled_;
  std::size_t total_;
  std::size_t shownLength_ = 0;
  std::size_t number_ = 0;
  std::string name_;
  std::int64_t bytes_ = -1;  // none reported yet

  void Render();
  std::chrono::steady_clock::time_point start_;
};

}  // namespace quendrix::host
