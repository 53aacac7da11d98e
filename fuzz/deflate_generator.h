// Deflate data built from fuzz bytes: stored, fixed and dynamic blocks whose Huffman codes are
// complete, incomplete, over-subscribed, of one codeword or empty, which declare up to 288 and 32
// codes, whose code-length runs may overrun, and whose symbols may be those zlib refuses. Mutating
// such a recipe reaches the corners of the two decoders far more often than mutating the bits.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/deflate_streams.h"

namespace ozr::fuzz {

class DeflateGenerator {
 public:
  DeflateGenerator(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  std::vector<uint8_t> Generate() {
    const int blocks = 1 + Byte() % 3;
    for (int b = 0; b < blocks; ++b) {
      const bool last = b == blocks - 1;
      switch (Byte() % 4) {
        case 0:
          Stored(last);
          break;
        case 1:
          Fixed(last);
          break;
        default:
          Dynamic(last);
          break;
      }
    }
    return out_.Finish();
  }

 private:
  using Code = testing::deflate::Code;

  uint8_t Byte() { return next_ < size_ ? data_[next_++] : 0; }

  void Stored(bool last) {
    out_.Bits(last, 1);
    out_.Bits(0, 2);
    out_.Align();
    const uint16_t length = Byte();
    const bool wrong = Byte() % 16 == 0;
    out_.Bits(length, 16);
    out_.Bits(static_cast<uint16_t>(~length) ^ (wrong ? 1 : 0), 16);
    for (int i = 0; i < length; ++i) out_.Bits(Byte(), 8);
    produced_ += length;
  }

  void Fixed(bool last) {
    out_.Bits(last, 1);
    out_.Bits(1, 2);
    std::vector<int> distances(32, 5);
    Symbols(testing::deflate::FixedLiterals(), Code(distances));
  }

  // Lengths of a code over `used` symbols (the rest 0): a complete code made by splitting leaves,
  // then spoilt as `shape` says.
  std::vector<int> Lengths(int count, std::vector<int> used, int shape) {
    std::vector<int> lengths(size_t(count), 0);
    if (shape == 3 || used.empty()) return lengths;  // empty
    if (shape == 2) {                                // one codeword
      lengths[size_t(used.front())] = 1;
      return lengths;
    }
    std::vector<int> leaves = {0};
    while (leaves.size() < used.size()) {
      const size_t pick = Byte() % leaves.size();
      if (leaves[pick] >= 15) break;
      const int depth = leaves[pick] + 1;
      leaves[pick] = depth;
      leaves.push_back(depth);
    }
    if (shape == 4) leaves.push_back(leaves.back());         // over-subscribed
    if (shape == 1 && leaves.size() > 1) leaves.pop_back();  // incomplete
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

    out_.Bits(last, 1);
    out_.Bits(2, 2);
    out_.Bits(uint32_t(literalCount - 257), 5);
    out_.Bits(uint32_t(distanceCount - 1), 5);
    out_.Bits(19 - 4, 4);
    // A complete code-length code: symbols 0..12 of 4 bits, 13..18 of 5 bits.
    std::vector<int> pre(19, 4);
    for (int s = 13; s < 19; ++s) pre[size_t(s)] = 5;
    static const int kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
    for (const int s : kOrder) out_.Bits(uint32_t(pre[size_t(s)]), 3);
    const Code lengthCode(pre);

    std::vector<int> all = literals;
    all.insert(all.end(), distances.begin(), distances.end());
    const bool overrun = (shapes & 0x40) != 0;
    for (size_t i = 0; i < all.size();) {
      size_t run = 1;
      while (i + run < all.size() && all[i + run] == all[i] && run < 138) ++run;
      if (all[i] == 0 && (run >= 3 || (overrun && i + run == all.size()))) {
        const size_t take = std::max<size_t>(3, run);
        if (take <= 10) {
          lengthCode.Put(out_, 17);
          out_.Bits(uint32_t(take - 3), 3);
        } else {
          lengthCode.Put(out_, 18);
          out_.Bits(uint32_t(take - 11), 7);
        }
        i += take;
      } else if (i > 0 && all[i] == all[i - 1] && run >= 3 && (shapes & 0x80)) {
        const size_t take = std::min<size_t>(run, 6);
        lengthCode.Put(out_, 16);
        out_.Bits(uint32_t(take - 3), 2);
        i += take;
      } else {
        lengthCode.Put(out_, all[i]);
        ++i;
      }
    }
    Symbols(Code(literals), Code(distances));
  }

  // Literals and matches with the given codes, then the end of the block. A symbol without a
  // codeword, or the codeword "1" of a one-codeword code, is written as that bit.
  void Symbols(const Code& literals, const Code& distances) {
    static const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const int kDistanceBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                          17,   25,   33,   49,    65,    97,    129,   193,
                                          257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                          4097, 6145, 8193, 12289, 16385, 24577, 24577, 24577};
    const int count = Byte();
    for (int i = 0; i < count; ++i) {
      const uint8_t kind = Byte();
      if (kind % 3 != 2) {
        Put(literals, Byte());
        ++produced_;
        continue;
      }
      const int length = 257 + Byte() % 31;
      Put(literals, length);
      out_.Bits(Byte(), length <= 285 ? kLengthExtra[length - 257] : 0);
      int distance = Byte() % 32;
      if (kind & 0x80) {  // mostly a distance the output so far can serve
        while (distance > 0 && kDistanceBase[distance] > produced_) --distance;
      }
      Put(distances, distance);
      const int extra = distance < 4 ? 0 : std::min(13, (distance - 2) / 2);
      out_.Bits(Byte() & ((1u << extra) - 1), extra);
      produced_ += 3;
    }
    Put(literals, 256);
  }

  void Put(const Code& code, int symbol) {
    if (size_t(symbol) < code.lengths.size() && code.lengths[size_t(symbol)] != 0) {
      code.Put(out_, symbol);
    } else {
      out_.Bits(1, 1);
    }
  }

  const uint8_t* data_;
  size_t size_;
  size_t next_ = 0;
  int produced_ = 0;
  testing::deflate::BitWriter out_;
};

}  // namespace ozr::fuzz
