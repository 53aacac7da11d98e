// Bytes written as hex in tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace ozr::testing {

// Bytes from hex groups separated by spaces; "ab12*3" is the group repeated 3 times.
inline std::vector<uint8_t> FromHex(const std::string& text) {
  std::vector<uint8_t> out;
  std::istringstream groups(text);
  for (std::string group; groups >> group;) {
    const size_t star = group.find('*');
    const int times = star == std::string::npos ? 1 : std::atoi(group.c_str() + star + 1);
    for (int t = 0; t < times; ++t) {
      for (size_t i = 0; i + 1 < std::min(star, group.size()); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(group.substr(i, 2), nullptr, 16)));
      }
    }
  }
  return out;
}

}  // namespace ozr::testing
