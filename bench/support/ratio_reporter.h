// Prints the benchmarks as the console reporter does, then the ratios that
// quendrix promises, each from the medians of two benchmarks of the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace quendrix::bench {

// Which time of a benchmark a promise compares. Work done on the calling
// thread is judged by its CPU time, which other programs on a busy machine
// do not inflate; waiting for a started program only by the real time.
enum class Clock { kCpu, kReal };

// One promise: the median time of `measured` divided by that of `baseline`
// is at most `limit`; without a baseline, the median of `measured` in
// milliseconds is at most `limit`. `counter`, when set, names a user counter
// of `measured` that is compared instead of its time.
struct Promise {
  std::string what;
  std::string measured;
  std::string baseline;
  double limit = 0;
  Clock clock = Clock::kCpu;
  std::string counter;
  // The difference of the two medians in milliseconds instead of their
  // ratio.
  bool difference = false;
};

// The limit of a figure that is printed for the record but promises nothing.
inline constexpr double kMeasuredOnly = -1;

// A ratio of the medians of two benchmarks.
Promise Ratio(std::string what, std::string measured, std::string baseline,
              double limit, Clock clock = Clock::kCpu);
// The median of `measured` less that of `baseline`, in milliseconds: what
// the one adds to the other.
Promise Difference(std::string what, std::string measured, std::string baseline,
                   double limitMs, Clock clock = Clock::kCpu);
// A median in milliseconds, or the value of a counter, against a bound.
Promise Bound(std::string what, std::string measured, double limit,
              std::string counter = "");

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::vector<Promise> promises);

  void ReportRuns(const std::vector<Run>& runs) override;

  // Prints one line per promise whose benchmarks ran; false when one of
  // them is broken.
  bool PrintPromises(std::ostream& out) const;

 private:
  std::optional<double> MedianOf(const std::string& name, Clock clock) const;

  std::vector<Promise> promises_;
  // Per clock and benchmark (its name without aggregate suffix): the time
  // of each repetition in nanoseconds, or the median the run reported, and
  // the last value of each counter.
  std::map<std::pair<Clock, std::string>, std::vector<double>> times_;
  std::map<std::pair<Clock, std::string>, double> medians_;
  std::map<std::string, std::map<std::string, double>> counters_;
};

}  // namespace quendrix::bench
