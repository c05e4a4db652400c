#!/usr/bin/env python3
"""A small media server for the client's tests.

Speaks the client's requests on 127.0.0.1 and a free port, which it prints as the first line on
standard output. Every request is appended to <folder>/requests.jsonl (method, path, the raw
query string, the Content-Type header and the body) so tests can check what the client sent.

  fake_media_server.py <folder> [--code DIGITS] [--token TOKEN]

Pairing: the right code gives {"token": TOKEN}; code 111111 is refused with an "error" member;
any other code is refused with a body that is not JSON. Listings need ?t=TOKEN, else 401. The
library "broken" answers a listing without its "files" member, the library "failing" a 500.
"""

import argparse
import json
import os
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

LIBRARIES = [
    {"id": "movies", "name": "Movies", "kind": "video", "extra": "ignored"},
    {"id": "music", "name": "Music", "kind": "audio"},
]


def listing(library, path):
    return {
        "library": library,
        "path": path,
        "folders": [{"name": "Extras", "path": path + "/Extras"}],
        "files": [
            {"name": "a.mkv", "path": path + "/a.mkv", "kind": "video", "size": 5000000000, "convert": True},
            {"name": "b.mp3", "path": path + "/b.mp3", "kind": "audio", "size": 1234, "convert": False},
        ],
    }


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self, body):
        split = urlsplit(self.path)
        entry = {
            "method": self.command,
            "path": split.path,
            "query": split.query,
            "contentType": self.headers.get("Content-Type", ""),
            "body": body.decode("utf-8", "replace"),
        }
        with open(os.path.join(self.server.folder, "requests.jsonl"), "a", encoding="utf-8") as log:
            log.write(json.dumps(entry) + "\n")

    def answer(self, status, payload):
        data = payload if isinstance(payload, bytes) else json.dumps(payload).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        self.record(body)
        if urlsplit(self.path).path != "/api/pair":
            return self.answer(404, {"error": "no such request"})
        try:
            code = json.loads(body).get("code")
        except (ValueError, AttributeError):
            code = None
        if code == self.server.code:
            return self.answer(200, {"token": self.server.token})
        if code == "111111":
            return self.answer(403, {"error": "That code has expired. Ask the server for a new one."})
        return self.answer(403, b"refused")

    def do_GET(self):
        self.record(b"")
        split = urlsplit(self.path)
        query = parse_qs(split.query, keep_blank_values=True)
        if query.get("t", [""])[-1] != self.server.token:
            return self.answer(401, {"error": "not paired"})
        if split.path == "/api/libraries":
            return self.answer(200, LIBRARIES)
        if split.path == "/api/browse":
            library = query.get("lib", [""])[0]
            path = query.get("path", [""])[0]
            if library == "failing":
                return self.answer(500, {"error": "disk on fire"})
            body = listing(library, path)
            if library == "broken":
                del body["files"]
            return self.answer(200, body)
        return self.answer(404, {"error": "no such request"})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--code", default="123456")
    parser.add_argument("--token", default="tok-3f9a")
    options = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.folder = options.folder
    server.code = options.code
    server.token = options.token
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
