// The resident set of this process.
#pragma once

namespace quendrix::bench {

// In MiB, from /proc/self/statm; -1 when it cannot be read.
double ResidentMiB();

}  // namespace quendrix::bench
