#include "hw/r83drv_assert.h"

#include <cstdio>
#include <cstdlib>

void r83drv_assert_failed(const char* expression, const char* source, int line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, source, line);
  std::fflush(stderr);
  std::abort();
}
