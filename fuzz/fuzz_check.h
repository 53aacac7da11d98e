// Checks inside fuzz targets: a broken one says what broke and aborts, which libFuzzer and the
// corpus replay both report as a failure.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ozr::fuzz {

inline void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// `violation` empty means every rule held.
inline void CheckNone(const std::string& violation) {
  if (violation.empty()) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", violation.c_str());
  std::abort();
}

}  // namespace ozr::fuzz
