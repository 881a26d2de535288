#include "search/plus_table.h"

#include <cstring>

#include "engine/platform.h"

namespace quorlith::plus {

namespace {

uint32_t check_of(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }

}  // namespace

TranspositionTable::~TranspositionTable() { release_engine_memory(table_); }

bool TranspositionTable::resize(size_t bytes) {
  if (bytes < MIN_BYTES) bytes = MIN_BYTES;
  size_t buckets = 1;
  while (buckets * 2 * sizeof(Bucket) <= bytes) buckets *= 2;
  if (buckets == buckets_ && table_ != nullptr) return true;
  // Give the old table back first: the two together may not fit the limit.
  release_engine_memory(table_);
  table_ = nullptr;
  buckets_ = 0;
  void* memory = allocate_engine_memory(buckets * sizeof(Bucket));
  if (memory == nullptr) return false;
  table_ = static_cast<Bucket*>(memory);
  buckets_ = buckets;
  clear();
  return true;
}

void TranspositionTable::clear() {
  if (table_ != nullptr) std::memset(static_cast<void*>(table_), 0, buckets_ * sizeof(Bucket));
  age_ = 0;
}

const TableEntry* TranspositionTable::probe(uint64_t hash) const {
  if (table_ == nullptr) return nullptr;
  const Bucket* bucket = bucket_of(hash);
  const uint32_t check = check_of(hash);
  for (const TableEntry& e : bucket->entries)
    if (e.check == check && e.bound() != BOUND_NONE) return &e;
  return nullptr;
}

void TranspositionTable::store(uint64_t hash, int32_t value, int32_t eval, int move, int depth, Bound bound) {
  if (table_ == nullptr) return;
  Bucket* bucket = bucket_of(hash);
  const uint32_t check = check_of(hash);
  TableEntry* victim = nullptr;
  for (TableEntry& e : bucket->entries)
    if (e.check == check && e.bound() != BOUND_NONE) victim = &e;
  if (victim == nullptr) {
    // An empty entry, else the least worth keeping: depth is worth keeping,
    // age is not, an entry of an earlier search counting eight plies less
    // per search since.
    int victim_worth = 1 << 30;
    for (TableEntry& e : bucket->entries) {
      const int worth = e.bound() == BOUND_NONE ? -(1 << 20) : e.depth - 8 * ((age_ - e.age()) & 63);
      if (worth < victim_worth) {
        victim_worth = worth;
        victim = &e;
      }
    }
  }
  // The same position searched less deep keeps the deeper result, unless
  // that one is of an earlier search or the new one is exact.
  if (victim->check == check && victim->bound() != BOUND_NONE && bound != BOUND_EXACT &&
      victim->age() == age_ && victim->depth > depth + 2) {
    if (victim->move == 0) victim->move = static_cast<int16_t>(move);
    return;
  }
  if (move == 0 && victim->check == check) move = victim->move;
  victim->check = check;
  victim->value = static_cast<int16_t>(value);
  victim->eval = static_cast<int16_t>(eval);
  victim->move = static_cast<int16_t>(move);
  victim->depth = static_cast<int8_t>(depth < -100 ? -100 : depth > 127 ? 127 : depth);
  victim->age_bound = static_cast<uint8_t>(age_ << 2 | bound);
}

void TranspositionTable::prefetch(uint64_t hash) const {
  if (table_ != nullptr) __builtin_prefetch(bucket_of(hash));
}

int TranspositionTable::hashfull() const {
  if (table_ == nullptr) return 0;
  int used = 0;
  const size_t buckets = buckets_ < 1000 ? buckets_ : 1000;
  for (size_t i = 0; i < buckets; ++i)
    for (const TableEntry& e : table_[i].entries) used += e.bound() != BOUND_NONE && e.age() == age_;
  return static_cast<int>(used * 1000 / (buckets * BUCKET_ENTRIES));
}

}  // namespace quorlith::plus
