#!/usr/bin/env python3
"""At a terminal, a server that never answers keeps nobody at a frozen prompt, and Ctrl-C never
ends the program.

quorix runs on a real pseudo-terminal against a fake server on 127.0.0.1 that takes the
connection and never answers the request that matters: a ZENET login, the upload of an
autosaved reading to ZENET, the RadResponder login page and a survey upload to RadResponder
(with the token refresh that follows it). Each time the program must say within a second which
server it waits for, Ctrl-C must bring the prompt back, `show` must show the screen as it is
while loading, and `quit` must end the program at once with status 0. The same ZENET login
piped in (no terminal) still waits, in order, until the request fails.

Ctrl-C pressed at once after a command that waits for a server, and again after "Stopped
waiting", leaves the program running; at the prompt it drops the line being typed. Another
program holding the stored readings (a write transaction of its own) is named within a second,
at the launch and during an import; once it lets go, the real store is open with its readings,
and the import is stored. A waypoint name holding escape sequences reaches the terminal escaped.

usage: slow_server.py QUORIX HOME
"""
import http.server
import os
import sqlite3
import pty
import re
import select
import shutil
import signal
import subprocess
import sys
import threading
import time

quorix, home = sys.argv[1:3]
failures = []

SOAP_REPLY = '<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body/></s:Envelope>'
TOKENS = '{"access_token":"acc-1","refresh_token":"ref-1","token_type":"Bearer","expires_in":3600}'
EVENTS = '[{"id":7,"name":"Drill","sponsorName":"County"},{"id":12,"name":"Flood Exercise","sponsorName":""}]'
# Long enough that the program's own time-out never ends a wait the test looks at.
HANG = 120


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, file=sys.stderr)
    return condition


class Server:
    """HTTP on 127.0.0.1; `silent(request)` says which requests are taken and never answered."""

    def __init__(self, answer, silent):
        self.release = threading.Event()
        self.arrived = threading.Event()  # set once a request is taken and left unanswered
        self.heard = []  # the requests taken and never answered
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def reply(self, method):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length).decode("utf-8", "replace") if length else ""
                if silent(method, self.path, self.headers, body):
                    outer.heard.append(self.path)
                    outer.arrived.set()
                    outer.release.wait(HANG)
                    self.close_connection = True
                    return
                answered = answer(method, self.path, self.headers, body)
                if answered is None:  # the connection is closed without a reply
                    self.close_connection = True
                    return
                status, headers, text = answered
                data = text.encode()
                self.send_response(status)
                for k, v in headers:
                    self.send_header(k, v)
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)

            def do_GET(self):
                self.reply("GET")

            def do_POST(self):
                self.reply("POST")

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.address = "http://127.0.0.1:%d" % self.httpd.server_address[1]
        self.host = "127.0.0.1:%d" % self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.release.set()
        self.httpd.shutdown()
        self.httpd.server_close()


def never(*_):
    return False


def after(seconds, answer):
    """The answer (None: the connection closed without one) once the seconds have passed."""
    def late(*request):
        time.sleep(seconds)
        return answer(*request) if answer else None
    return late


def zenet_answer(method, path, headers, body):
    return 200, [("Content-Type", "text/xml; charset=utf-8")], SOAP_REPLY


def radresponder_answer(method, path, headers, body):
    bare = path.split("?")[0]
    if bare == "/oauth/authorize":
        state = re.search(r"[?&]state=([^&]*)", path).group(1)
        return 302, [("Location", "quorix://authorize?code=c0de&state=" + state)], ""
    if bare == "/oauth/token":
        return 200, [("Content-Type", "application/json")], TOKENS
    if bare == "/api/v1/event":
        return 200, [("Content-Type", "application/json")], EVENTS
    return 404, [], "not here"


class Terminal:
    """quorix on a pseudo-terminal of its own, as a person starts it."""

    def __init__(self, name, fresh=True, ready="quorix> "):
        folder = os.path.join(home, name)
        if fresh:
            shutil.rmtree(folder, ignore_errors=True)
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.execv(quorix, [quorix, "--home", folder, "--start-time", "2026-12-07T09:00"])
        self.seen = ""
        self.expect(ready, 30)

    def read(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return False
        try:
            data = os.read(self.fd, 65536)
        except OSError:
            return False
        if not data:
            return False
        self.seen += data.decode("utf-8", "replace")
        return True

    def expect(self, pattern, timeout):
        """Waits for the pattern after what was matched before; returns the text up to its end."""
        deadline = time.monotonic() + timeout
        while True:
            found = re.search(pattern, self.seen)
            if found:
                text = self.seen[:found.end()]
                self.seen = self.seen[found.end():]
                return text
            left = deadline - time.monotonic()
            if left <= 0 or not self.read(left):
                raise RuntimeError("no %r within %ss; the terminal shows:\n%s" % (pattern, timeout, self.seen))

    def run(self, command, timeout=30):
        """Types the command; returns what it printed up to the next prompt."""
        self.type(command)
        return self.expect(r"quorix> ", timeout)

    def type(self, command):
        os.write(self.fd, (command + "\n").encode())

    def interrupt(self):
        os.write(self.fd, b"\x03")

    def alive(self):
        return os.waitpid(self.pid, os.WNOHANG)[0] == 0

    def quit(self):
        """`quit` ends the program at once, however many requests are still under way."""
        self.type("quit")
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                os.close(self.fd)
                return os.waitstatus_to_exitcode(status)
            self.read(0.1)
        os.kill(self.pid, signal.SIGKILL)
        os.waitpid(self.pid, 0)
        os.close(self.fd)
        return None


def stop_waiting(t, server, purpose, started):
    """The program names the server within a second of the command; Ctrl-C gives the prompt back."""
    told = t.expect(r"Waiting for [^\n]*press Ctrl-C to stop waiting", 5)
    took = time.monotonic() - started
    # The program tells after half a second; a loaded machine (a sanitizer build beside other
    # tests) may add a little, never the server's whole timeout the old prompt sat through.
    check(took < 3.0, "%s: the wait was told after %.1f s" % (purpose, took))
    check(server.host in told and "(" + purpose + ")" in told,
          "%s: the message names the server and what for: %r" % (purpose, told.splitlines()[-1]))
    t.interrupt()
    stopped = t.expect(r"quorix> ", 5)
    check("Stopped waiting" in stopped, "%s: Ctrl-C did not say it stopped waiting: %r" % (purpose, stopped))


def run_case(name, server, steps, command, purpose, loading, after=None):
    t = Terminal(name)
    try:
        for step in steps:
            out = t.run(step.replace("@SERVER@", server.address))
            check("error:" not in out, "%s: %s failed: %s" % (name, step, out))
        started = time.monotonic()
        t.type(command)
        stop_waiting(t, server, purpose, started)
        shown = t.run("show", 5)
        for text in loading:
            check(text in shown, "%s: the screen while loading lacks %r:\n%s" % (name, text, shown))
        if after:
            after(t)
        started = time.monotonic()
        status = t.quit()
        check(status == 0, "%s: quit ended with %r" % (name, status))
        check(time.monotonic() - started < 5, "%s: quit waited for the server" % name)
    except RuntimeError as error:
        check(False, "%s: %s" % (name, error))
        t.quit()


def zenet_login_steps():
    return ["tab Settings", "tap ZENET", 'type "Server Address" "@SERVER@/Zenet31/DeviceService"',
            "tap Login", "type username ann", "type password pw"]


def interrupts(server):
    """Ctrl-C drops the line being typed; pressed at once in a wait, and again, it ends nothing."""
    t = Terminal("interrupts")
    try:
        os.write(t.fd, b"quit")
        t.interrupt()
        t.expect(r"quorix> ", 5)
        shown = t.run("show", 5)
        check(t.alive() and "error:" not in shown, "interrupts: the line typed before Ctrl-C was run:\n" + shown)
        for step in zenet_login_steps():
            t.run(step.replace("@SERVER@", server.address))
        t.type("press Login")
        check(server.arrived.wait(10), "interrupts: the login never reached the server")
        t.interrupt()
        stopped = t.expect(r"quorix> ", 5)
        check("Stopped waiting" in stopped, "interrupts: Ctrl-C in the first half second: %r" % stopped)
        t.interrupt()
        t.expect(r"quorix> ", 5)
        shown = t.run("show", 5)
        check(t.alive() and "Login" in shown, "interrupts: a second Ctrl-C ended the program:\n" + shown)
    except RuntimeError as error:
        check(False, "interrupts: %s" % error)
    check(t.quit() == 0, "interrupts: quit did not end the program with status 0")


def write_csv(folder, name, rows):
    os.makedirs(os.path.join(folder, "Documents"), exist_ok=True)
    with open(os.path.join(folder, "Documents", name), "w", encoding="utf-8") as f:
        f.write("date,der,variation,de,accumulation,latitude,longitude,altitude,name\n")
        for when, waypoint in rows:
            f.write('%s,0.12,12.5,0.00001,00:10:00,48.858222,2.2945,35.75,"%s"\n' % (when, waypoint))


def import_steps(name):
    return ["tab Settings", 'tap "Import Data"', "tap " + name]


class Holder:
    """Another program with a write transaction open on the store."""

    def __init__(self, folder):
        self.db = sqlite3.connect(os.path.join(folder, "VennorlabsDB.sqlite"), isolation_level=None)
        self.db.execute("BEGIN IMMEDIATE")

    def release(self):
        self.db.execute("ROLLBACK")
        self.db.close()


def held_store():
    """Escaped names on the terminal; a store another program holds is waited for, and said so."""
    folder = os.path.join(home, "held")
    shutil.rmtree(folder, ignore_errors=True)
    raw = "Quay\x1b[2J\x1b]0;owned\x07 end"
    write_csv(folder, "named.csv", [("2026-12-07T08:00:00Z", raw)])
    write_csv(folder, "more.csv", [("2026-12-07T08:30:00Z", "Bridge")])
    piped = subprocess.run([quorix, "--home", folder, "--start-time", "2026-12-07T09:00"], capture_output=True,
                           text=True, timeout=60,
                           input="\n".join(import_steps("named.csv") + ["expect \"Imported: 1\"", "press OK", "back",
                                                                         "tab History", 'tap "Waypoints:"', "show"]))
    check(piped.returncode == 0, "held: the import failed: " + piped.stderr)
    check("\x1b" not in piped.stdout and "\x07" not in piped.stdout, "held: an escape sequence reached the terminal")
    check("Quay\\e[2J\\e]0;owned\\x07 end" in piped.stdout, "held: the name is not shown escaped:\n" + piped.stdout)
    with sqlite3.connect(os.path.join(folder, "VennorlabsDB.sqlite")) as db:
        names = [row[0] for row in db.execute("SELECT name FROM Waypoint")]
    check(names == [raw], "held: the stored name changed: %r" % names)

    holder = Holder(folder)
    try:
        t = Terminal("held", fresh=False, ready="Another program is using the stored readings")
    except RuntimeError as error:
        check(False, "held: the launch did not say it waits: %s" % error)
        holder.release()
        return
    try:
        holder.release()
        t.expect(r"quorix> ", 10)
        out = t.run("expect-store waypoints == 1", 5)
        check("error:" not in out, "held: the launch did not open the real store: " + out)
        holder = Holder(folder)
        for step in import_steps("more.csv")[:-1]:
            t.run(step)
        t.type(import_steps("more.csv")[-1])
        told = t.expect(r"Waiting for [^\n]*press Ctrl-C to stop waiting", 5)
        check("another program using the stored readings" in told, "held: the import's wait: %r" % told)
        holder.release()
        t.expect(r"quorix> ", 10)
        out = t.run('expect "Imported: 1"', 5) + t.run("press OK", 5) + t.run("expect-store waypoints == 2", 5)
        check("error:" not in out, "held: the import after the wait: " + out)
    except RuntimeError as error:
        check(False, "held: %s" % error)
    check(t.quit() == 0, "held: quit did not end the program with status 0")


def held_during_upload(server):
    """A reading's save waits for another program holding the store: named, and let go by Ctrl-C;
    once the store is free the reading is stored, and its upload keeps no command waiting."""
    t = Terminal("held-upload")
    holder = None
    try:
        for step in zenet_login_steps() + ["press Login", "expect Logout", "back"]:
            t.run(step.replace("@SERVER@", server.address))
        holder = Holder(os.path.join(home, "held-upload"))
        t.type("advance 3700")
        told = t.expect(r"Waiting for [^\n]*press Ctrl-C to stop waiting", 5)
        check("another program using the stored readings" in told, "held-upload: the save's wait: %r" % told)
        t.interrupt()
        check("Stopped waiting" in t.expect(r"quorix> ", 5), "held-upload: Ctrl-C did not stop the wait")
        holder.release()
        holder = None
        deadline = time.monotonic() + 10
        out = "error:"
        while "error:" in out and time.monotonic() < deadline:
            out = t.run("expect-store autosaved >= 1", 5)
        check("error:" not in out and "Waiting for" not in out, "held-upload: after the other program let go: " + out)
        check(server.arrived.wait(10), "held-upload: the reading was not uploaded")
    except RuntimeError as error:
        check(False, "held-upload: %s" % error)
    if holder:
        holder.release()
    check(t.quit() == 0, "held-upload: quit did not end the program with status 0")


def main():
    held_store()
    silent = Server(zenet_answer, lambda *_: True)
    interrupts(silent)
    silent.close()

    silent = Server(zenet_answer, lambda *_: True)
    run_case("zenet-login", silent, zenet_login_steps(), "press Login", "ZENET login", ["Login"])
    silent.close()

    uploads = Server(zenet_answer, lambda m, p, h, b: "SubmitLogin" not in h.get("SOAPAction", ""))
    held_during_upload(uploads)
    def not_uploaded(t):
        out = t.run("expect-store autosaved == 1", 5) + t.run("expect-store uploaded == 0", 5)
        check("error:" not in out, "zenet-upload: the reading after Ctrl-C: " + out)
    run_case("zenet-upload", uploads, zenet_login_steps() + ["press Login", "expect Logout", "back"],
             "advance 3700", "ZENET upload of a reading", ["Settings"], not_uploaded)
    uploads.close()

    # A login answered late is taken in at a command after the answer came.
    late = Server(after(2, zenet_answer), never)
    def logged_in_later(t):
        time.sleep(2.5)
        shown = t.run("show", 5)
        check("Logout" in shown and "Waiting for" not in shown, "zenet-late: the late login was not taken in:\n" + shown)
    run_case("zenet-late", late, zenet_login_steps(), "press Login", "ZENET login", ["Login"], logged_in_later)
    late.close()

    # The page stays loading until the person leaves it by its own Back button.
    page = Server(radresponder_answer, lambda *_: True)
    def leave_page(t):
        out = t.run("back", 5) + t.run("expect Login", 5) + t.run("expect-not WebView", 5)
        check("error:" not in out, "radresponder-page: leaving the loading page: " + out)
    run_case("radresponder-page", page,
             ["tab Settings", "tap RadResponder", 'type "Server Address" "@SERVER@"'],
             "tap Login", "web page", ["WebView", "(loading)"], leave_page)
    page.close()

    # The survey breaks off after a while, and the token refresh that follows never ends: started
    # by a reply no one waited for, it keeps no later command waiting.
    def survey_answer(method, path, *rest):
        if path.startswith("/api/v1/fieldsurvey"):
            return after(2, None)()
        return radresponder_answer(method, path, *rest)
    surveys = Server(survey_answer, lambda m, p, h, b: "refresh_token" in b)
    def refresh_not_waited_for(t):
        time.sleep(2.5)
        started = time.monotonic()
        shown = t.run("show", 5)
        check(time.monotonic() - started < 3 and "Waiting for" not in shown,
              "radresponder-survey: a later command waited for the token refresh:\n" + shown)
        deadline = time.monotonic() + 5
        while not surveys.heard and time.monotonic() < deadline:
            time.sleep(0.1)
        check(surveys.heard == ["/oauth/token"], "radresponder-survey: the token was not refreshed: %r" % surveys.heard)
    run_case("radresponder-survey", surveys,
             ["tab Settings", "tap RadResponder", 'tap "Upload Mode"', 'tap "Auto upload"', "back",
              'type "Server Address" "@SERVER@"', "tap Login", "expect Logout", 'tap "Select Event"',
              'tap "Flood Exercise"', "back", "back", "tab Dashboard", "reading 0.75"],
             "advance 3700", "RadResponder survey upload", ["Dashboard"], refresh_not_waited_for)
    surveys.close()

    # Piped in, a login the server answers after a while is waited for in order, without a word.
    slow = Server(after(1.5, zenet_answer), never)
    folder = os.path.join(home, "piped")
    shutil.rmtree(folder, ignore_errors=True)
    commands = [s.replace("@SERVER@", slow.address) for s in zenet_login_steps()]
    piped = subprocess.run([quorix, "--home", folder], input="\n".join(commands + ["press Login", "expect Logout"]),
                           capture_output=True, text=True, timeout=60)
    slow.close()
    check(piped.returncode == 0, "piped: status %d: %s" % (piped.returncode, piped.stderr))
    check("Waiting for" not in piped.stdout + piped.stderr, "piped: a waiting message: " + piped.stdout)

    if failures:
        sys.exit(1)
    print("slow-server: every wait could be stopped")


main()
