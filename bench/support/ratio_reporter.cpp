#include "support/ratio_reporter.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace quendrix::bench {
namespace {

std::optional<double> Median(std::vector<double> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1
             ? values[middle]
             : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

Promise Ratio(std::string what, std::string measured, std::string baseline,
              double limit, Clock clock) {
  Promise promise;
  promise.what = std::move(what);
  promise.measured = std::move(measured);
  promise.baseline = std::move(baseline);
  promise.limit = limit;
  promise.clock = clock;
  return promise;
}

Promise Difference(std::string what, std::string measured, std::string baseline,
                   double limitMs, Clock clock) {
  Promise promise = Ratio(std::move(what), std::move(measured), std::move(baseline), limitMs, clock);
  promise.difference = true;
  return promise;
}

Promise Bound(std::string what, std::string measured, double limit,
              std::string counter) {
  Promise promise;
  promise.what = std::move(what);
  promise.measured = std::move(measured);
  promise.limit = limit;
  promise.counter = std::move(counter);
  return promise;
}

RatioReporter::RatioReporter(std::vector<Promise> promises)
    : ConsoleReporter(OO_Tabular), promises_(std::move(promises)) {}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    const std::string name = run.run_name.str();
    const double toNanoseconds =
        1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    const std::pair<Clock, double> times[] = {
        {Clock::kCpu, run.GetAdjustedCPUTime() * toNanoseconds},
        {Clock::kReal, run.GetAdjustedRealTime() * toNanoseconds}};
    for (const auto& [clock, nanoseconds] : times) {
      if (run.run_type == Run::RT_Aggregate) {
        // With --benchmark_report_aggregates_only the repetitions themselves
        // never arrive; their median does.
        if (run.aggregate_name == "median") medians_[{clock, name}] = nanoseconds;
      } else {
        times_[{clock, name}].push_back(nanoseconds);
      }
    }
    if (run.run_type == Run::RT_Aggregate) continue;
    for (const auto& [counter, value] : run.counters) {
      counters_[name][counter] = value.value;
    }
  }
}

std::optional<double> RatioReporter::MedianOf(const std::string& name,
                                              Clock clock) const {
  if (const auto found = medians_.find({clock, name}); found != medians_.end()) {
    return found->second;
  }
  if (const auto found = times_.find({clock, name}); found != times_.end()) {
    return Median(found->second);
  }
  return std::nullopt;
}

bool RatioReporter::PrintPromises(std::ostream& out) const {
  bool kept = true;
  out << "\nPromises (medians of this run):\n";
  for (const Promise& promise : promises_) {
    std::optional<double> measured;
    if (!promise.counter.empty()) {
      const auto found = counters_.find(promise.measured);
      if (found != counters_.end() && found->second.count(promise.counter)) {
        measured = found->second.at(promise.counter);
      }
    } else {
      measured = MedianOf(promise.measured, promise.clock);
    }
    if (!measured) continue;

    double value = *measured;
    if (!promise.baseline.empty()) {
      const std::optional<double> baseline =
          MedianOf(promise.baseline, promise.clock);
      if (!baseline) continue;
      value = promise.difference ? (*measured - *baseline) / 1e6 : *measured / *baseline;
    } else if (promise.counter.empty()) {
      value = *measured / 1e6;  // nanoseconds to milliseconds
    }
    char line[256];
    const char* clock = !promise.counter.empty()       ? "    "
                        : promise.clock == Clock::kCpu ? "cpu "
                                                       : "real";
    if (promise.limit == kMeasuredOnly) {
      std::snprintf(line, sizeof line, "  %-58s %s %10.3f  (measured, no bound)\n",
                    promise.what.c_str(), clock, value);
      out << line;
      continue;
    }
    const bool holds = value <= promise.limit;
    kept = kept && holds;
    std::snprintf(line, sizeof line, "  %-58s %s %10.3f  (at most %g)  %s\n",
                  promise.what.c_str(), clock, value, promise.limit,
                  holds ? "holds" : "BROKEN");
    out << line;
  }
  return kept;
}

}  // namespace quendrix::bench
