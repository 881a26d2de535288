"""The static site in a real browser: headless Chromium driven by Selenium.

Serves the site's folder with a plain static file server on a free loopback
port, opens it, and checks what a player does there: the game the page
starts at once, a stone clicked and answered, bad input from the page's own
controls (an occupied square, a malformed BOARD block), Undo and Hint with
the plus brain, and two games watched to their end, one with each brain, on
two more board sizes. It saves a screenshot (site.png in OUT_DIR), checks
that every request went to the site's own server, and prints how long after
the page was opened its game was ready and the engine's first searched
answer was on the board (measured, not judged: the machine is shared).

    /usr/bin/python3 site_browser_test.py SITE_DIR CHROMIUM CHROMEDRIVER OUT_DIR

Exit status 0 when every check holds. Needs Debian's python3-selenium, so it
runs under /usr/bin/python3.
"""
import functools
import http.server
import json
import os
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

WAIT_S = 120
FINISHED = ("player_won", "engine_won", "draw")

# Recorded by the page itself from its first script on: when the status
# first asked for the player's move, and when the first two stones were on
# the board (milliseconds after the page was opened).
TIMING_PROBE = """
window.__timing = {};
new MutationObserver(() => {
  const t = window.__timing;
  const status = document.getElementById('status');
  if (!t.ready && status && status.textContent.startsWith('Your move')) t.ready = performance.now();
  if (!t.answered && document.querySelectorAll('#board circle.stone:not(.pv)').length >= 2)
    t.answered = performance.now();
}).observe(document, {subtree: true, childList: true, characterData: true});
"""


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    served = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        QuietHandler.served.append(self.path)
        super().do_GET()


def start_server(site_dir):
    handler = functools.partial(QuietHandler, directory=site_dir)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


def start_browser(chromium, chromedriver, profile):
    options = Options()
    options.binary_location = chromium
    # The network is closed: nothing may try to reach it.
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=1280,1000"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    return webdriver.Chrome(service=Service(chromedriver), options=options)


def stones(driver):
    """The stones drawn on the board, in play order: (x, y, colour)."""
    drawn = driver.execute_script("""
        return Array.from(document.querySelectorAll('#board circle.stone:not(.pv)')).map(c =>
            [Number(c.dataset.n), Number(c.dataset.x), Number(c.dataset.y),
             c.classList.contains('black') ? 'black' : 'white']);""")
    return [(x, y, colour) for _, x, y, colour in sorted(drawn)]


def text(driver, element_id):
    return driver.find_element(By.ID, element_id).text


def board_status(driver):
    return driver.find_element(By.ID, "board").get_attribute("data-status")


def click_square(driver, x, y):
    # The board is drawn again whenever the game's state arrives, and a late
    # report of the engine's last iteration can arrive between finding a
    # square and clicking it: find it again then.
    selector = '#board rect.spot[data-x="%d"][data-y="%d"]' % (x, y)
    for attempt in range(5):
        try:
            driver.find_element(By.CSS_SELECTOR, selector).click()
            return
        except StaleElementReferenceException:
            if attempt == 4:
                raise
            time.sleep(0.05)


def start_game(driver, wait, size, time_ms, brain):
    """A new game from the dialog, the player first."""
    driver.find_element(By.ID, "new-game").click()
    for field, value in (("size", size), ("time-ms", time_ms), ("fixed-depth", "")):
        box = driver.find_element(By.ID, field)
        box.clear()
        if value != "":
            box.send_keys(str(value))
    Select(driver.find_element(By.ID, "brain")).select_by_value(brain)
    Select(driver.find_element(By.ID, "first")).select_by_value("player")
    driver.find_element(By.ID, "start").click()
    wait.until(lambda d: text(d, "status").startswith("Your move") and not stones(d) and
               len(d.find_elements(By.CSS_SELECTOR, "#board rect.spot")) == size * size)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def watch_to_the_end(driver, size, brain):
    driver.find_element(By.ID, "watch").click()
    WebDriverWait(driver, 600, poll_frequency=0.2).until(lambda d: board_status(d) in FINISHED)
    result = board_status(driver)
    on_board = stones(driver)
    check(len({(x, y) for x, y, _ in on_board}) == len(on_board), "%s: stones on distinct squares" % brain)
    check(all(0 <= x < size and 0 <= y < size for x, y, _ in on_board), "%s: stones on the board" % brain)
    fives = driver.find_elements(By.CSS_SELECTOR, "#board circle.stone.win")
    check(result == "draw" or len(fives) >= 5, "%s: the five is shown (%d stones)" % (brain, len(fives)))
    check(driver.find_element(By.ID, "watch").text == "Watch", "%s: watching ends with the game" % brain)
    print("%s brain, %dx%d, watched: %s after %d stones" % (brain, size, size, result, len(on_board)))


def requested_urls(driver):
    urls = []
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message.get("method") == "Network.requestWillBeSent":
            urls.append(message["params"]["request"]["url"])
    return urls


def main():
    site_dir, chromium, chromedriver, out_dir = sys.argv[1:5]
    started = time.monotonic()
    server, url = start_server(site_dir)
    driver = None
    shot = os.path.join(out_dir, "site.png")
    try:
        with tempfile.TemporaryDirectory() as profile:
            driver = start_browser(chromium, chromedriver, profile)
            wait = WebDriverWait(driver, WAIT_S, poll_frequency=0.02)
            driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": TIMING_PROBE})

            # 1. The page starts a game at once (15x15, the plus brain, the
            #    player first, 1000 ms per move); the centre, answered.
            driver.get(url)
            wait.until(lambda d: text(d, "status").startswith("Your move"))
            click_square(driver, 7, 7)
            wait.until(lambda d: len(stones(d)) == 2 and text(d, "status").startswith("Your move"))
            timing = driver.execute_script("return window.__timing;")
            check(stones(driver)[0] == (7, 7, "black") and stones(driver)[1][2] == "white",
                  "the centre and the engine's answer: %s" % stones(driver))
            check("plus brain" in text(driver, "report-what"), "the default game plays the plus brain")
            print("page opened: game ready after %.0f ms, the engine's first answer on the board after %.0f ms"
                  % (timing["ready"], timing["answered"]))

            # 2. Bad input from the page's controls: an occupied square, and
            #    a malformed BOARD block; the game stays as it was.
            before = stones(driver)
            click_square(driver, 7, 7)
            wait.until(lambda d: "occupied" in text(d, "message"))
            box = driver.find_element(By.ID, "board-text")
            box.clear()
            box.send_keys("7,7,1\n8,8,2\n")
            driver.find_element(By.ID, "load-board").click()
            wait.until(lambda d: text(d, "message").startswith("board:"))
            check(stones(driver) == before, "refused input changed the game")

            # 3. The plus brain at 300 ms: two stones, Undo, Hint, screenshot.
            start_game(driver, wait, 15, 300, "plus")
            for turn, (x, y) in enumerate([(7, 7), (8, 9)], start=1):
                taken = {(sx, sy) for sx, sy, _ in stones(driver)}
                if (x, y) in taken:
                    x, y = next((i, j) for i in range(15) for j in range(15) if (i, j) not in taken)
                click_square(driver, x, y)
                wait.until(lambda d: len(stones(d)) == 2 * turn and text(d, "status").startswith("Your move"))
            depth = text(driver, "report-depth")
            check(depth.isdigit() or depth == "none finished", "the report shows a depth: %r" % depth)
            driver.find_element(By.ID, "undo").click()
            wait.until(lambda d: len(stones(d)) == 2)
            driver.find_element(By.ID, "hint").click()
            wait.until(lambda d: d.find_elements(By.ID, "hint-mark") and text(d, "status").startswith("Your move"))
            check(len(stones(driver)) == 2, "a hint plays nothing")
            driver.find_element(By.ID, "show-pv").click()
            check(driver.save_screenshot(shot), "screenshot saved")

            # 4. Each brain plays a game to its end, on other board sizes.
            start_game(driver, wait, 9, 50, "exact")
            watch_to_the_end(driver, 9, "exact")
            start_game(driver, wait, 12, 50, "plus")
            watch_to_the_end(driver, 12, "plus")
            driver.save_screenshot(os.path.join(out_dir, "site-watched.png"))

            # 5. Nothing came from anywhere but the site's server.
            foreign = [u for u in requested_urls(driver)
                       if u.startswith(("http:", "https:", "ws:", "wss:")) and not u.startswith(url)]
            check(not foreign, "requests to other hosts: %s" % foreign)
            served = {path.split("?")[0] for path in QuietHandler.served}
            check("/" in served or "/index.html" in served, "the page was served: %s" % sorted(served))
            for name in ("worker.js", "quorlith-engine.js", "quorlith-engine.wasm"):
                check("/" + name in served, "%s was served: %s" % (name, sorted(served)))
    finally:
        if driver is not None:
            driver.quit()
        server.shutdown()
    print("site browser test passed in %.1f s; screenshot %s" % (time.monotonic() - started, shot))
    return 0


if __name__ == "__main__":
    sys.exit(main())
