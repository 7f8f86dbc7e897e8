#pragma once

// The packet engine's invariant checks. They hold in correct operation; when one
// does not, continuing would corrupt the rings or DMA memory, so the program
// stops with the expression and the source name in every build type.
[[noreturn]] void r83drv_assert_failed(const char* expression, const char* source, int line);

#define R83_ASSERT(expression) \
  ((expression) ? static_cast<void>(0) : r83drv_assert_failed(#expression, "r83drv", __LINE__))
