#!/usr/bin/env python3
"""A scripted brain for the match runner's tests: it plays the first empty
square in row order, and can be slow, silent or illegal on purpose.

  fake_brain.py [--record FILE] [--delay-ms N] [--delayed-moves K]
                [--silent] [--illegal]

--record appends its process id and every line it reads to FILE;
--delay-ms waits that long before each of its first K moves (all moves
without --delayed-moves); --silent never answers a move; --illegal answers
every move with a square that is taken.
"""
import argparse
import os
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--record")
    parser.add_argument("--delay-ms", type=int, default=0)
    parser.add_argument("--delayed-moves", type=int, default=-1)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--illegal", action="store_true")
    args = parser.parse_args()
    record = open(args.record, "a") if args.record else None
    if record:
        record.write(f"pid {os.getpid()}\n")
        record.flush()
    size = 0
    taken = set()
    moves_made = 0
    in_board = False

    def reply(text):
        sys.stdout.write(text + "\n")
        sys.stdout.flush()

    def move():
        nonlocal moves_made
        if args.silent:
            return
        if args.delay_ms and (args.delayed_moves < 0 or moves_made < args.delayed_moves):
            time.sleep(args.delay_ms / 1000)
        moves_made += 1
        if args.illegal and taken:
            x, y = sorted(taken)[0]
            reply(f"{x},{y}")
            return
        for y in range(size):
            for x in range(size):
                if (x, y) not in taken:
                    taken.add((x, y))
                    reply(f"{x},{y}")
                    return

    for line in sys.stdin:
        line = line.strip()
        if record:
            record.write(line + "\n")
            record.flush()
        words = line.upper().split()
        if not words:
            continue
        if in_board:
            if words[0] == "DONE":
                in_board = False
                move()
            else:
                x, y, _ = (int(v) for v in line.split(","))
                taken.add((x, y))
        elif words[0] == "START":
            size = int(words[1])
            taken.clear()
            reply("OK")
        elif words[0] == "ABOUT":
            reply('name="fake"')
        elif words[0] == "BOARD":
            in_board = True
        elif words[0] == "BEGIN":
            move()
        elif words[0] == "TURN":
            x, y = (int(v) for v in words[1].split(","))
            taken.add((x, y))
            move()
        elif words[0] == "END":
            return


if __name__ == "__main__":
    main()
