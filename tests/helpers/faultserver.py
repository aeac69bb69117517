#!/usr/bin/python3
"""A scriptable HTTP/1.1 server for the fault cases that real servers will not produce on demand.

Usage: faultserver.py FOLDER
Listens on a free port of 127.0.0.1 and prints "PORT <n>" as its first line. FOLDER holds:
  script.json  rules, read again whenever the file changes; the first rule that matches a
               request answers it. A rule matches on "path" (the target without its query, or
               "*") and "method" (any when absent), until it has answered "times" requests.
               The answer: "status" and "reason" (200 OK), "headers" (raw lines, sent as given),
               a body from "file" (a name under www/) or "body" (text), "ranges" (answer a Range
               with 206 and Content-Range), "length" (the Content-Length to send instead of the
               true one; null sends none and ends the body with the connection), "stall_before"
               (seconds of silence before the answer), "stall_at" and "stall" (silence after that
               many body bytes, for "stall" seconds or until the file "until" exists in www/),
               "close_at" (cut the connection after that many body bytes), "raw" (text sent as
               the whole answer). Without a matching rule a file of www/ is served with ranges.
  record.jsonl one JSON line per request when its head is complete: "time" (seconds since the
               start), "method", "target" and "headers" (the header lines exactly as received).
"""
import json
import os
import re
import socketserver
import sys
import threading
import time

FOLDER = sys.argv[1]
WWW = os.path.join(FOLDER, "www")
START = time.monotonic()
LOCK = threading.Lock()
STATE = {"mtime": None, "rules": [], "used": []}


def rules_for(method, path):
    """The first matching rule that is not used up, counted as used; None when none matches."""
    with LOCK:
        script = os.path.join(FOLDER, "script.json")
        mtime = os.stat(script).st_mtime_ns if os.path.exists(script) else None
        if mtime != STATE["mtime"]:
            with open(script if mtime else os.devnull, encoding="utf-8") as f:
                STATE["rules"] = json.loads(f.read() or "[]")
            STATE["used"] = [0] * len(STATE["rules"])
            STATE["mtime"] = mtime
        for i, rule in enumerate(STATE["rules"]):
            if rule.get("path", "*") not in ("*", path) or rule.get("method", method) != method:
                continue
            if "times" in rule and STATE["used"][i] >= rule["times"]:
                continue
            STATE["used"][i] += 1
            return rule
    return {"file": path.lstrip("/"), "ranges": True, "headers": ["Accept-Ranges: bytes"]}


def record(method, target, lines):
    entry = {"time": time.monotonic() - START, "method": method, "target": target, "headers": lines}
    with LOCK, open(os.path.join(FOLDER, "record.jsonl"), "a", encoding="utf-8") as f:
        f.write(json.dumps(entry) + "\n")


def wait(rule, key):
    """Silence for rule[key] seconds, ended early once the "until" file exists."""
    deadline = time.monotonic() + rule.get(key, 0)
    until = os.path.join(WWW, rule["until"]) if "until" in rule else None
    while time.monotonic() < deadline and not (until and os.path.exists(until)):
        time.sleep(0.02)


class Connection(socketserver.BaseRequestHandler):
    def handle(self):
        pending = b""
        while True:
            while b"\r\n\r\n" not in pending:
                data = self.request.recv(65536)
                if not data:
                    return
                pending += data
            head, pending = pending.split(b"\r\n\r\n", 1)
            lines = head.decode("latin-1").split("\r\n")
            method, target = (lines[0].split(" ") + ["", ""])[:2]
            record(method, target, lines[1:])
            headers = {l.split(":", 1)[0].strip().lower(): l.split(":", 1)[1].strip() for l in lines[1:] if ":" in l}
            if not self.answer(method, target.split("?")[0], headers) or headers.get("connection", "").lower() == "close":
                return

    def answer(self, method, path, headers):
        """Sends the answer; False when the connection is to be closed."""
        rule = rules_for(method, path)
        wait(rule, "stall_before")
        if "raw" in rule:
            self.request.sendall(rule["raw"].encode("latin-1"))
            return False
        status, reason = rule.get("status", 200), rule.get("reason", "OK")
        body = rule.get("body", "").encode("utf-8")
        if "file" in rule:
            try:
                with open(os.path.join(WWW, rule["file"]), "rb") as f:
                    body = f.read()
            except OSError:
                status, reason, body = 404, "Not Found", b"not found\n"
        out = list(rule.get("headers", []))
        match = re.fullmatch(r"bytes=(\d+)-(\d*)", headers.get("range", ""))
        if rule.get("ranges") and match and status == 200:
            first, last = int(match.group(1)), int(match.group(2) or len(body) - 1)
            if first >= len(body):
                status, reason, out, body = 416, "Range Not Satisfiable", ["Content-Range: bytes */%d" % len(body)], b""
            else:
                last = min(last, len(body) - 1)
                out.append("Content-Range: bytes %d-%d/%d" % (first, last, len(body)))
                status, reason, body = 206, "Partial Content", body[first:last + 1]
        length = rule.get("length", len(body))
        if length is not None:
            out.append("Content-Length: %d" % length)
        head = "HTTP/1.1 %d %s\r\n%s\r\n" % (status, reason, "".join(h + "\r\n" for h in out))
        self.request.sendall(head.encode("latin-1"))
        if method == "HEAD":
            return True
        cut = rule.get("close_at")
        stall_at = rule.get("stall_at")
        if stall_at is not None and stall_at < len(body) and (cut is None or stall_at < cut):
            self.request.sendall(body[:stall_at])
            wait(rule, "stall")
            body = body[stall_at:]
            cut = None if cut is None else cut - stall_at
        self.request.sendall(body if cut is None else body[:cut])
        return cut is None and length is not None


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # a client that goes away mid-answer is one of the cases under test


def main():
    os.makedirs(WWW, exist_ok=True)
    server = Server(("127.0.0.1", 0), Connection)
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
