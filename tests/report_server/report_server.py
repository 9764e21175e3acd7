#!/usr/bin/env python3
"""The statistics and offer service of the tests and the demo, on 127.0.0.1 only.

Records every request, checks each URL signature, opens every "v611" envelope
with the host tool (report_open), answers the offer query, and can answer 302,
404, never, or by the drip (a byte a second, never finished) for the failure
tests. See README.md for the control requests and the offer answer format.

  report_server.py --port 18611 --keys KEYFILE --opener report_open [--record FILE]
                   [--ready FILE] [--offer JSON] [--mode ok|302|404|hang|drip|endless]
"""
import argparse
import hashlib
import json
import socketserver
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, HTTPServer

# The licence and privacy versions the service names (GET <stats base>legal/version?doc=).
DOCUMENT_VERSIONS = {"license": "2026-03-01", "privacy": "2026-04-15 r2"}
MODES = ("ok", "302", "404", "hang", "drip", "endless")
STALL_SECONDS = 60
ENDLESS_BYTES = 4 << 30  # "endless" stops here, or after STALL_SECONDS, or when the client leaves


def load_keys(path):
    keys = {}
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#") and "=" in line:
                name, value = line.split("=", 1)
                keys[name] = bytes.fromhex(value)
    return keys


def split_query(query):
    """Pairs in order, values still URL-encoded (the envelope is opened as sent)."""
    pairs = []
    for item in query.split("&"):
        if item == "":
            continue
        name, _, value = item.partition("=")
        pairs.append((name, value))
    return pairs


def decoded(pairs):
    return {name: urllib.parse.unquote_plus(value) for name, value in pairs}


class State:
    def __init__(self, args):
        self.lock = threading.Lock()
        self.records = []
        self.default_mode = args.mode
        self.modes = {}   # channel -> mode
        self.offers = {}  # channel -> answer body
        self.default_offer = args.offer
        self.suffix = load_keys(args.keys)["signature_suffix"]
        self.keys = args.keys
        self.opener = args.opener
        self.record_file = open(args.record, "a") if args.record else None

    def signature(self, host, target):
        """"valid", "invalid" or "absent" for "<url>&toat=v1&madt=<d>"."""
        marker = "&toat=v1&madt="
        at = target.rfind(marker)
        if at < 0:
            return "absent"
        unsigned, given = target[:at], target[at + len(marker):]
        digest = hashlib.sha1((host + unsigned).encode() + self.suffix).hexdigest()
        return "valid" if given == digest[8:32] else "invalid"

    def open_envelope(self, value):
        run = subprocess.run([self.opener, "open", self.keys, value], capture_output=True, text=True)
        if run.returncode != 0:
            return {"refused": run.stderr.strip()}
        first, _, clear = run.stdout.partition("\n")
        clear = clear.rstrip("\n")
        return {"sequence": int(first.split("=", 1)[1]), "clear": clear,
                "params": decoded(split_query(clear))}

    def add(self, record):
        with self.lock:
            record["index"] = len(self.records)
            self.records.append(record)
            if self.record_file:
                self.record_file.write(json.dumps(record) + "\n")
                self.record_file.flush()

    def mode_for(self, channel):
        with self.lock:
            return self.modes.get(channel, self.default_mode)

    def offer_for(self, channel):
        with self.lock:
            return self.offers.get(channel, self.default_offer)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LumReportServer/1"

    def log_message(self, fmt, *args):  # the records are the log
        pass

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def control(self, path, params):
        state = self.server.state
        if path == "/__control/ping":
            return self.reply(200, b"pong")
        if path == "/__control/mode":
            mode = params.get("m", "ok")
            if mode not in MODES:
                return self.reply(400, b"unknown mode")
            with state.lock:
                if "ch" in params:
                    state.modes[params["ch"]] = mode
                else:
                    state.default_mode = mode
            return self.reply(200, b"ok")
        if path == "/__control/offer":
            with state.lock:
                state.offers[params.get("ch", "")] = params.get("body", "")
            return self.reply(200, b"ok")
        if path == "/__control/requests":
            channel = params.get("ch")
            with state.lock:
                chosen = [r for r in state.records if channel is None or r.get("ch") == channel]
            return self.reply(200, json.dumps(chosen).encode(), [("Content-Type", "application/json")])
        return self.reply(404, b"unknown control request")

    def do_GET(self):
        state = self.server.state
        target = self.path
        path, _, query = target.partition("?")
        pairs = split_query(query)
        params = decoded(pairs)
        if path.startswith("/__control/"):
            return self.control(path, params)
        host = self.headers.get("Host", "")
        record = {"time": time.time(), "path": path, "target": target, "host": host,
                  "params": params, "signature": state.signature(host, target)}
        sealed = [value for name, value in pairs if name == "v611"]
        if sealed:
            record["envelope"] = state.open_envelope(sealed[0])
        channel = params.get("ch")
        if channel is None and "params" in record.get("envelope", {}):
            channel = record["envelope"]["params"].get("ch")
        record["ch"] = channel
        mode = state.mode_for(channel)
        record["answered"] = mode
        state.add(record)
        if mode == "302":
            return self.reply(302, b"", [("Location", "http://127.0.0.1:9/moved")])
        if mode == "404":
            return self.reply(404, b"not here")
        if mode == "hang":
            time.sleep(STALL_SECONDS)  # the client's own time-out ends the request
            return
        if mode == "drip":
            try:
                for byte in b"HTTP/1.1 200 OK\r\nX-Drip: "[:STALL_SECONDS]:
                    self.wfile.write(bytes([byte]))
                    self.wfile.flush()
                    time.sleep(1)
            except OSError:
                pass
            return
        if mode == "endless":
            # A 200 whose body never ends: as fast as the client takes it.
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Connection", "close")
            self.end_headers()
            chunk = b'{"value": 1, ' + b" " * 65536
            sent, until = 0, time.time() + STALL_SECONDS
            try:
                while sent < ENDLESS_BYTES and time.time() < until:
                    self.wfile.write(chunk)
                    sent += len(chunk)
            except OSError:
                pass
            self.close_connection = True
            return
        if path.endswith("/legal/version"):
            version = DOCUMENT_VERSIONS.get(params.get("doc", ""))
            if version is None:
                return self.reply(404, b"no such document")
            return self.reply(200, version.encode(), [("Content-Type", "text/plain")])
        if path.endswith("/promo/opera"):
            return self.reply(200, state.offer_for(channel).encode(), [("Content-Type", "application/json")])
        return self.reply(200, b"ok")


class Server(socketserver.ThreadingMixIn, HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=18611)
    parser.add_argument("--keys", required=True)
    parser.add_argument("--opener", required=True)
    parser.add_argument("--record")
    parser.add_argument("--ready", help="file written once the server listens")
    parser.add_argument("--offer", default='{"value": 1, "checked": 1, "mode": 0}')
    parser.add_argument("--mode", default="ok", choices=MODES)
    args = parser.parse_args()
    server = Server(("127.0.0.1", args.port), Handler)
    server.state = State(args)
    if args.ready:
        with open(args.ready, "w") as f:
            f.write(str(args.port))
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
