// The replies a session may bring besides moves, when its input sets no
// time per move (st): the fixed texts, without their line feed, and sd's.
#pragma once

#include <string_view>

namespace quorlith::test_support {

inline bool is_known_reply(std::string_view reply) {
  static constexpr std::string_view FIXED[] = {
      "OK",
      "Na tomhle nejde hrat!",
      "Moc velka plocha, podporuji max 32 policek!",
      "Moc velka plocha, podporuji max 100 policek!",
      "ERROR START command must be issued first",
      "ERROR bad command parameter",
      "ERROR board is full",
      "UNKNOWN command",
      "Please Set Correct Depth!",
      "ZEM Engine Not Initialized!",
      "ERROR rectangular boards are not supported, only square boards from 5 to 32",
      "name=\"Quorlith\", version=\"" QUORLITH_VERSION "\", author=\"Quorlith developers\"",
      "name=\"Quorlith Plus\", version=\"" QUORLITH_VERSION "\", author=\"Quorlith developers\""};
  for (const std::string_view text : FIXED)
    if (reply == text) return true;
  return reply.starts_with("Set Depth to ") && reply.ends_with(".");
}

// The plus brain's answer to an INFO rule value it does not play.
inline bool is_rule_message(std::string_view reply) {
  return reply.starts_with("MESSAGE rule ") &&
         reply.find(" is not played here; rules played: 0 (five or more), 1 (exactly five), 4 (renju); the game "
                    "stays at rule ") != std::string_view::npos;
}

}  // namespace quorlith::test_support
