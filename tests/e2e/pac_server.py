#!/usr/bin/env python3
"""Serves proxy scripts for the end-to-end tests: GET /NAME answers the file NAME of FOLDER,
except /hang, which is accepted and never answered.
  pac_server.py ADDRESS FOLDER PORT-FILE [PORT]"""
import http.server
import os
import socketserver
import sys
import threading

address, folder, port_file = sys.argv[1:4]
port = int(sys.argv[4]) if len(sys.argv) > 4 else 0
never = threading.Event()


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=folder, **kwargs)

    def do_GET(self):
        if self.path == "/hang":
            never.wait()
        return super().do_GET()

    def log_message(self, format, *args):
        sys.stderr.write("pac_server: " + (format % args) + "\n")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server((address, port), Handler)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
