// Hand-made deflate and zlib streams for tests and fuzz seeds: bit writing, canonical codes,
// fixed and dynamic block headers, and a few streams that only a crafted encoder would write.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ozr::testing::deflate {

using Bytes = std::vector<uint8_t>;

// Deflate bits: fields least significant bit first, Huffman codewords most significant first.
class BitWriter {
 public:
  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Push((value >> i) & 1);
  }
  void Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Push((code >> i) & 1);
  }
  // Pads to the next byte.
  void Align() { used_ = 0; }
  const Bytes& Finish() const { return bytes_; }

 private:
  void Push(uint32_t bit) {
    if (used_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<uint8_t>(bit << used_);
    used_ = (used_ + 1) % 8;
  }
  Bytes bytes_;
  int used_ = 0;
};

// Canonical codewords for the given lengths (0: no codeword).
inline std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
  int count[16] = {};
  for (const int l : lengths) ++count[l];
  count[0] = 0;
  uint32_t next[16] = {};
  for (int len = 1; len < 16; ++len) next[len] = (next[len - 1] + count[len - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  }
  return codes;
}

// A Huffman code to write symbols with.
struct Code {
  explicit Code(std::vector<int> l) : lengths(std::move(l)), codes(CanonicalCodes(lengths)) {}
  void Put(BitWriter& w, int symbol) const { w.Code(codes[symbol], lengths[symbol]); }
  std::vector<int> lengths;
  std::vector<uint32_t> codes;
};

inline Code FixedLiterals() {
  std::vector<int> l(288, 8);
  for (int s = 144; s < 256; ++s) l[s] = 9;
  for (int s = 256; s < 280; ++s) l[s] = 7;
  return Code(l);
}

// A complete literal/length code over `count` symbols (257..288): 8-bit codewords for the first
// 512 - count symbols, 9-bit ones for the rest.
inline std::vector<int> FullLiteralLengths(int count) {
  std::vector<int> l(count, 9);
  for (int s = 0; s < 512 - count; ++s) l[s] = 8;
  return l;
}

// Writes a dynamic block header that sends every length with its own code-length symbol, using a
// complete code-length code of 4-bit codewords for symbols 0..15.
inline void DynamicHeader(BitWriter& w, bool last, const std::vector<int>& literals,
                          const std::vector<int>& distances) {
  w.Bits(last ? 1 : 0, 1);
  w.Bits(2, 2);
  w.Bits(static_cast<uint32_t>(literals.size() - 257), 5);
  w.Bits(static_cast<uint32_t>(distances.size() - 1), 5);
  w.Bits(19 - 4, 4);
  static const int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (const int s : kOrder) w.Bits(s < 16 ? 4 : 0, 3);
  for (const int l : literals) w.Code(static_cast<uint32_t>(l), 4);
  for (const int l : distances) w.Code(static_cast<uint32_t>(l), 4);
}

inline Bytes ZlibStream(const Bytes& deflate, const Bytes& content) {
  Bytes out(2 + deflate.size() + 4);
  out[0] = 0x78;
  out[1] = 0x9C;
  std::copy(deflate.begin(), deflate.end(), out.begin() + 2);
  const uLong adler = adler32(adler32(0, nullptr, 0), content.data(), uInt(content.size()));
  for (size_t i = 0; i < 4; ++i) out[2 + deflate.size() + i] = uint8_t(adler >> (24 - 8 * i));
  return out;
}

inline Bytes Compressed(const Bytes& content, int level = 6) {
  uLongf size = compressBound(uLong(content.size()));
  Bytes out(size);
  compress2(out.data(), &size, content.data(), uLong(content.size()), level);
  out.resize(size);
  return out;
}

// A fixed block of one 'a' and one match of length 258 at distance 1, whose length symbol and
// distance symbol are given.
inline Bytes FixedMatch(int lengthSymbol, int distanceSymbol, int distanceExtra) {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(1, 2);
  const Code lit = FixedLiterals();
  lit.Put(w, 'a');
  lit.Put(w, lengthSymbol);
  w.Code(static_cast<uint32_t>(distanceSymbol), 5);
  w.Bits(0, distanceExtra);
  lit.Put(w, 256);
  return ZlibStream(w.Finish(), Bytes(259, 'a'));
}

// Writes a dynamic block: one literal 'x', then (with `match`) a match of length 3 whose distance
// codeword is written as `distanceCodeword` (1 bit), under a distance code of the given lengths.
inline void MatchBlock(BitWriter& w, bool last, const std::vector<int>& distances,
                       uint32_t distanceCodeword, bool match) {
  const std::vector<int> literalLengths = FullLiteralLengths(286);
  DynamicHeader(w, last, literalLengths, distances);
  const Code lit(literalLengths);
  lit.Put(w, 'x');
  if (match) {
    lit.Put(w, 257);
    w.Code(distanceCodeword, 1);
  }
  lit.Put(w, 256);
}

// MatchBlock alone, as a stream.
inline Bytes DynamicMatch(const std::vector<int>& distances, uint32_t distanceCodeword,
                          bool match) {
  BitWriter w;
  MatchBlock(w, true, distances, distanceCodeword, match);
  return ZlibStream(w.Finish(), match ? Bytes(4, 'x') : Bytes(1, 'x'));
}

// Two dynamic blocks, each a literal 'x' and then a match of length 3 at distance codeword 0: the
// first under a one-codeword distance code, the second under an empty one, which no codeword
// belongs to even though the block before had one.
inline Bytes EmptyDistanceCodeAfterAFullOne() {
  BitWriter w;
  MatchBlock(w, false, {1}, 0, true);
  MatchBlock(w, true, {0}, 0, true);
  return ZlibStream(w.Finish(), Bytes(8, 'x'));
}

// A fixed block whose last match takes distance symbol 30 or 31 (after enough output for it).
inline Bytes FixedFarDistance(int distanceSymbol) {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(1, 2);
  const Code lit = FixedLiterals();
  lit.Put(w, 'a');
  size_t produced = 1;
  while (produced < 25000) {
    lit.Put(w, 285);
    w.Code(0, 5);
    produced += 258;
  }
  lit.Put(w, 285);
  w.Code(static_cast<uint32_t>(distanceSymbol), 5);
  w.Bits(0, 13);
  lit.Put(w, 256);
  return ZlibStream(w.Finish(), Bytes(produced + 258, 'a'));
}

// An empty dynamic block declaring the given numbers of codes (2, or 16 to 32 distance codes),
// both codes complete.
inline Bytes DynamicDeclaring(int literalCount, int distanceCount) {
  BitWriter w;
  const std::vector<int> literals = FullLiteralLengths(literalCount);
  // 2n - 32 codewords of 5 bits and 32 - n of 4 bits fill the code space for n = 16..32.
  std::vector<int> distances(size_t(distanceCount), 5);
  if (distanceCount >= 16) {
    std::fill(distances.begin() + (2 * distanceCount - 32), distances.end(), 4);
  } else {
    distances.assign(size_t(distanceCount), 1);
  }
  DynamicHeader(w, true, literals, distances);
  Code(literals).Put(w, 256);
  return ZlibStream(w.Finish(), {});
}

// A dynamic block whose code-length repeat runs 2 lengths past the 258 it declares.
inline Bytes RepeatPastTheCodes() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(2, 2);
  w.Bits(0, 5);  // 257 literal/length codes
  w.Bits(0, 5);  // 1 distance code
  w.Bits(19 - 4, 4);
  // Code-length code: symbols 0..12 of 4 bits, 13..18 of 5 bits (complete).
  std::vector<int> pre(19, 4);
  for (int s = 13; s < 19; ++s) pre[s] = 5;
  static const int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (const int s : kOrder) w.Bits(static_cast<uint32_t>(pre[s]), 3);
  const Code pc(pre);
  pc.Put(w, 1);   // literal 0: 1 bit
  pc.Put(w, 18);  // literals 1..138: none
  w.Bits(127, 7);
  pc.Put(w, 18);  // literals 139..255: none
  w.Bits(117 - 11, 7);
  pc.Put(w, 1);   // end of block: 1 bit
  pc.Put(w, 17);  // 3 zeros where 1 distance length is left
  w.Bits(0, 3);
  w.Bits(1, 1);  // end of block
  return ZlibStream(w.Finish(), {});
}

// A dynamic block whose literal/length code is the end of block alone, as codeword 0 and written
// as the given bit.
inline Bytes LoneEndOfBlock(uint32_t bit) {
  BitWriter w;
  std::vector<int> literals(257, 0);
  literals[256] = 1;
  DynamicHeader(w, true, literals, {0});
  w.Bits(bit, 1);
  return ZlibStream(w.Finish(), {});
}

}  // namespace ozr::testing::deflate
