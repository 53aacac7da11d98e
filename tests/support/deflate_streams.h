// Deflate data for tests and fuzzing: literal streams written as hex, and a generator that turns
// fuzz bytes into blocks whose codes may be complete, incomplete, over-subscribed, of one codeword
// or empty, declare up to 288 and 32 codes, overrun their code-length runs or use symbols zlib
// refuses. Mutating such a recipe reaches the decoders' corners far more often than mutating bits.
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

// Deflate bits: fields least significant bit first.
struct BitWriter {
  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Push((value >> i) & 1);
  }
  void Push(uint32_t bit) {
    if (used == 0) bytes.push_back(0);
    bytes.back() |= static_cast<uint8_t>(bit << used);
    used = (used + 1) % 8;
  }
  std::vector<uint8_t> bytes;
  int used = 0;
};

// A canonical Huffman code of the given lengths (0: no codeword).
struct HuffmanCode {
  explicit HuffmanCode(std::vector<int> l) : lengths(std::move(l)), codes(lengths.size()) {
    int count[16] = {};
    for (const int n : lengths) ++count[n];
    uint32_t next[16] = {};
    for (int n = 2; n < 16; ++n) next[n] = (next[n - 1] + uint32_t(count[n - 1])) << 1;
    for (size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
    }
  }
  // Codewords go most significant bit first; a symbol without one is written as the bit 1.
  void Put(BitWriter& w, int symbol) const {
    const int n = size_t(symbol) < lengths.size() ? lengths[size_t(symbol)] : 0;
    if (n == 0) w.Push(1);
    for (int i = n - 1; i >= 0; --i) w.Push((codes[size_t(symbol)] >> i) & 1);
  }
  std::vector<int> lengths;
  std::vector<uint32_t> codes;
};

// Raw deflate data (no zlib header) from a recipe of fuzz bytes; bytes past the end read as 0.
class DeflateGenerator {
 public:
  DeflateGenerator(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  std::vector<uint8_t> Generate() {
    const int blocks = 1 + Byte() % 3;
    for (int b = 0; b < blocks; ++b) {
      const bool last = b == blocks - 1;
      const int kind = Byte() % 4;
      if (kind == 0) Stored(last);
      if (kind == 1) Fixed(last);
      if (kind >= 2) Dynamic(last);
    }
    return out_.bytes;
  }

 private:
  uint8_t Byte() { return next_ < size_ ? data_[next_++] : 0; }

  void Stored(bool last) {
    out_.Bits(last, 3);  // the last-block bit, then block type 0
    out_.used = 0;
    const uint16_t length = Byte();
    const bool wrong = Byte() % 16 == 0;  // lengths that disagree
    out_.Bits(length | uint32_t(uint16_t(~length) ^ (wrong ? 1 : 0)) << 16, 32);
    for (int i = 0; i < length; ++i) out_.Bits(Byte(), 8);
    produced_ += length;
  }

  void Fixed(bool last) {
    out_.Bits(last | 1 << 1, 3);
    std::vector<int> literals(288, 8);
    std::fill(literals.begin() + 144, literals.begin() + 256, 9);
    std::fill(literals.begin() + 256, literals.begin() + 280, 7);
    Symbols(HuffmanCode(literals), HuffmanCode(std::vector<int>(32, 5)));
  }

  // A complete code over `used` made by splitting leaves, then spoilt as `shape` says: 1
  // incomplete, 2 one codeword, 3 empty, 4 over-subscribed.
  std::vector<int> Lengths(int count, const std::vector<int>& used, int shape) {
    std::vector<int> lengths(size_t(count), 0);
    if (shape == 3 || used.empty()) return lengths;
    if (shape == 2) {
      lengths[size_t(used.front())] = 1;
      return lengths;
    }
    std::vector<int> leaves = {0};
    while (leaves.size() < used.size()) {
      const size_t pick = Byte() % leaves.size();
      if (leaves[pick] >= 15) break;
      const int depth = ++leaves[pick];
      leaves.push_back(depth);
    }
    if (shape == 4) leaves.push_back(leaves.back());
    if (shape == 1 && leaves.size() > 1) leaves.pop_back();
    for (size_t i = 0; i < leaves.size() && i < used.size(); ++i) {
      lengths[size_t(used[i])] = std::max(1, leaves[i]);
    }
    return lengths;
  }

  std::vector<int> PickSymbols(int count, int howMany, int always) {
    std::vector<int> used;
    if (always >= 0) used.push_back(always);
    for (int i = 0; i < howMany; ++i) {
      const int s = int(Byte() | (Byte() << 8)) % count;
      if (std::find(used.begin(), used.end(), s) == used.end()) used.push_back(s);
    }
    return used;
  }

  void Dynamic(bool last) {
    const int literalCount = 257 + Byte() % 32;
    const int distanceCount = 1 + Byte() % 32;
    const uint8_t shapes = Byte();
    const std::vector<int> literals =
        Lengths(literalCount, PickSymbols(literalCount, 2 + Byte() % 40, 256), (shapes & 7) % 5);
    const std::vector<int> distances =
        Lengths(distanceCount, PickSymbols(distanceCount, 1 + Byte() % 8, -1), (shapes >> 3) % 5);
    // The block header, then the counts of codes: all 19 code-length codes.
    out_.Bits(last | 2 << 1 | (literalCount - 257) << 3 | (distanceCount - 1) << 8 | 15 << 13, 17);
    // A complete code-length code: symbols 0..12 of 4 bits, 13..18 of 5 bits.
    std::vector<int> pre(19, 4);
    std::fill(pre.begin() + 13, pre.end(), 5);
    for (const int s : {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15}) {
      out_.Bits(uint32_t(pre[size_t(s)]), 3);
    }
    const HuffmanCode lengthCode(pre);
    std::vector<int> all = literals;
    all.insert(all.end(), distances.begin(), distances.end());
    const bool overrun = (shapes & 0x40) != 0;
    for (size_t i = 0; i < all.size();) {
      size_t run = 1;
      while (i + run < all.size() && all[i + run] == all[i] && run < 138) ++run;
      if (all[i] == 0 && (run >= 3 || (overrun && i + run == all.size()))) {
        const size_t take = std::max<size_t>(3, run);
        lengthCode.Put(out_, take <= 10 ? 17 : 18);
        out_.Bits(uint32_t(take - (take <= 10 ? 3 : 11)), take <= 10 ? 3 : 7);
        i += take;
      } else if (i > 0 && all[i] == all[i - 1] && run >= 3 && (shapes & 0x80)) {
        const size_t take = std::min<size_t>(run, 6);
        lengthCode.Put(out_, 16);
        out_.Bits(uint32_t(take - 3), 2);
        i += take;
      } else {
        lengthCode.Put(out_, all[i++]);
      }
    }
    Symbols(HuffmanCode(literals), HuffmanCode(distances));
  }

  // Literals and matches, then the end of the block.
  void Symbols(const HuffmanCode& literals, const HuffmanCode& distances) {
    // The first distance of each distance symbol, 30 and 31 taken as 29.
    const auto base = [](int d) {
      d = std::min(d, 29);
      return d < 4 ? d + 1 : ((2 + d % 2) << (d / 2 - 1)) + 1;
    };
    const int count = Byte();
    for (int i = 0; i < count; ++i) {
      const uint8_t kind = Byte();
      if (kind % 3 != 2) {
        literals.Put(out_, Byte());
        ++produced_;
        continue;
      }
      const int length = 257 + Byte() % 31;
      literals.Put(out_, length);
      const int code = length - 257;
      out_.Bits(Byte(), code >= 8 && code < 28 ? (code - 4) / 4 : 0);
      int distance = Byte() % 32;
      if (kind & 0x80) {  // mostly a distance the output so far can serve
        while (distance > 0 && base(distance) > produced_) --distance;
      }
      distances.Put(out_, distance);
      const int extra = distance < 4 ? 0 : std::min(13, (distance - 2) / 2);
      out_.Bits(Byte() & ((1u << extra) - 1), extra);
      produced_ += 3;
    }
    literals.Put(out_, 256);
  }

  const uint8_t* data_;
  size_t size_;
  size_t next_ = 0;
  int produced_ = 0;
  BitWriter out_;
};

}  // namespace ozr::testing
