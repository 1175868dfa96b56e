#pragma once
// What every fuzz target asserts: a broken promise stops the run with the input saved.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                   \
  do {                                                          \
    if (!(condition)) {                                         \
      std::fprintf(stderr, "broken promise: %s\n", #condition); \
      std::abort();                                             \
    }                                                           \
  } while (0)
