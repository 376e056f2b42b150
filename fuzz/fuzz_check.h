// A property check inside a fuzz target. A broken property must stop the
// run with a report in every build, the replay of regression inputs under
// CTest included, so it cannot depend on NDEBUG as assert does.
#pragma once

#include <cstdio>
#include <cstdlib>

#define QUENDRIX_FUZZ_CHECK(condition)                                  \
  do {                                                                  \
    if (!(condition)) {                                                 \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__,    \
                   __LINE__, #condition);                               \
      std::abort();                                                     \
    }                                                                   \
  } while (false)
