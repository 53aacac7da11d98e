// Checks inside fuzz targets: a broken one says what broke and aborts, which libFuzzer and the
// replay of saved inputs both report as a failure.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ozr::fuzz {

// `what` is the rule; an empty `violation` (for rules checked elsewhere) means it held.
inline void Check(bool holds, const std::string& what, const std::string& violation = {}) {
  if (holds && violation.empty()) return;
  std::fprintf(stderr, "fuzz check failed: %s %s\n", what.c_str(), violation.c_str());
  std::abort();
}

}  // namespace ozr::fuzz
