// A walk over deflate blocks that decodes every symbol without producing output, refusing what
// zlib's inflate refuses. Everything else (stored lengths, distances, output size, check values)
// the decoder that ran before has checked the same way zlib does.
#include "codec/zlib_rules.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/little_endian.h"

namespace ozr {

namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kFastBits = 12;
constexpr int kMaxLiteralCodes = 286;
constexpr int kMaxDistanceCodes = 30;
constexpr int kEndOfBlock = 256;

constexpr uint8_t kLengthExtraBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t kDistanceExtraBits[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Bits least significant first. Bytes past the end read as zeros; Refill() is false once any of
// them has been taken.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}

  // Makes at least 56 bits available. The fast path may hold a few bits beyond the count; they
  // are the stream's own next bits, so adding them again changes nothing.
  bool Refill() {
    if (next_ < length_ && length_ - next_ >= 8) {
      buffer_ |= LoadU64(data_ + next_) << count_;
      next_ += (63 - count_) >> 3;
      count_ |= 56;
      return true;
    }
    while (count_ <= 56) {
      const uint64_t byte = next_ < length_ ? data_[next_] : 0;
      buffer_ |= byte << count_;
      ++next_;
      count_ += 8;
    }
    return !Overran();
  }
  uint32_t Peek(int bits) const { return static_cast<uint32_t>(buffer_ & ((1ull << bits) - 1)); }
  void Drop(uint32_t bits) {
    buffer_ >>= bits;
    count_ -= bits;
  }
  uint32_t Take(int bits) {
    const uint32_t value = Peek(bits);
    Drop(static_cast<uint32_t>(bits));
    return value;
  }
  void AlignToByte() { Drop(count_ & 7); }
  // Skips whole bytes once aligned.
  void SkipBytes(size_t n) {
    next_ = next_ - count_ / 8 + n;
    buffer_ = 0;
    count_ = 0;
  }
  bool Overran() const { return next_ > length_ && next_ - length_ > count_ / 8; }

 private:
  const uint8_t* data_;
  size_t length_;
  size_t next_ = 0;  // the next byte to load
  uint64_t buffer_ = 0;
  uint32_t count_ = 0;  // bits held in buffer_
};

enum class Shape { kEmpty, kSingle, kComplete, kBroken };
enum class Alphabet { kCodeLengths, kLiterals, kDistances };

// Entries of the lookup table: the bits a symbol takes with its extra bits, whether it starts a
// match, or a sign to decode bit by bit (long codewords, bits that are no codeword, the end of
// the block and symbols zlib refuses).
constexpr uint8_t kEntryBits = 0x1F;
constexpr uint8_t kEntryMatch = 0x20;
constexpr uint8_t kEntrySlow = 0x80;

// A canonical Huffman code decoded as zlib decodes it: a codeword that belongs to no symbol (in an
// empty code, or "1" in a code of one length-1 codeword) is an error.
class HuffmanCode {
 public:
  // Over-subscribed codes are broken; incomplete ones are too, except one symbol of length 1.
  // Only counts and symbols are made here; the lookup table waits for PrepareTable, which a block
  // that needs no walk never calls.
  Shape Build(const uint8_t* lengths, int symbolCount, Alphabet alphabet) {
    // Forget the previous block's code first: an empty code must not decode with its table.
    symbolCount_ = 0;
    alphabet_ = alphabet;
    tableReady_ = false;
    std::fill(std::begin(count_), std::end(count_), uint16_t{0});
    for (int s = 0; s < symbolCount; ++s) ++count_[lengths[s]];
    count_[0] = 0;
    int longest = kMaxCodeBits;
    while (longest > 0 && count_[longest] == 0) --longest;
    if (longest == 0) return Shape::kEmpty;
    int left = 1;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      left = (left << 1) - count_[len];
      if (left < 0) return Shape::kBroken;
    }
    if (left > 0 && longest != 1) return Shape::kBroken;

    uint16_t offset[kMaxCodeBits + 2] = {};
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      offset[len + 1] = static_cast<uint16_t>(offset[len] + count_[len]);
    }
    for (int s = 0; s < symbolCount; ++s) {
      if (lengths[s] != 0) symbols_[offset[lengths[s]]++] = static_cast<uint16_t>(s);
    }
    std::copy(lengths, lengths + symbolCount, lengths_);
    symbolCount_ = symbolCount;
    return left == 0 ? Shape::kComplete : Shape::kSingle;
  }

  // The lookup table for the symbols' first kFastBits bits.
  void PrepareTable() {
    if (tableReady_) return;
    std::fill(std::begin(fast_), std::end(fast_), kEntrySlow);
    uint32_t nextCode[kMaxCodeBits + 1] = {};
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      nextCode[len] = (nextCode[len - 1] + count_[len - 1]) << 1;
    }
    for (int s = 0; s < symbolCount_; ++s) {
      const int len = lengths_[s];
      if (len == 0) continue;
      const uint32_t code = nextCode[len]++;
      const uint8_t entry = EntryFor(alphabet_, s, len);
      if (len > kFastBits || entry == kEntrySlow) continue;
      uint32_t reversed = 0;
      for (int b = 0; b < len; ++b) reversed |= ((code >> b) & 1) << (len - 1 - b);
      for (uint32_t i = reversed; i < (1u << kFastBits); i += 1u << len) fast_[i] = entry;
    }
    tableReady_ = true;
  }

  uint8_t Entry(const BitReader& in) const { return fast_[in.Peek(kFastBits)]; }

  // The next symbol bit by bit, or -1 for bits that are no codeword. Needs 15 bits available.
  int DecodeSymbol(BitReader& in) const {
    const uint32_t bits = in.Peek(kMaxCodeBits);
    int code = 0;
    int first = 0;
    int index = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      code |= static_cast<int>((bits >> (len - 1)) & 1);
      const int n = count_[len];
      if (code - n < first) {
        in.Drop(static_cast<uint32_t>(len));
        return symbols_[index + (code - first)];
      }
      index += n;
      first = (first + n) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  static uint8_t EntryFor(Alphabet alphabet, int symbol, int length) {
    switch (alphabet) {
      case Alphabet::kLiterals:
        if (symbol < kEndOfBlock) return static_cast<uint8_t>(length);
        if (symbol == kEndOfBlock || symbol > 285) return kEntrySlow;
        return static_cast<uint8_t>((length + kLengthExtraBits[symbol - 257]) | kEntryMatch);
      case Alphabet::kDistances:
        if (symbol >= kMaxDistanceCodes) return kEntrySlow;
        return static_cast<uint8_t>(length + kDistanceExtraBits[symbol]);
      case Alphabet::kCodeLengths:
        break;
    }
    return kEntrySlow;
  }

  uint16_t count_[kMaxCodeBits + 1] = {};
  uint16_t symbols_[288] = {};
  uint8_t lengths_[288] = {};
  int symbolCount_ = 0;
  Alphabet alphabet_ = Alphabet::kCodeLengths;
  bool tableReady_ = false;
  uint8_t fast_[1 << kFastBits] = {};
};

struct FixedCodes {
  HuffmanCode literals;
  HuffmanCode distances;
};

const FixedCodes& Fixed() {
  static const FixedCodes codes = [] {
    uint8_t lengths[288];
    std::fill(lengths, lengths + 144, uint8_t{8});
    std::fill(lengths + 144, lengths + 256, uint8_t{9});
    std::fill(lengths + 256, lengths + 280, uint8_t{7});
    std::fill(lengths + 280, lengths + 288, uint8_t{8});
    FixedCodes c;
    c.literals.Build(lengths, 288, Alphabet::kLiterals);
    c.literals.PrepareTable();
    std::fill(lengths, lengths + 32, uint8_t{5});
    c.distances.Build(lengths, 32, Alphabet::kDistances);
    c.distances.PrepareTable();
    return c;
  }();
  return codes;
}

// A distance bit by bit, after a refill: its codeword may take 15 bits and its extra bits 13.
bool TakeDistanceSlowly(BitReader& in, const HuffmanCode& distances) {
  if (!in.Refill()) return false;
  const int symbol = distances.DecodeSymbol(in);
  if (symbol < 0 || symbol >= kMaxDistanceCodes) return false;
  in.Drop(kDistanceExtraBits[symbol]);
  return true;
}

enum class Step { kGoOn, kSlowSymbol, kRefused };

// One round of the fast path: a refill (56 bits: a length and a distance with their extra bits),
// then one symbol from the tables, or nothing when the tables leave it to the slow path (long
// codewords, the end of the block, symbols zlib refuses, data that ran out). The distance table
// is read after a literal too and its bits masked off: a branch between literals and matches
// would go either way, and its mispredictions would cost more than the walk itself.
inline Step FastStep(BitReader& in, const HuffmanCode& literals, const HuffmanCode& distances) {
  if (!in.Refill()) return Step::kSlowSymbol;  // the slow path refuses it
  const uint8_t entry = literals.Entry(in);
  if (entry & kEntrySlow) return Step::kSlowSymbol;
  in.Drop(entry & kEntryBits);
  const uint8_t distance = distances.Entry(in);
  const uint32_t match = 0u - static_cast<uint32_t>((entry & kEntryMatch) != 0);
  if ((distance & kEntrySlow & match) != 0) {
    return TakeDistanceSlowly(in, distances) ? Step::kGoOn : Step::kRefused;
  }
  in.Drop(distance & kEntryBits & match);
  return Step::kGoOn;
}

// One symbol bit by bit, with its match. Lengths 286 and 287 and distances 30 and 31 exist only in
// fixed blocks here (dynamic headers declaring them were refused) and zlib refuses them.
Step SlowStep(BitReader& in, const HuffmanCode& literals, const HuffmanCode& distances,
              bool& ended) {
  if (!in.Refill()) return Step::kRefused;
  const int symbol = literals.DecodeSymbol(in);
  if (symbol < 0 || symbol > 285) return Step::kRefused;
  if (symbol == kEndOfBlock) {
    ended = true;
    return Step::kGoOn;
  }
  if (symbol > kEndOfBlock) {
    in.Drop(kLengthExtraBits[symbol - 257]);
    if (!TakeDistanceSlowly(in, distances)) return Step::kRefused;
  }
  return Step::kGoOn;
}

// Reads a dynamic block's header into the two codes. `complete` tells whether both codes are
// complete, so that no symbol of the block can be one zlib refuses.
bool ReadDynamicCodes(BitReader& in, HuffmanCode& literals, HuffmanCode& distances,
                      bool& complete) {
  if (!in.Refill()) return false;
  const int literalCount = 257 + static_cast<int>(in.Take(5));
  const int distanceCount = 1 + static_cast<int>(in.Take(5));
  const int lengthCodeCount = 4 + static_cast<int>(in.Take(4));
  if (literalCount > kMaxLiteralCodes || distanceCount > kMaxDistanceCodes) return false;

  static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                         11, 4,  12, 3, 13, 2, 14, 1, 15};
  uint8_t lengths[kMaxLiteralCodes + kMaxDistanceCodes] = {};
  for (int i = 0; i < lengthCodeCount; ++i) {
    if (!in.Refill()) return false;
    lengths[kOrder[i]] = static_cast<uint8_t>(in.Take(3));
  }
  HuffmanCode lengthCode;
  if (lengthCode.Build(lengths, 19, Alphabet::kCodeLengths) != Shape::kComplete) return false;

  std::fill(std::begin(lengths), std::end(lengths), uint8_t{0});
  const int total = literalCount + distanceCount;
  for (int have = 0; have < total;) {
    if (!in.Refill()) return false;
    const int symbol = lengthCode.DecodeSymbol(in);  // a complete code: always a symbol
    if (symbol < 16) {
      lengths[have++] = static_cast<uint8_t>(symbol);
      continue;
    }
    uint8_t value = 0;
    int copies = 0;
    if (symbol == 16) {
      if (have == 0) return false;
      value = lengths[have - 1];
      copies = 3 + static_cast<int>(in.Take(2));
    } else if (symbol == 17) {
      copies = 3 + static_cast<int>(in.Take(3));
    } else {
      copies = 11 + static_cast<int>(in.Take(7));
    }
    if (have + copies > total) return false;
    std::fill(lengths + have, lengths + have + copies, value);
    have += copies;
  }
  if (lengths[kEndOfBlock] == 0) return false;
  const Shape literalShape = literals.Build(lengths, literalCount, Alphabet::kLiterals);
  const Shape distanceShape =
      distances.Build(lengths + literalCount, distanceCount, Alphabet::kDistances);
  complete = literalShape == Shape::kComplete && distanceShape == Shape::kComplete;
  return literalShape != Shape::kBroken && distanceShape != Shape::kBroken;
}

bool SkipStored(BitReader& in) {
  in.AlignToByte();
  if (!in.Refill()) return false;
  const uint32_t length = in.Take(16);
  const uint32_t complement = in.Take(16);
  if (length != (~complement & 0xFFFF)) return false;
  in.SkipBytes(length);
  return true;
}

// The walk of one stream, block by block, so that two streams can be walked in step.
class RulesWalk {
 public:
  enum class State { kSymbols, kAccepted, kRefused };

  RulesWalk(const uint8_t* data, size_t length) : in_(data, length) { Advance(); }

  State state() const { return state_; }

  // Walks the symbols until the block ends, then on to the next block that needs a walk.
  void WalkBlock() {
    // Local copies stay in registers; table reads could alias the members.
    BitReader in = in_;
    const HuffmanCode& literals = *literals_;
    const HuffmanCode& distances = *distances_;
    for (;;) {
      const Step step = FastStep(in, literals, distances);
      if (step == Step::kGoOn) continue;
      if (!Settle(step, in)) return;
    }
  }

  // Walks this stream and `other` symbol by symbol in turn: the processor then works on both at
  // once instead of waiting for one stream's table reads. Returns when either leaves its block.
  void WalkBlockWith(RulesWalk& other) {
    blockEnded_ = other.blockEnded_ = false;
    BitReader a = in_;
    BitReader b = other.in_;
    const HuffmanCode& literalsA = *literals_;
    const HuffmanCode& distancesA = *distances_;
    const HuffmanCode& literalsB = *other.literals_;
    const HuffmanCode& distancesB = *other.distances_;
    for (;;) {
      const Step stepA = FastStep(a, literalsA, distancesA);
      const Step stepB = FastStep(b, literalsB, distancesB);
      if (stepA == Step::kGoOn && stepB == Step::kGoOn) continue;
      // Both settled, so that neither symbol is lost; either may have left its block.
      const bool stayA = Settle(stepA, a);
      const bool stayB = other.Settle(stepB, b);
      if (!stayA || !stayB) break;
    }
    // A walk that left its block advanced its own reader; the other one's goes back.
    if (state_ == State::kSymbols && !blockEnded_) in_ = a;
    if (other.state_ == State::kSymbols && !other.blockEnded_) other.in_ = b;
  }

 private:
  // After a step that was not a plain one: takes the slow symbol. False when the walk left the
  // block (ended: on to the next block; refused).
  bool Settle(Step step, BitReader& in) {
    if (step == Step::kGoOn) return true;
    bool ended = false;
    if (step == Step::kSlowSymbol) step = SlowStep(in, *literals_, *distances_, ended);
    if (step == Step::kRefused) {
      state_ = State::kRefused;
      return false;
    }
    if (!ended) return true;
    in_ = in;
    blockEnded_ = true;
    Advance();
    return false;
  }

  // From a block's start: headers and stored blocks up to a block whose symbols need a walk, or
  // the end of the data.
  void Advance() {
    for (;;) {
      if (last_) {
        state_ = in_.Overran() ? State::kRefused : State::kAccepted;
        return;
      }
      if (!in_.Refill()) break;
      last_ = in_.Take(1) != 0;
      switch (in_.Take(2)) {
        case 0:
          if (!SkipStored(in_)) break;
          continue;
        case 1:
          literals_ = &Fixed().literals;
          distances_ = &Fixed().distances;
          state_ = State::kSymbols;
          return;
        case 2: {
          bool complete = false;
          if (!ReadDynamicCodes(in_, dynamicLiterals_, dynamicDistances_, complete)) break;
          // The decoder before has checked the last block's symbols against its codes; with
          // both codes complete none of them can be one zlib refuses, and nothing follows.
          if (last_ && complete) continue;
          dynamicLiterals_.PrepareTable();
          dynamicDistances_.PrepareTable();
          literals_ = &dynamicLiterals_;
          distances_ = &dynamicDistances_;
          state_ = State::kSymbols;
          return;
        }
        default:
          break;
      }
      break;
    }
    state_ = State::kRefused;
  }

  BitReader in_;
  HuffmanCode dynamicLiterals_;
  HuffmanCode dynamicDistances_;
  const HuffmanCode* literals_ = nullptr;
  const HuffmanCode* distances_ = nullptr;
  bool last_ = false;
  bool blockEnded_ = false;
  State state_ = State::kRefused;
};

}  // namespace

bool MeetsZlibInflateRules(const uint8_t* data, size_t length) {
  RulesWalk walk(data, length);
  while (walk.state() == RulesWalk::State::kSymbols) walk.WalkBlock();
  return walk.state() == RulesWalk::State::kAccepted;
}

void MeetsZlibInflateRules(const uint8_t* dataA, size_t lengthA, const uint8_t* dataB,
                           size_t lengthB, bool& meetsA, bool& meetsB) {
  RulesWalk a(dataA, lengthA);
  RulesWalk b(dataB, lengthB);
  for (;;) {
    const bool walkA = a.state() == RulesWalk::State::kSymbols;
    const bool walkB = b.state() == RulesWalk::State::kSymbols;
    if (walkA && walkB) {
      a.WalkBlockWith(b);
    } else if (walkA) {
      a.WalkBlock();
    } else if (walkB) {
      b.WalkBlock();
    } else {
      break;
    }
  }
  meetsA = a.state() == RulesWalk::State::kAccepted;
  meetsB = b.state() == RulesWalk::State::kAccepted;
}

}  // namespace ozr
