// The plus tree's transposition table: buckets of four 16-byte entries, one
// cache line each, sized to a power of two that fits the memory it is
// given. An entry keeps a bound (the value is exact, at least or at most
// the stored one), the depth it was searched to, the static evaluation and
// the best move, and the search it was written in: a new entry replaces
// the one in its bucket that is shallowest and oldest.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorlith::plus {

enum Bound : uint8_t { BOUND_NONE = 0, BOUND_UPPER = 1, BOUND_LOWER = 2, BOUND_EXACT = 3 };

struct TableEntry {
  uint32_t check;
  int16_t value;
  int16_t eval;
  int16_t move;
  int8_t depth;
  uint8_t age_bound;  // age << 2 | bound
  uint32_t pad;
  Bound bound() const { return static_cast<Bound>(age_bound & 3); }
  int age() const { return age_bound >> 2; }
};
static_assert(sizeof(TableEntry) == 16);

class TranspositionTable {
 public:
  static constexpr int BUCKET_ENTRIES = 4;
  static constexpr size_t MIN_BYTES = size_t{1} << 16;

  TranspositionTable() = default;
  ~TranspositionTable();
  TranspositionTable(const TranspositionTable&) = delete;
  TranspositionTable& operator=(const TranspositionTable&) = delete;

  // Takes the largest power of two of buckets within `bytes` (at least
  // MIN_BYTES); keeps the present table when the size is the same. False
  // when the memory could not be had (the table then keeps what it had, or
  // stays empty and every probe misses).
  bool resize(size_t bytes);
  size_t bytes() const { return buckets_ * sizeof(Bucket); }
  void clear();
  // A new search: entries written before it age by one.
  void new_search() { age_ = (age_ + 1) & 63; }

  // The entry of this position, or nullptr.
  const TableEntry* probe(uint64_t hash) const;
  void store(uint64_t hash, int32_t value, int32_t eval, int move, int depth, Bound bound);
  void prefetch(uint64_t hash) const;
  // Share of entries of the latest search among the first thousand buckets,
  // in thousandths.
  int hashfull() const;

 private:
  struct alignas(64) Bucket {
    TableEntry entries[BUCKET_ENTRIES];
  };
  Bucket* bucket_of(uint64_t hash) const { return &table_[hash & (buckets_ - 1)]; }

  Bucket* table_ = nullptr;
  size_t buckets_ = 0;
  uint8_t age_ = 0;
};

}  // namespace quorlith::plus
