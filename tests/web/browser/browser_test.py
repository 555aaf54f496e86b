#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The station's web pages in a real browser: headless Chromium driven over its
DevTools protocol, against a served net window (web_browser_fixture).

Checks: the live page lists the check-ins, escaped; a check-in typed in the net
window and one arriving over UDP appear within 1 s without a reload; the
logger page refuses a check-in without the PIN, and with it logs one that the
logger then sees; the status board shows its posts in order and colour and
follows a check-in under a post's call. Saves screenshots at 1024x768 and at
phone size.

Exit 77 (skipped) when Chromium or python3-websocket is missing."""
import argparse
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIP = 77
PIN = "4321-8765-0912"


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Fail(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Fail(what)
    print("ok:", what, flush=True)


class DevTools:
    """One page target over the DevTools protocol."""

    def __init__(self, websocket_module, url):
        self.ws = websocket_module.create_connection(url, timeout=10, suppress_origin=True)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise Fail(f"{method}: {message['error']}")
                return message.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, awaitPromise=True,
                           returnByValue=True)
        if "exceptionDetails" in result:
            raise Fail(f"script failed: {expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, timeout):
        """Seconds until the expression is true, or None after timeout."""
        start = time.monotonic()
        while time.monotonic() - start < timeout:
            if self.evaluate(expression):
                return time.monotonic() - start
            time.sleep(0.02)
        return None

    def navigate(self, url):
        self.call("Page.navigate", url=url)
        if self.wait_for("document.readyState === 'complete' && location.href === "
                         + json.dumps(url), 10) is None:
            raise Fail(f"{url} did not load")

    def size(self, width, height, mobile):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=1, mobile=mobile)

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))
        print("screenshot:", path, flush=True)

    def type_text(self, text):
        self.call("Input.insertText", text=text)

    def press_enter(self):
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, key="Enter", code="Enter",
                      windowsVirtualKeyCode=13, nativeVirtualKeyCode=13,
                      **({"text": "\r"} if kind == "keyDown" else {}))


def start_chromium(chromium, profile):
    process = subprocess.Popen(
        [chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-extensions", "--disable-background-networking", "--disable-sync",
         "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
         f"--user-data-dir={profile}", "about:blank"],
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        line = process.stderr.readline()
        if not line:
            break
        if "DevTools listening on ws://" in line:
            port = int(line.split("ws://")[1].split("/")[0].split(":")[1])
            return process, port
    process.kill()
    raise Fail("Chromium did not open its DevTools port")


def page_target(port):
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=5) as r:
            for target in json.load(r):
                if target.get("type") == "page":
                    return target["webSocketDebuggerUrl"]
        time.sleep(0.1)
    raise Fail("Chromium has no page")


def rows_contain(call):
    return f"document.getElementById('checkins').textContent.includes({json.dumps(call)})"


def fixture_says(fixture, command, answer):
    fixture.stdin.write(command + "\n")
    fixture.stdin.flush()
    line = ""
    while not line.startswith(answer) and not line.startswith("no "):
        line = fixture.stdout.readline()
        if not line:
            raise Fail(f"the fixture ended at: {command}")
    check(line.startswith(answer), f"the fixture {line.strip()}")


def check_board(page, fixture, base, screenshots):
    """/board: the posts longest silent first, overdue amber and silent red; a
    check-in under a post's tactical call reaches it through the event stream."""
    fixture_says(fixture, "post Finish|Q2FIN|45", "posted")  # past 30 minutes: overdue
    fixture_says(fixture, "post Shelter 2||75", "posted")  # past twice 30: silent
    fixture_says(fixture, "post Start|Q2STA|5", "posted")
    page.size(1024, 768, False)
    page.navigate(base + "/board")
    rows = "[...document.querySelectorAll('#posts tbody tr')]"
    order = f"{rows}.map(r => r.querySelector('td').textContent).join(',')"
    check(page.wait_for(f"{order} === 'Shelter 2,Finish,Start'", 5) is not None,
          f"the board lists the posts longest silent first ({page.evaluate(order)})")
    colours = page.evaluate(f"{rows}.map(r => r.className + ' ' + "
                            "getComputedStyle(r.querySelector('td')).backgroundColor)")
    check(colours == ["silent rgb(139, 0, 0)", "overdue rgb(138, 90, 0)",
                      "ok rgba(0, 0, 0, 0)"],
          f"silent is red, overdue amber, heard plain ({colours})")
    texts = page.evaluate(f"{rows}.map(r => r.textContent)")
    check("SILENT" in texts[0] and "(none)" in texts[0] and "75 min ago" in texts[0]
          and "OVERDUE" in texts[1] and "Q2FIN" in texts[1],
          "each row says its status, operator and minutes")
    page.evaluate("window.boards = 0; source.addEventListener('board', () => window.boards++); "
                  "true")
    fixture.stdin.write("type FINISH\n")
    fixture.stdin.flush()
    took = page.wait_for(f"{order} === 'Shelter 2,Start,Finish'", 30)
    check(took is not None,
          f"a check-in under Finish reaches the board in {took:.3f} s" if took else
          "a check-in under Finish reaches the board")
    check(page.evaluate("window.boards") >= 1
          and page.evaluate(f"{rows}[2].className") == "ok"
          and "(0 min ago)" in page.evaluate(f"{rows}[2].textContent"),
          "it came as a board event: Finish is heard now, at the bottom")
    fixture_says(fixture, "plan Relay via Aid 3 if the repeater fails", "planned")
    check(page.wait_for("document.querySelectorAll('#channels tbody tr').length === 1 && "
                        "document.getElementById('instructions').textContent === "
                        "'Relay via Aid 3 if the repeater fails'", 30) is not None,
          "a plan saved shows its channel and special instructions")
    page.screenshot(os.path.join(screenshots, "board-page-wall.png"))
    page.size(390, 844, True)
    page.navigate(base + "/board")
    check(page.wait_for(f"{rows}.length === 3", 5) is not None, "the phone shows the posts")
    page.screenshot(os.path.join(screenshots, "board-page-phone.png"))
    page.size(1024, 768, False)
    page.navigate(base + "/log")
    check(page.wait_for("!!document.getElementById('callsign') && "
                        "document.getElementById('live').textContent === 'live'", 5) is not None,
          "back on the logger page, still signed in, its event stream open")


def run(args, websocket_module, chromium):
    os.makedirs(args.screenshots, exist_ok=True)
    udp_port = free_port(socket.SOCK_DGRAM)
    fixture = subprocess.Popen([args.fixture, str(free_port(socket.SOCK_STREAM)), str(udp_port),
                                PIN], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    profile = tempfile.mkdtemp(prefix="rollcall-chromium-")
    browser = None
    try:
        line = fixture.stdout.readline().split()
        check(len(line) == 2 and line[0] == "ready", "the net window serves its net")
        base = f"http://127.0.0.1:{line[1]}"
        browser, devtools_port = start_chromium(chromium, profile)
        page = DevTools(websocket_module, page_target(devtools_port))
        page.call("Page.enable")
        page.call("Runtime.enable")

        # The live page at 1024x768.
        page.size(1024, 768, False)
        page.navigate(base + "/")
        check(page.evaluate("document.querySelectorAll('#checkins tr').length") == 2,
              "the live page lists the two check-ins")
        check(page.evaluate("document.getElementById('net-name').textContent")
              == "Tuesday Evening Net", "the net's name is shown")
        check(page.evaluate("document.getElementById('net-frequency').textContent")
              == "146.520 MHz", "the frequency carries its unit")
        check(page.evaluate("document.getElementById('logged-head').textContent")
              == "Logged (local)" and
              page.evaluate("document.getElementById('net-times').textContent") == "local",
              "log times say they are local")
        check(page.evaluate("document.querySelectorAll('#checkins img, #checkins b').length") == 0
              and page.evaluate(rows_contain("<img src=x onerror=alert(1)>")),
              "a hostile name is shown as text, not markup")
        check(page.wait_for("document.getElementById('live').textContent === 'live'", 5)
              is not None, "the event stream is open")

        fixture.stdin.write("type Q2TYP\n")
        fixture.stdin.flush()
        took = page.wait_for(rows_contain("Q2TYP"), 30)
        check(took is not None,
              f"a check-in typed in the net window appears in {took:.3f} s" if took else
              "a check-in typed in the net window appears")
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
            udp.sendto(b"acsQ3UDP,", ("127.0.0.1", udp_port))
        took = page.wait_for(rows_contain("Q3UDP"), 30)
        check(took is not None,
              f"a check-in over UDP appears in {took:.3f} s" if took else
              "a check-in over UDP appears")
        page.screenshot(os.path.join(args.screenshots, "web-live-1024.png"))

        # A wall display: large type, the newest check-in on top.
        first_call = "document.querySelector('#checkins tr td').textContent"
        page.navigate(base + "/?big")
        check(page.evaluate("document.body.classList.contains('big')"), "/?big sets large type")
        check(page.wait_for(f"{first_call} === 'Q3UDP'", 3) is not None,
              "the wall display shows the newest check-in first")
        fixture.stdin.write("type Q2BIG\n")
        fixture.stdin.flush()
        check(page.wait_for(f"{first_call} === 'Q2BIG'", 3) is not None,
              "a new check-in comes in on top of the wall display")
        page.screenshot(os.path.join(args.screenshots, "web-live-big.png"))

        # Phone size: a row is one or two lines, the newest on top.
        page.size(390, 844, True)
        page.navigate(base + "/")
        rows = "document.querySelectorAll('#checkins tr')"
        check(page.wait_for(f"{rows}.length === 5", 3) is not None, "the phone lists them all")
        top = page.evaluate(f"[...{rows}].map(r => [r.getBoundingClientRect().top, "
                            "r.querySelector('td').textContent]).sort((a, b) => a[0] - b[0])"
                            "[0][1]")
        check(top == "Q2BIG", f"on a phone the newest check-in is on top ({top})")
        line = page.evaluate("parseFloat(getComputedStyle(document.querySelector('#checkins td'))"
                             ".fontSize)")
        heights = page.evaluate(f"[...{rows}].map(r => r.getBoundingClientRect().height)")
        check(max(heights) <= 2 * 1.4 * line + 8,
              f"a phone row is one or two lines ({max(heights):.0f} px at {line:.0f} px type)")
        page.screenshot(os.path.join(args.screenshots, "web-live-phone.png"))

        # The logger: without the PIN nothing is taken.
        page.size(1024, 768, False)
        page.navigate(base + "/log")
        check(page.evaluate("!!document.querySelector('input[name=pin]') && "
                            "!document.getElementById('callsign')"),
              "the logger page asks for the PIN first")
        status = page.evaluate("fetch('/log', {method: 'POST', headers: {'Content-Type': "
                               "'application/x-www-form-urlencoded'}, body: 'callsign=Q6NOP'})"
                               ".then(r => r.status)")
        check(status == 403, "a check-in without the PIN is refused (403)")
        status = page.evaluate("fetch('/log/suggest?q=Q1').then(r => r.status)")
        check(status == 403, "suggestions without the PIN are refused (403)")

        page.evaluate(f"document.querySelector('input[name=pin]').value = {json.dumps(PIN)};"
                      "document.querySelector('form').submit(); true")
        check(page.wait_for("!!document.body && document.body.textContent.includes('Give your name')", 5)
              is not None, "the PIN alone opens nothing: the logger gives a name")
        page.evaluate("document.querySelector('input[name=name]').value = 'Ann';"
                      f"document.querySelector('input[name=pin]').value = {json.dumps(PIN)};"
                      "document.querySelector('form').submit(); true")
        check(page.wait_for("!!document.getElementById('callsign')", 5) is not None,
              "the PIN opens the logger page")
        page.evaluate("document.getElementById('callsign').focus(); true")
        page.type_text("<b>")
        page.press_enter()
        check(page.wait_for("document.getElementById('answer').textContent"
                            ".startsWith('Not a callsign')", 3) is not None,
              "markup for a callsign is refused (422)")
        page.evaluate("document.getElementById('callsign').value = ''; true")
        page.evaluate("document.getElementById('callsign').focus(); true")
        page.type_text("q4lo")
        check(page.wait_for("document.querySelectorAll('#calls option').length > 0", 3)
              is not None, "suggestions come from the master database")
        page.type_text("g")
        page.evaluate("document.getElementById('name').focus(); true")
        check(page.wait_for("document.getElementById('name').value === 'Lois' && "
                            "document.getElementById('location').value === 'Springfield' && "
                            "document.getElementById('state').value === 'IL'", 3)
              is not None, "leaving the callsign fills name, location and state")
        page.evaluate("document.getElementById('options').focus(); true")
        page.type_text("rm")
        check(page.evaluate("document.getElementById('prec').value") == "R",
              "the options set the traffic line's precedence")
        page.evaluate("document.getElementById('count').focus(); true")
        page.type_text("2")
        page.evaluate("document.getElementById('dest').focus(); true")
        page.type_text("boston")
        page.screenshot(os.path.join(args.screenshots, "web-logger-row.png"))
        page.press_enter()
        check(page.wait_for("document.getElementById('answer').textContent === 'Logged Q4LOG'", 3)
              is not None, "Enter logs the whole row (200)")
        check(page.wait_for(rows_contain("Q4LOG") + " && " + rows_contain("Springfield"), 2)
              is not None, "the logger sees the check-in appear")

        # A name the logger types is kept over the master database's.
        page.evaluate("document.getElementById('callsign').focus(); true")
        page.type_text("q6new")
        page.evaluate("document.getElementById('name').focus(); true")
        page.wait_for("document.getElementById('name').value === 'Nora'", 3)
        page.evaluate("document.getElementById('name').select(); true")
        page.type_text("Nell")
        page.press_enter()
        check(page.wait_for(rows_contain("Nell") + " && !" + rows_contain("Nora"), 3) is not None,
              "a name the logger typed is logged as typed")

        # A station logged already: asked, logged twice only when confirmed.
        page.evaluate("document.getElementById('callsign').focus(); true")
        page.type_text("q4log")
        page.press_enter()
        check(page.wait_for("document.getElementById('answer').textContent"
                            ".startsWith('Q4LOG is already logged at ') && "
                            "document.getElementById('answer').textContent.includes(' by Ann') && "
                            "!document.getElementById('again').hidden", 3) is not None,
              "a station logged already is answered with when and by whom")
        count_q4 = ("[...document.querySelectorAll('#checkins tr td:first-child')]"
                    ".filter(td => td.textContent === 'Q4LOG').length")
        check(page.evaluate(count_q4) == 1, "and not logged again yet")
        page.screenshot(os.path.join(args.screenshots, "web-logger-again.png"))
        page.evaluate("document.getElementById('again').click(); true")
        check(page.wait_for(f"{count_q4} === 2", 3) is not None, "Log again logs it twice")

        # The message line both ways, and the rows marked in the net window.
        fixture.stdin.write("say QSY to 146.55 in five minutes\n")
        fixture.stdin.flush()
        check(page.wait_for("document.getElementById('messages').textContent"
                            ".includes('NCS: QSY to 146.55 in five minutes')", 6) is not None,
              "the net control station's message reaches the logger page")
        page.evaluate("document.getElementById('say').focus(); true")
        page.type_text("Q6NEW has traffic for you")
        page.press_enter()
        check(page.wait_for("document.getElementById('say').value === ''", 3) is not None,
              "the logger's message is sent")
        fixture.stdin.write("desk\n")
        fixture.stdin.flush()
        desk = ""
        while not desk.startswith("desk"):
            desk = fixture.stdout.readline()
        check("Logging: Ann" in desk and "Ann: Q6NEW has traffic for you" in desk,
              f"the net window's status bar shows the logger and the message ({desk.strip()})")
        check(desk.count("Logged by Ann") == 3,
              "the net window marks the three rows Ann logged")
        check(page.wait_for("document.getElementById('messages').textContent"
                            ".includes('Ann: Q6NEW has traffic for you')", 6) is not None,
              "the logger's own message is on the page too")
        page.screenshot(os.path.join(args.screenshots, "web-logger.png"))

        # A large net (JSON over 64 KB): after the whole net, changes only,
        # which the page applies where they belong.
        fixture.stdin.write("bulk 600\n")
        fixture.stdin.flush()
        while not fixture.stdout.readline().startswith("bulk"):
            pass
        count = "document.querySelectorAll('#checkins tr').length"
        check(page.wait_for(f"{count} === 608", 10) is not None, "the page shows the large net")
        page.evaluate("window.changes = 0; source.addEventListener('change', "
                      "() => window.changes++); true")
        fixture.stdin.write("type Q8CHG\n")
        fixture.stdin.flush()
        took = page.wait_for(rows_contain("Q8CHG"), 30)
        check(took is not None,
              f"a check-in in a large net appears in {took:.3f} s" if took else
              "a check-in in a large net appears")
        check(page.evaluate("window.changes") >= 1 and page.evaluate(f"{count}") == 609
              and page.evaluate("document.querySelector('#checkins tr:last-child td')"
                                ".textContent") == "Q8CHG",
              "it came as a change event, applied at the end of the list")

        check_board(page, fixture, base, args.screenshots)

        # The net window closes: the page says so, and a press of Log is answered.
        fixture.stdin.write("close\n")
        fixture.stdin.flush()
        check(page.wait_for("document.getElementById('live').textContent"
                            ".includes('closed')", 5) is not None,
              "the page says the net window is closed")
        page.evaluate("document.getElementById('callsign').focus(); true")
        page.type_text("q9lat")
        page.press_enter()
        check(page.wait_for("document.getElementById('answer').textContent"
                            ".startsWith('No answer from the station')", 5) is not None,
              "Log is answered when the net window is closed")
        print("1 passed, 0 failed", flush=True)
        return 0
    finally:
        if browser:
            browser.kill()
            browser.wait()
        try:
            fixture.stdin.write("quit\n")
            fixture.stdin.flush()
            fixture.wait(timeout=10)
        except Exception:
            fixture.kill()
        shutil.rmtree(profile, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--fixture", required=True)
    parser.add_argument("--screenshots", required=True)
    args = parser.parse_args()
    chromium = shutil.which("chromium")
    if not chromium:
        print("SKIP: chromium is not installed (scripts/install-deps installs it)")
        return SKIP
    try:
        import websocket
    except ImportError:
        print("SKIP: python3-websocket is not installed (scripts/install-deps installs it)")
        return SKIP
    try:
        return run(args, websocket, chromium)
    except Fail as failure:
        print("FAIL:", failure, flush=True)
        print("0 passed, 1 failed", flush=True)
        return 1


if __name__ == "__main__":
    sys.exit(main())
