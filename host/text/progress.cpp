#include "text/progress.h"

#include <cstdio>
#include <ostream>

namespace quendrix::host {

Progress::Progress(std::ostream& out, bool enabled, std::size_t total)
    : out_(out),
      enabled_(enabled),
      total_(total),
      start_(std::chrono::steady_clock::now()) {}

Progress::~Progress() { Clear(); }

void Progress::Show(std::size_t number, std::string_view name) {
  number_ = number;
  name_ = name;
  bytes_ = -1;
  Render();
}

void Progress::ShowBytes(std::int64_t bytes) {
  bytes_ = bytes;
  Render();
}

void Progress::Render() {
  if (!enabled_) return;
  const double seconds = std::chrono::duration<double>(
                             std::chrono::steady_clock::now() - start_)
                             .count();
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f s", seconds);
  std::string line = "member " + std::to_string(number_) + " of " +
                     std::to_string(total_) + ", " + elapsed;
  if (bytes_ >= 0) line += ", " + std::to_string(bytes_) + " bytes";
  line += ": ";
  // A name with a line break or a very long one would break the line that
  // is rewritten in place.
  for (const char c : std::string_view(name_).substr(0, 60)) {
    line += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  }
  Clear();
  out_ << line << std::flush;
  shownLength_ = line.size();
}

void Progress::Clear() {
  if (!enabled_ || shownLength_ == 0) return;
  // Blanks rather than a terminal control sequence, which not every Windows
  // console understands.
  out_ << '\r' << std::string(shownLength_, ' ') << '\r' << std::flush;
  shownLength_ = 0;
}

}  // namespace quendrix::host
