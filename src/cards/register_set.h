#pragma once

// One register set of a card as the Registers view lists it: position i lies at
// offset i * stride; a null name is a position that is not shown. Tables end
// with a descriptor whose name is null.
struct RegisterSet {
  const char* name;
  int count;
  int width;  // bits: 32 or 16
  int stride;
  const char* const* names;
};

// A list of test names ends with a null pointer; position i runs test i.
using TestNameList = const char* const*;
