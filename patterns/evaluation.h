// Move scoring and static evaluation.
#pragma once

#include "engine/types.h"

namespace quorlith {

// Move score of a playable cell, 0 to 121, the same for both sides: each
// line is weighed once as an attacking point for side 0 and once for side 1,
// plus 1 when a stone stands on an adjacent cell.
int score_move(const Cell& cell);

}  // namespace quorlith
