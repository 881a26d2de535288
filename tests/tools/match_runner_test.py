#!/usr/bin/env python3
"""Tests of tools/quorlith-match: the SPRT against an independent
maximisation, its decisions on synthetic pair streams, pairs put together
from games finishing in any order, each brain's own time limits, and the
runner's stop, wrap-around and log, with scripted brains (fake_brain.py)."""
import contextlib
import importlib.machinery
import importlib.util
import io
import json
import math
import os
import random
import shlex
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, "..", "..", "tools", "quorlith-match")
FAKE = os.path.join(HERE, "fake_brain.py")

sys.dont_write_bytecode = True  # no cache files beside the tool in the source tree
_loader = importlib.machinery.SourceFileLoader("quorlith_match", TOOL)
_spec = importlib.util.spec_from_loader("quorlith_match", _loader)
qm = importlib.util.module_from_spec(_spec)
_loader.exec_module(qm)


def fake(*options):
    return " ".join(shlex.quote(w) for w in [sys.executable, FAKE, *options])


def best_log_likelihood(counts, s):
    """max of sum n_i ln p_i over pentanomial p with mean score s per game,
    by a grid over (p0, p1, p2) that zooms in on its best point (the
    function is concave over a convex set, so the zoom finds the maximum).
    p3 and p4 follow from sum p = 1 and sum p_i a_i = s."""
    a = [0.0, 0.25, 0.5, 0.75, 1.0]

    def value(p0, p1, p2):
        rest = 1 - p0 - p1 - p2
        mean_rest = s - a[1] * p1 - a[2] * p2
        p4 = (mean_rest - a[3] * rest) / (a[4] - a[3])
        p3 = rest - p4
        p = (p0, p1, p2, p3, p4)
        if min(p) <= 0:
            return -math.inf
        return sum(n * math.log(v) for n, v in zip(counts, p))

    centre, radius, best = (0.5, 0.5, 0.5), 0.5, -math.inf
    for _ in range(16):
        steps = [radius * (k / 5 - 1) for k in range(11)]
        point = centre
        for d0 in steps:
            for d1 in steps:
                for d2 in steps:
                    q = (centre[0] + d0, centre[1] + d1, centre[2] + d2)
                    v = value(*q)
                    if v > best:
                        best, point = v, q
        centre, radius = point, radius * 0.4
    return best


class SprtMaths(unittest.TestCase):
    def test_llr_is_the_ratio_of_the_constrained_maxima(self):
        cases = [([3, 7, 12, 9, 4], 0, 50), ([10, 20, 30, 25, 15], -20, 30),
                 ([1, 2, 9, 2, 1], 0, 10), ([2, 5, 4, 11, 8], 0, 100)]
        for counts, elo0, elo1 in cases:
            with self.subTest(counts=counts, elo0=elo0, elo1=elo1):
                expected = (best_log_likelihood(counts, qm.score_of(elo1))
                            - best_log_likelihood(counts, qm.score_of(elo0)))
                self.assertAlmostEqual(qm.pentanomial_llr(counts, elo0, elo1), expected, delta=1e-4)

    def test_the_first_pair_already_moves_the_llr(self):
        for pair, sign in ((2.0, 1), (1.5, 1), (0.5, -1), (0.0, -1)):
            sprt = qm.Sprt(0, 50, 0.05, 0.05)
            sprt.add(pair)
            self.assertTrue(math.isfinite(sprt.llr))
            self.assertEqual(math.copysign(1, sprt.llr), sign, pair)
            self.assertIsNone(sprt.decision())

    def run_sprt(self, bins, seed, elo0=0, elo1=50):
        """Pairs drawn from `bins` (probabilities of 0, 0.5, 1, 1.5, 2) until
        the test decides; its decision and the pairs it took."""
        rng = random.Random(seed)
        sprt = qm.Sprt(elo0, elo1, 0.05, 0.05)
        for n in range(1, 20001):
            sprt.add(rng.choices(qm.PAIR_SCORES, bins)[0])
            if sprt.decision():
                return sprt.decision(), n
        self.fail("no decision after 20000 pairs")

    def test_decisions_on_synthetic_pair_streams(self):
        better = [0.02, 0.08, 0.30, 0.30, 0.30]   # 76% per game, about +200 Elo
        equal = [0.10, 0.20, 0.40, 0.20, 0.10]    # 50%
        for seed in range(10):
            self.assertEqual(self.run_sprt(better, seed)[0], "H1", seed)
        equal_h0 = sum(self.run_sprt(equal, seed)[0] == "H0" for seed in range(30))
        # alpha = 0.05: H1 for an equal engine is rare (12 times in 200
        # seeds); a test that favours neither hypothesis would give 15.
        self.assertGreaterEqual(equal_h0, 25)
        worse = [0.30, 0.30, 0.30, 0.08, 0.02]
        self.assertEqual(self.run_sprt(worse, 1)[0], "H0")


class PairScoring(unittest.TestCase):
    def game(self, score):
        return {"score": score, "reason": "five", "by": "x", "longest_ms": [0, 0]}

    def test_a_pair_is_complete_when_both_games_are_in_whatever_the_order(self):
        book = qm.PairBook()
        late = self.game(1.0)
        self.assertIsNone(book.add(1, 1, late))
        self.assertIsNone(book.add(0, 0, self.game(0.5)))
        early = self.game(0.0)
        games, score = book.add(1, 0, early)
        self.assertEqual(score, 1.0)
        self.assertIs(games[0], early)
        self.assertIs(games[1], late)
        self.assertEqual(list(book.open), [0])
        with self.assertRaises(ValueError):
            book.add(0, 0, self.game(1.0))

    def test_only_half_points_make_pair_scores(self):
        self.assertEqual([qm.pair_bin(s) for s in qm.PAIR_SCORES], [0, 1, 2, 3, 4])
        for bad in (0.25, -0.5, 2.5):
            with self.assertRaises(ValueError):
                qm.pair_bin(bad)

    def test_progress_line_counts_games_and_takes_its_error_from_the_pairs(self):
        games = [(1.0, 1.0), (0.5, 0.0), (1.0, 0.5), (0.5, 0.5), (1.0, 0.0), (0.5, 1.0)]
        results = [self.game(v) for pair in games for v in pair]
        pair_scores = [a + b for a, b in games]
        sprt = qm.Sprt(0, 50, 0.05, 0.05)
        for p in pair_scores:
            sprt.add(p)
        line = qm.progress_line(results, pair_scores, sprt)
        # Per game 1, 0.25, 0.75, 0.5, 0.5, 0.75: mean 0.625 (+88.7 Elo),
        # squared deviations summing to 0.34375 over 5 degrees of freedom.
        margin = 1.96 * math.sqrt(0.34375 / 5 / 6)
        elo_margin = (qm.elo_of(0.625 + margin) - qm.elo_of(0.625 - margin)) / 2
        self.assertEqual(line, f"pairs 6 games 12  W-L-D 5-2-5  score 62.5%  Elo +88.7 +- {elo_margin:.1f}"
                               f"  LLR {sprt.llr:.2f} [-2.94, 2.94]")


class TimeAccounting(unittest.TestCase):
    def test_each_clock_judges_by_its_own_limits(self):
        long_clock = qm.Clock(1000, 120000, 100)
        short_clock = qm.Clock(50, 6000, 100)
        self.assertIsNone(long_clock.charge(300))
        self.assertIn("300 ms for a move", short_clock.charge(300))
        self.assertEqual(long_clock.time_left(), 119700)
        self.assertEqual(short_clock.time_left(), 5700)

    def test_the_match_clock_runs_out_before_any_turn_is_late(self):
        clock = qm.Clock(1000, 1000, 100)
        self.assertIsNone(clock.charge(600))
        self.assertEqual(clock.time_left(), 400)
        # The wait is bounded by what is left, not by the turn limit.
        self.assertLess(clock.wait_s(), qm.Clock(1000, 120000, 100).wait_s())
        self.assertIsNone(clock.charge(450))   # -50: within the tolerance
        self.assertEqual(clock.time_left(), 0)
        self.assertIn("match clock at -150 ms", clock.charge(100))


def board_of(rows):
    """A board dict from rows of 'x' (black, side 0), 'o' (white) and '.'."""
    return {(x, y): 0 if c == "x" else 1 for y, row in enumerate(rows) for x, c in enumerate(row) if c in "xo"}


class Referee(unittest.TestCase):
    def test_what_makes_a_five_under_each_rule(self):
        five = board_of(["xxxx....."])
        six = board_of(["xxxx.x..."])
        for rule, black_six, white_six in ((0, True, True), (1, False, False), (4, False, True)):
            with self.subTest(rule=rule):
                for who in (0, 1):
                    mine = {sq: who for sq in five}
                    self.assertTrue(qm.makes_five(mine, 9, 4, 0, who, rule))
                    longer = {sq: who for sq in six}
                    self.assertEqual(qm.makes_five(longer, 9, 4, 0, who, rule), white_six if who else black_six)

    def test_rule_values_played(self):
        self.assertEqual([qm.rule_played(v) for v in range(9)], [0, 1, 0, 1, 4, None, 4, None, None])
        self.assertIsNone(qm.rule_played(-1))

    def test_forbidden_points_worked_by_hand(self):
        # The square tested is (7, 7) in each.
        pad = ["." * 15] * 3
        cases = [
            ("two open threes", pad + ["." * 15, "." * 15, ".......x", ".......x", ".......+xx"], True),
            ("one three closed by white", pad + ["." * 15, ".......o", ".......x", ".......x", ".......+xx"], False),
            ("four and three", pad + ["." * 15, ".......x", ".......x", ".......x", ".......+xx"], False),
            ("two fours", pad + ["." * 15, ".......x", ".......x", ".......x", "......o+xxx"], True),
            ("two fours on one line", pad + ["." * 15] * 4 + ["....x.x+x.x"], True),
            ("a straight four", pad + ["." * 15] * 4 + [".....xx+x"], False),
            ("overline", pad + ["." * 15] * 4 + ["....xxx+xx"], True),
            ("a five beats an overline", ["." * 15, ".......x", ".......x"] + [".......x"] * 4 + ["....xxx+x"], False),
            # The three across has one straight four, from (6,7), which is a
            # double four once (7,7) stands: no three, so one three only.
            ("a three whose straight four is forbidden",
             pad + ["......x", "......x", "......x", "." * 15, ".......+xx.o", ".......x", ".......x"], False),
            ("the same where it is allowed",
             pad + ["." * 15] * 4 + [".......+xx.o", ".......x", ".......x"], True),
        ]
        for name, rows, expected in cases:
            with self.subTest(name=name):
                self.assertEqual(rows[7][7], "+")
                board = board_of(rows)
                before = dict(board)
                self.assertEqual(qm.forbidden(board, 15, 7, 7), expected)
                self.assertEqual(board, before)

    def test_the_rule_decides_one_game(self):
        # Black to move plays the first empty square, 3,0: six in a row.
        # Freestyle: a five; exactly five: nothing, the game goes on;
        # renju: an overline, and black loses on it.
        opening = [(0, 0), (0, 5), (1, 0), (2, 5), (2, 0), (4, 5), (4, 0), (6, 5), (5, 0), (8, 5)]
        with tempfile.TemporaryDirectory() as folder:
            for rule, reason, score in ((0, "five", 1.0), (4, "forbidden", 0.0), (5, None, None), (1, None, None)):
                if rule == 5:
                    continue  # refused by the options, below
                with self.subTest(rule=rule):
                    records = [os.path.join(folder, f"{rule}-{i}") for i in (0, 1)]
                    sides = [qm.Side(fake("--record", records[i]), name, 5000, 600000)
                             for i, name in enumerate(("black", "white"))]
                    r = qm.play_game(sides, opening, 0, qm.Settings(9, 100, 1000000, rule))
                    self.assertEqual(r["rule"], rule)
                    if reason:
                        self.assertEqual((r["reason"], r["score"], r["plies"], r["moves"]), (reason, score, 1, "3,0"))
                    else:
                        self.assertGreater(r["plies"], 1)
                        self.assertIn(r["reason"], ("five", "draw"))
                    for record in records:
                        with open(record) as f:
                            self.assertIn(f"INFO rule {rule}", f.read().splitlines())


class Runner(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        # 9x9 keeps the scripted games short (their fives come within about
        # 40 stones).
        self.settings = qm.Settings(9, 100, 1000000)
        self.opening = [(4, 4), (5, 5), (3, 5)]

    def tearDown(self):
        self.folder.cleanup()

    def record(self, name):
        return os.path.join(self.folder.name, name)

    def lines(self, name):
        with open(self.record(name)) as f:
            return f.read().splitlines()

    def test_each_brain_is_told_and_judged_by_its_own_time(self):
        # Engine2's first reply takes 600 ms: a time loss with its own 100 ms
        # (and 250 ms of tolerance), none with 1000 ms, whatever engine1's
        # limit. The tolerance leaves a loaded machine room for the scripted
        # brain's other replies.
        settings = qm.Settings(9, 250, 1000000)
        for turn1, turn2, late in ((1000, 100, True), (100, 1000, False)):
            with self.subTest(turn1=turn1, turn2=turn2):
                for f in ("one", "two"):
                    open(self.record(f), "w").close()
                sides = [qm.Side(fake("--record", self.record("one")), "one", turn1, 120 * turn1),
                         qm.Side(fake("--record", self.record("two"), "--delay-ms", "600",
                                      "--delayed-moves", "1"), "two", turn2, 120 * turn2)]
                r = qm.play_game(sides, self.opening, 1, settings)
                if late:
                    self.assertEqual((r["reason"], r["score"]), ("time", 1.0))
                    self.assertTrue(r["by"].startswith("two: "), r["by"])
                else:
                    self.assertIn(r["reason"], ("five", "draw"))
                for name, turn in (("one", turn1), ("two", turn2)):
                    seen = self.lines(name)
                    self.assertIn(f"INFO timeout_turn {turn}", seen)
                    self.assertIn(f"INFO timeout_match {120 * turn}", seen)
                # Engine2 moves first, with its whole clock left.
                self.assertEqual(self.lines("two")[self.lines("two").index("BOARD") - 1],
                                 f"INFO time_left {120 * turn2}")
                self.assertEqual(r["turn_ms"], [turn1, turn2])

    def test_a_stopped_game_ends_its_brains_and_counts_nothing(self):
        sides = [qm.Side(fake("--record", self.record("one")), "one", 60000, 600000),
                 qm.Side(fake("--record", self.record("two"), "--silent"), "two", 60000, 600000)]
        stop = threading.Event()
        stopped_at = []

        def stop_once_two_is_thinking():
            # Stop while the game waits for the silent brain's move.
            for _ in range(600):
                if os.path.exists(self.record("two")) and "BOARD" in self.lines("two"):
                    break
                time.sleep(0.05)
            stopped_at.append(time.monotonic())
            stop.set()

        threading.Thread(target=stop_once_two_is_thinking).start()
        self.assertIsNone(qm.play_game(sides, self.opening, 1, self.settings, stop))
        self.assertLess(time.monotonic() - stopped_at[0], 10)
        for name in ("one", "two"):
            pid = int(self.lines(name)[0].split()[1])
            with self.assertRaises(ProcessLookupError):
                os.kill(pid, 0)

    def test_sprt_stops_at_its_decision_and_counts_whole_pairs(self):
        sides = [qm.Side(fake(), "good", 5000, 600000), qm.Side(fake("--illegal"), "bad", 5000, 600000)]
        out = io.StringIO()
        log = io.StringIO()
        sprt = qm.Sprt(0, 400, 0.2, 0.2)
        outcome = qm.run_match(sides, [self.opening], self.settings, pairs=200, sprt=sprt,
                               concurrency=2, log=log, out=out, echo_games=False)
        self.assertEqual(outcome.verdict, "H1")
        pairs = len(outcome.pair_scores)
        self.assertEqual(outcome.pair_scores, [2.0] * pairs)
        self.assertEqual(len(outcome.results), 2 * pairs)
        progress = [line for line in out.getvalue().splitlines() if line.startswith("pairs ")]
        self.assertEqual(len(progress), pairs)
        self.assertTrue(progress[-1].startswith(f"pairs {pairs} games {2 * pairs}  W-L-D {2 * pairs}-0-0"))
        self.assertGreaterEqual(sprt.llr, sprt.upper)
        # One opening for all those pairs: the wrap is said once.
        self.assertEqual(out.getvalue().count("starting again from the first"), 1)
        # Every game is logged; at most the partner of the deciding pair's
        # last game can be logged beyond the counted ones.
        logged = log.getvalue().splitlines()
        self.assertIn(len(logged), (2 * pairs, 2 * pairs + 1))
        self.assertTrue(qm.verdict_line(outcome).startswith(f"verdict: H1 accepted after {2 * pairs} games"))

    def test_the_log_replays_every_game(self):
        sides = [qm.Side(fake(), "one", 5000, 600000), qm.Side(fake(), "two", 2500, 300000)]
        log = io.StringIO()
        outcome = qm.run_match(sides, [self.opening, [(4, 4), (4, 5)]], self.settings, pairs=2,
                               concurrency=2, log=log, out=io.StringIO())
        games = [json.loads(line) for line in log.getvalue().splitlines()]
        self.assertEqual(len(games), 4)
        self.assertEqual(sorted((g["pair"], g["first"]) for g in games),
                         [(0, "one"), (0, "two"), (1, "one"), (1, "two")])
        for g in games:
            stones = [tuple(map(int, s.split(","))) for s in (g["opening"] + " " + g["moves"]).split()]
            self.assertEqual(len(set(stones)), len(stones))
            self.assertTrue(all(0 <= x < g["size"] and 0 <= y < g["size"] for x, y in stones))
            # Black places the first stone; the side to move after the
            # opening is the brain that moved first.
            opening_length = len(g["opening"].split())
            self.assertEqual(g["black"] == g["first"], opening_length % 2 == 0)
            self.assertEqual(g["turn_ms"], [5000, 2500])
            self.assertEqual(g["reason"], "five")
            last = stones[-1]
            mine = set(stones[(len(stones) - 1) % 2::2])
            self.assertTrue(any(all((last[0] + k * dx, last[1] + k * dy) in mine for k in range(start, start + 5))
                                for dx, dy in ((1, 0), (0, 1), (1, 1), (1, -1)) for start in range(-4, 1)))
            winner = g["black"] if (len(stones) - 1) % 2 == 0 else g["white"]
            self.assertEqual(g["score"], 1.0 if winner == "one" else 0.0)
        self.assertEqual(len(outcome.results), 4)


class CommandLine(unittest.TestCase):
    def run_main(self, *argv):
        err = io.StringIO()
        saved = sys.stderr
        sys.stderr = err
        try:
            code = qm.main(list(argv))
        finally:
            sys.stderr = saved
        return code, err.getvalue()

    def test_bad_input_is_refused_before_anything_starts(self):
        with tempfile.TemporaryDirectory() as folder:
            openings = os.path.join(folder, "openings.txt")
            with open(openings, "w") as f:
                f.write("7,7 8,8\n14,15\n")
            log = os.path.join(folder, "log.jsonl")
            engine = fake()
            cases = [
                (["--openings", openings], "off the 15x15 board"),
                (["--openings", openings, "--size", "20", "--sprt", "--elo0", "50", "--elo1", "0"],
                 "--elo0 must be below"),
                (["--openings", openings, "--size", "20", "--sprt", "--elo0", "0"], "needs --elo0 and --elo1"),
                (["--openings", openings, "--size", "20", "--max-games", "10"], "go with --sprt"),
                (["--openings", os.path.join(folder, "none.txt")], "cannot read openings"),
                (["--openings", openings, "--size", "20", "--rule", "8"], "--rule must be 0"),
                (["--openings", openings, "--size", "20", "--rule", "5"], "--rule must be 0"),
            ]
            for options, message in cases:
                with self.subTest(options=options):
                    code, err = self.run_main("play", engine, engine, "--log", log, *options)
                    self.assertEqual(code, 2)
                    self.assertIn(message, err)
            code, err = self.run_main("play", engine, "/no/such/brain", "--openings", openings, "--log", log)
            self.assertEqual((code, "ENGINE2" in err), (2, True))
            code, err = self.run_main("gauntlet", engine, "--opponent", "x", engine, "fast",
                                      "--openings", openings, "--size", "20", "--log", log)
            self.assertEqual((code, "not a number" in err), (2, True))
            self.assertFalse(os.path.exists(log))

    def test_play_gives_each_brain_its_own_time_and_clock(self):
        with tempfile.TemporaryDirectory() as folder:
            openings = os.path.join(folder, "openings.txt")
            with open(openings, "w") as f:
                f.write("4,4 5,5 3,5\n")
            records = [os.path.join(folder, name) for name in ("one", "two")]
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                code, _ = self.run_main("play", fake("--record", records[0]), fake("--record", records[1]),
                                        "--openings", openings, "--size", "9",
                                        "--turn-ms", "200", "--opponent-turn-ms", "50",
                                        "--tolerance-ms", "60000")
            self.assertEqual(code, 0)
            self.assertIn("games 2: engine1", out.getvalue())
            for record, turn, match in zip(records, (200, 50), (24000, 6000)):
                with open(record) as f:
                    seen = f.read().splitlines()
                self.assertEqual(seen.count(f"INFO timeout_turn {turn}"), 2)
                self.assertEqual(seen.count(f"INFO timeout_match {match}"), 2)

    def test_the_table_is_replaced_between_its_markers_only(self):
        text = f"intro\n{qm.TABLE_BEGIN}\nold table\n{qm.TABLE_END}\nafter\n"
        self.assertEqual(qm.replace_table(text, "| new |\n"),
                         f"intro\n{qm.TABLE_BEGIN}\n| new |\n{qm.TABLE_END}\nafter\n")
        for broken in ("no markers", f"{qm.TABLE_END}\n{qm.TABLE_BEGIN}\n",
                       f"{qm.TABLE_BEGIN}\n{qm.TABLE_BEGIN}\n{qm.TABLE_END}\n"):
            with self.assertRaises(qm.UsageError):
                qm.replace_table(broken, "| new |")

    def test_the_checked_in_strength_config_is_valid(self):
        config = qm.load_config(os.path.join(HERE, "..", "..", "tools", "strength.json"))
        self.assertTrue(any("revision" in leg for leg in config["legs"]))
        self.assertTrue(any("sparring" in leg for leg in config["legs"]))
        with tempfile.NamedTemporaryFile("w", suffix=".json") as f:
            bad = dict(config, legs=[dict(config["legs"][0], turn_ms=0)])
            json.dump(bad, f)
            f.flush()
            with self.assertRaises(qm.UsageError):
                qm.load_config(f.name)


if __name__ == "__main__":
    unittest.main()
