// Threat-space search: proofs that the side to move wins by a sequence of
// threats the other side must answer, used by the plus brain only.
//
//   VCF  victory by continuous fours: every attacking stone makes a four (a
//        five point), so the defender's reply is forced.
//   VCT  victory by continuous threats: fours and open threes. After a three
//        the defender may answer with any stone that removes every one of
//        the attacker's open-four points, or with a four of its own; a
//        defender who can win by fours first refutes the three outright.
//
// Both searches run on the engine's own board with make_move and
// undo_stone, read the kept ratings (five points, fours, threes) and leave
// the position exactly as they found it. They keep a small table of their
// own, allocated once, and stop at a node limit or a deadline, whichever
// comes first; a search that stopped proves nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/engine.h"

namespace quorlith {

// What one solve may spend.
struct SolveLimits {
  int64_t max_nodes = 0;    // stones the solver may place
  int64_t deadline_ms = 0;  // clock reading at which it gives up
};

// How deep the solvers look, in attacking stones.
struct SolveDepths {
  int vcf = 30;          // fours of one VCF
  int vct = 9;           // threats of one VCT (fours and threes)
  int vcf_in_vct = 12;   // fours of the VCFs tried inside a VCT, both sides
};

class ThreatSolver {
 public:
  // Allocates the table; should that fail, every solve stops at once and
  // proves nothing.
  ThreatSolver();
  ThreatSolver(const ThreatSolver&) = delete;
  ThreatSolver& operator=(const ThreatSolver&) = delete;

  // Forgets every stored result; call it when a new game starts (the table
  // knows positions, not board sizes).
  void clear();

  void set_depths(const SolveDepths& depths) { depths_ = depths; }
  const SolveDepths& depths() const { return depths_; }

  // True when the side to move wins by continuous fours within the VCF
  // depth; *first is then its first stone (engine coordinates; a five
  // point when it has one).
  bool solve_vcf(Engine& e, const SolveLimits& limits, Point* first);
  // True when the side to move wins by fours and threes within the VCT
  // depth, trying the shorter proofs first; *first as above.
  bool solve_vct(Engine& e, const SolveLimits& limits, Point* first);

  // The same for the side that is not to move, as if the side to move had
  // passed: what the opponent threatens. The position is left as it was.
  bool solve_vcf_after_pass(Engine& e, const SolveLimits& limits, Point* first);
  bool solve_vct_after_pass(Engine& e, const SolveLimits& limits, Point* first);
  // While a hint stone is set, every attacker node first tries the winning
  // stone the table knows for the same position without that stone: after
  // a threat was found with solve_*_after_pass, a check of a candidate
  // answer (the hint stone) then finds the same win again at once when the
  // answer does not stop it.
  void set_hint_stone(Point stone, int side) {
    hint_stone_ = stone;
    hint_side_ = side;
    hint_active_ = true;
  }
  void clear_hint_stone() { hint_active_ = false; }

  // The depth at which the last successful solve_vct found its win.
  int last_vct_depth() const { return last_vct_depth_; }

  // Stones placed by the last solve.
  int64_t nodes() const { return nodes_; }
  // Whether the last solve stopped at its node limit or deadline before it
  // could prove or disprove anything further.
  bool stopped() const { return stopped_; }

  // Table geometry: 2^18 entries of 16 bytes, 4 MB.
  static constexpr int TABLE_BITS = 18;

 private:
  // What a table entry knows. The related VCF (inside a VCT) and the VCT
  // try fewer stones below their first threat, so their failures are kept
  // apart from the complete VCF's.
  enum Kind : uint8_t { KIND_VCF = 0, KIND_VCF_RELATED = 1, KIND_VCT_ATTACK = 2, KIND_VCT_DEFEND = 3 };
  enum Known { UNKNOWN, PROVEN, REFUTED };
  // A proven win holds wherever the position comes back. A failure of a
  // search that tries only related threats depends on the line that led
  // to it, so it is kept for the solve that found it only (its stamp);
  // the complete VCF's failures hold for every solve.
  struct Entry {
    uint32_t check1;
    uint32_t check2;
    Point move;      // the winning stone of a proven win at an attacker node
    uint8_t flags;   // bits 0-1: kind, bit 2: proven win, bit 3: in use,
                     // bit 4: (VCT attacker) no VCF from here
    int8_t depth;    // attacking stones the result was found with
    uint16_t stamp;  // the solve that stored it
    uint16_t unused;
  };
  static_assert(sizeof(Entry) == 16);

  void begin(const SolveLimits& limits);
  bool out_of_budget();
  // Places a stone of the side to move and counts it.
  void play(Engine& e, Point p);
  template <typename Defend>
  bool attack_with(Engine& e, Point p, Point* line, int& count, Defend&& defend);
  // Whether p lies within four steps along a line of one of the stones.
  static bool related(Point p, const Point* line, int count);

  bool vcf_attack(Engine& e, int depth, bool related_only, Point* win);
  bool vcf_defend(Engine& e, int depth, bool related_only);
  bool vct_attack(Engine& e, int depth, Point* win);
  bool vct_defend(Engine& e, int depth);

  // A position as the table knows it.
  struct Key {
    uint32_t index;
    uint32_t check1;
    uint32_t check2;
  };
  static Key key_of(uint32_t index, uint32_t check1, uint32_t check2, int side_to_move);
  static Key key_of(const Engine& e);
  static uint32_t slot_of(const Key& key, Kind kind);
  Key shadow_key_of(const Engine& e) const;
  const Entry* probe(const Key& key, Kind kind) const;
  Point hinted_move(const Engine& e, Kind kind) const;
  void apply_hint(const Engine& e, Kind kind, ScoredMove* moves, int count) const;
  // Whether a failure the entry records may be used by this solve.
  bool failure_holds(const Entry& entry) const;
  // What the table says about this position at this depth.
  Known known(const Engine& e, Kind kind, int depth, Point* win) const;
  void store(const Engine& e, Kind kind, bool win, int depth, Point move, uint8_t extra = 0);

  // The attacking stones of the line being searched, oldest first, of the
  // VCT and of the VCF inside it. The VCT's line starts with the
  // attacker's latest stones on the board (vct_line_base_ of them).
  static constexpr int MAX_LINE_STONES = 128;
  static constexpr int SEED_STONES = 4;
  Point vct_line_[MAX_LINE_STONES];
  int vct_line_count_ = 0;
  int vct_line_base_ = 0;
  void seed_vct_line(const Engine& e);
  // Below the root of a VCT: threats are then related to its line.
  bool below_vct_root() const { return vct_line_count_ > vct_line_base_; }
  Point vcf_line_[MAX_LINE_STONES];
  int vcf_line_count_ = 0;

  std::unique_ptr<Entry[]> table_;
  SolveDepths depths_;
  int64_t nodes_ = 0;
  int64_t max_nodes_ = 0;
  int64_t deadline_ms_ = 0;
  int64_t next_clock_check_ = 0;
  bool stopped_ = false;
  uint16_t solve_stamp_ = 0;
  int last_vct_depth_ = 0;
  Point hint_stone_{};
  int hint_side_ = 0;
  bool hint_active_ = false;
};

}  // namespace quorlith
