"""The board page in a real browser: headless Chromium driven by Selenium.

Starts quorlith-board on a free loopback port, opens the page, starts a 15x15
game from the New game dialog, plays three stones by clicking, waits for each
of the engine's answers, checks the board and the status on the page, shows
the engine's line, saves a screenshot (board.png in OUT_DIR), takes the last
move back with Undo, asks for a hint, and then watches the engine play a
20x20 game against itself to the end.

    /usr/bin/python3 browser_test.py QUORLITH_BOARD CHROMIUM CHROMEDRIVER OUT_DIR

Exit status 0 when every check holds. Needs Debian's python3-selenium, so it
runs under /usr/bin/python3.
"""
import os
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

WAIT_S = 60
# Squares tried in this order for the player's stones.
PREFERRED = [(7, 7), (8, 8), (6, 8), (8, 6), (6, 6), (8, 7), (7, 8), (6, 7), (7, 6), (9, 9)]


def start_board(binary):
    board = subprocess.Popen([binary, "--port", "0", "--max-games", "4"],
                             stdout=subprocess.PIPE, text=True)
    line = board.stdout.readline()
    # "quorlith-board: open http://127.0.0.1:PORT/ (...)"
    url = line.split("open ", 1)[1].split(" ", 1)[0] if "open " in line else None
    if url is None:
        board.kill()
        raise SystemExit("quorlith-board did not say where it serves: %r" % line)
    return board, url


def start_browser(chromium, chromedriver, profile):
    options = Options()
    options.binary_location = chromium
    # The network is closed: nothing may try to reach it.
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=1280,1000"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(chromedriver), options=options)


def stones(driver):
    """The stones drawn on the board, in play order: (x, y, colour). Read in
    one script: the page redraws the board whenever the game changes."""
    drawn = driver.execute_script("""
        return Array.from(document.querySelectorAll('#board circle.stone:not(.pv)')).map(c =>
            [Number(c.dataset.n), Number(c.dataset.x), Number(c.dataset.y),
             c.classList.contains('black') ? 'black' : 'white']);""")
    return [(x, y, colour) for _, x, y, colour in sorted(drawn)]


def status(driver):
    return driver.find_element(By.ID, "status").text


def start_game(driver, wait, size, time_ms):
    """A new game from the dialog, the player first."""
    driver.find_element(By.ID, "new-game").click()
    for field, value in (("size", size), ("time-ms", time_ms)):
        box = driver.find_element(By.ID, field)
        box.clear()
        box.send_keys(str(value))
    Select(driver.find_element(By.ID, "first")).select_by_value("player")
    driver.find_element(By.ID, "start").click()
    wait.until(lambda d: status(d).startswith("Your move") and
               len(d.find_elements(By.CSS_SELECTOR, "#board rect.spot")) == size * size and not stones(d))


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def main():
    binary, chromium, chromedriver, out_dir = sys.argv[1:5]
    started = time.monotonic()
    board, url = start_board(binary)
    driver = None
    try:
        with tempfile.TemporaryDirectory() as profile:
            driver = start_browser(chromium, chromedriver, profile)
            wait = WebDriverWait(driver, WAIT_S, poll_frequency=0.05)
            driver.get(url)
            wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#board rect.spot"))

            # 1. A new 15x15 game, the player first, 300 ms per move.
            start_game(driver, wait, 15, 300)
            check(len(driver.find_elements(By.CSS_SELECTOR, "#board rect.spot")) == 225,
                  "a 15x15 board has 225 squares to click")
            check(stones(driver) == [], "a new game has no stones")

            # 2. Three stones by clicking, each answered by the engine.
            played = []
            for turn in range(1, 4):
                taken = {(x, y) for x, y, _ in stones(driver)}
                x, y = next(square for square in PREFERRED if square not in taken)
                driver.find_element(By.CSS_SELECTOR, '#board rect.spot[data-x="%d"][data-y="%d"]' % (x, y)).click()
                wait.until(lambda d: len(stones(d)) == 2 * turn and status(d).startswith("Your move"))
                on_board = stones(driver)
                check(on_board[2 * turn - 2] == (x, y, "black"), "the clicked stone is black: %s" % on_board)
                check(on_board[2 * turn - 1][2] == "white", "the engine answered with white")
                check(len({(sx, sy) for sx, sy, _ in on_board}) == len(on_board), "stones on distinct squares")
                played.append((x, y))
            engine_x, engine_y, _ = stones(driver)[-1]
            marked = driver.execute_script(
                "const m = document.getElementById('last-move'); return m && [m.cx.baseVal.value, m.cy.baseVal.value];")
            drawn_at = driver.execute_script(
                "const s = document.querySelector('#board circle.stone[data-n=\"6\"]');"
                " return [s.cx.baseVal.value, s.cy.baseVal.value];")
            check(marked == drawn_at, "the last move is marked")
            # On a slow build (sanitizers) no iteration may finish in 300 ms.
            depth = driver.find_element(By.ID, "report-depth").text
            check(depth.isdigit() or depth == "none finished", "the report shows a depth: %r" % depth)
            nodes = driver.find_element(By.ID, "report-nodes").text.replace(",", "")
            check(nodes.isdigit() and int(nodes) > 0, "the report shows the nodes: %r" % nodes)
            check(driver.find_element(By.ID, "report-what").text.startswith("move for the engine"),
                  "the report is about the engine's move")
            check(driver.find_element(By.ID, "report-pv").text.startswith("%d,%d" % (engine_x, engine_y)),
                  "the line starts with the engine's move")

            # 3. The engine's line on the board, and the screenshot.
            driver.find_element(By.ID, "show-pv").click()
            driver.find_element(By.ID, "copy-board").click()
            wait.until(lambda d: d.find_element(By.ID, "board-text").get_attribute("value").startswith("BOARD"))
            shot = os.path.join(out_dir, "board.png")
            check(driver.save_screenshot(shot), "screenshot saved")

            # 4. Undo takes back the last stone and the engine's answer.
            driver.find_element(By.ID, "undo").click()
            wait.until(lambda d: len(stones(d)) == 4)
            check((played[-1][0], played[-1][1]) not in {(sx, sy) for sx, sy, _ in stones(driver)},
                  "the undone stone is gone")
            check(status(driver).startswith("Your move"), "the player is to move after undo")

            # 5. A hint: the engine's move for the player, marked, not played.
            driver.find_element(By.ID, "hint").click()
            wait.until(lambda d: d.find_elements(By.ID, "hint-mark") and status(d).startswith("Your move"))
            check(len(stones(driver)) == 4, "a hint plays nothing")

            # 6. Watching: a new 20x20 game that the engine plays to the end.
            start_game(driver, wait, 20, 50)
            driver.find_element(By.ID, "watch").click()
            wait.until(lambda d: d.find_element(By.ID, "watch").text == "Pause")
            WebDriverWait(driver, 600, poll_frequency=0.2).until(
                lambda d: d.find_element(By.ID, "board").get_attribute("data-status") in
                ("player_won", "engine_won", "draw"))
            result = driver.find_element(By.ID, "board").get_attribute("data-status")
            fives = driver.find_elements(By.CSS_SELECTOR, "#board circle.stone.win")
            check(result == "draw" or len(fives) >= 5, "the five is shown: %d stones" % len(fives))
            check(driver.find_element(By.ID, "watch").text == "Watch", "watching ends with the game")
            driver.save_screenshot(os.path.join(out_dir, "board-watched.png"))
            print("watched game: %s after %d stones" % (result, len(stones(driver))))
    finally:
        if driver is not None:
            driver.quit()
        board.terminate()
        board.wait(timeout=30)
    print("browser test passed in %.1f s; screenshot %s" % (time.monotonic() - started, shot))
    return 0


if __name__ == "__main__":
    sys.exit(main())
