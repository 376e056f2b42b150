#include "support/resident_memory.h"

#include <unistd.h>

#include <cstdio>

namespace quendrix::bench {

double ResidentMiB() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return -1;
  long total = 0;
  long resident = 0;
  const int read = std::fscanf(statm, "%ld %ld", &total, &resident);
  std::fclose(statm);
  if (read != 2) return -1;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

}  // namespace quendrix::bench
