#!/usr/bin/env python3
"""Measures the engine from outside, as a tournament manager sees it.

  measure_timing.py ENGINE [--turn-ms T] [--games N] [--size S]

ENGINE is a command line: a cross-built brain runs through its emulator, as
in "build/windows-release/run-under-wine build/windows-release/pbrain-quorlith.exe"
(replies may end with CR LF).

Plays N whole games against a greedy scripted opponent with INFO
timeout_turn T and a generous match clock, so every searched move has the
budget T (the second stone min(2000, T)). Prints the START latency (first
START of a fresh process and repeated STARTs), and for the searched moves the
largest time from the end of the budget to the move arriving. Run it under
`/usr/bin/time -v` to get the peak memory of the engine processes.
Not part of the test suite: these are timings, and machines are noisy.
"""
import argparse
import random
import shlex
import subprocess
import time

DIRS = [(1, 0), (0, 1), (1, 1), (1, -1)]


def line_length(board, size, x, y, player):
    best = 0
    for dx, dy in DIRS:
        n = 1
        for sign in (1, -1):
            d = 1
            while True:
                cx, cy = x + sign * d * dx, y + sign * d * dy
                if not (0 <= cx < size and 0 <= cy < size) or board.get((cx, cy)) != player:
                    break
                n += 1
                d += 1
        best = max(best, n)
    return best


def opponent_move(board, size, me, rng):
    best, choice = -1, None
    for y in range(size):
        for x in range(size):
            if (x, y) in board:
                continue
            v = 8 * line_length(board, size, x, y, me) + 7 * line_length(board, size, x, y, 1 - me) + rng.randrange(6)
            if v > best:
                best, choice = v, (x, y)
    return choice


class Engine:
    def __init__(self, path):
        self.p = subprocess.Popen(shlex.split(path), stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)

    def send(self, text):
        self.p.stdin.write(text.encode())

    def read_line(self):
        return self.p.stdout.readline().decode().rstrip("\r\n")

    def close(self):
        self.send("END\n")
        self.p.wait()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("engine")
    ap.add_argument("--turn-ms", type=int, default=1000)
    ap.add_argument("--games", type=int, default=2)
    ap.add_argument("--size", type=int, default=15)
    args = ap.parse_args()

    first_starts, repeat_starts, overshoots = [], [], []
    for game in range(args.games):
        rng = random.Random(game)
        e = Engine(args.engine)
        e.send(f"INFO timeout_turn {args.turn_ms}\nINFO timeout_match 100000000\nINFO time_left 100000000\n")
        for i in range(3):
            t0 = time.perf_counter()
            e.send(f"START {args.size}\n")
            assert e.read_line() == "OK"
            (first_starts if i == 0 else repeat_starts).append((time.perf_counter() - t0) * 1000)
        board, stones = {}, 0
        engine_first = game % 2 == 0
        if engine_first:
            e.send("BEGIN\n")
        else:
            c = args.size // 2 + 1
            board[(c, c)] = 1
            stones = 1
            e.send(f"TURN {c},{c}\n")
        while True:
            t0 = time.perf_counter()
            reply = e.read_line()
            elapsed = (time.perf_counter() - t0) * 1000
            x, y = map(int, reply.split(","))
            assert (x, y) not in board and 0 <= x < args.size and 0 <= y < args.size, reply
            stones += 1
            move_number = stones
            if move_number not in (1, 3):  # searched moves
                budget = min(2000, args.turn_ms) if move_number == 2 else args.turn_ms
                overshoots.append(elapsed - budget)
            board[(x, y)] = 0
            if line_length(board, args.size, x, y, 0) >= 5 or len(board) == args.size ** 2:
                break
            ox, oy = opponent_move(board, args.size, 1, rng)
            board[(ox, oy)] = 1
            stones += 1
            if line_length(board, args.size, ox, oy, 1) >= 5 or len(board) == args.size ** 2:
                break
            e.send(f"INFO time_left 100000000\nTURN {ox},{oy}\n")
        e.close()
        print(f"game {game}: {len(board)} stones")

    print(f"START latency, fresh process: max {max(first_starts):.2f} ms, mean {sum(first_starts)/len(first_starts):.2f} ms")
    print(f"START latency, repeated:      max {max(repeat_starts):.2f} ms, mean {sum(repeat_starts)/len(repeat_starts):.2f} ms")
    print(f"searched moves: {len(overshoots)}; time past the budget (reply arrival - budget): "
          f"max {max(overshoots):.1f} ms, min {min(overshoots):.1f} ms")


if __name__ == "__main__":
    main()
