#!/usr/bin/env python3
"""An HTTP proxy for tests that asks for NTLM and checks NTLMv2 answers against one password.

    ntlm_proxy.py KIND PASSWORD PORT-FILE LOG-FILE

It listens on a free loopback port, written to PORT-FILE. Every CONNECT is answered, whatever its
target, by a tunnel to an echo of its own. KIND says how its 407 answers end; the one that carries
the NTLM challenge keeps the connection in all kinds but closeall, as NTLM needs it:
    keep      Content-Length and keep-alive, always
    close     a bare challenge closes the connection after it
    nolength  a bare challenge has no length: its body ends with the connection
    closeall  every 407 closes the connection
    basic     asks for Basic only, and never grants
Each tunnel that opens writes "granted USER after N ms" to LOG-FILE; a wrong answer
writes "refused USER", and credentials sent to the Basic kind "authorization received".
"""
import base64
import hashlib
import hmac
import os
import socket
import struct
import sys
import threading
import time

BODY = b"<html><body>" + b"Proxy authentication is required. " * 90 + b"</body></html>\n"
SERVER_CHALLENGE_SIZE = 8


def md4(data):
    """MD4 (RFC 1320); hashlib lacks it under OpenSSL 3."""
    def rotl(x, n):
        return ((x << n) | (x >> (32 - n))) & 0xFFFFFFFF

    message = data + b"\x80" + b"\0" * ((55 - len(data)) % 64) + struct.pack("<Q", len(data) * 8)
    h = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476]
    for chunk in range(0, len(message), 64):
        x = struct.unpack("<16I", message[chunk:chunk + 64])
        a, b, c, d = h
        for i in range(16):
            k, s = i, (3, 7, 11, 19)[i % 4]
            a, b, c, d = d, rotl((a + ((b & c) | (~b & d)) + x[k]) & 0xFFFFFFFF, s), b, c
        for i in range(16):
            k, s = (i % 4) * 4 + i // 4, (3, 5, 9, 13)[i % 4]
            f = (b & c) | (b & d) | (c & d)
            a, b, c, d = d, rotl((a + f + x[k] + 0x5A827999) & 0xFFFFFFFF, s), b, c
        for i in range(16):
            k = (0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15)[i]
            s = (3, 9, 11, 15)[i % 4]
            a, b, c, d = d, rotl((a + (b ^ c ^ d) + x[k] + 0x6ED9EBA1) & 0xFFFFFFFF, s), b, c
        h = [(v + w) & 0xFFFFFFFF for v, w in zip(h, (a, b, c, d))]
    return struct.pack("<4I", *h)


assert md4(b"abc").hex() == "a448017aaf21d8525fc10ae87aa6729d"


def av_pairs():
    def pair(kind, text):
        value = text.encode("utf-16-le")
        return struct.pack("<HH", kind, len(value)) + value
    timestamp = struct.pack("<Q", int((time.time() + 11644473600) * 10000000))
    return (pair(2, "QVTEST") + pair(1, "PROXY") + pair(4, "qvtest.lan") +
            pair(3, "proxy.qvtest.lan") + struct.pack("<HH", 7, 8) + timestamp +
            struct.pack("<HH", 0, 0))


def challenge_message(server_challenge):
    flags = 0x1 | 0x4 | 0x200 | 0x8000 | 0x10000 | 0x80000 | 0x800000 | 0x2000000 | 0x20000000 | 0x80000000
    target = "QVTEST".encode("utf-16-le")
    info = av_pairs()
    header_size = 56
    return (b"NTLMSSP\0" + struct.pack("<I", 2) +
            struct.pack("<HHI", len(target), len(target), header_size) +
            struct.pack("<I", flags) + server_challenge + b"\0" * 8 +
            struct.pack("<HHI", len(info), len(info), header_size + len(target)) +
            bytes([6, 1, 0x23, 0xF0, 0, 0, 0, 15]) + target + info)


def field(message, offset):
    length, _, start = struct.unpack_from("<HHI", message, offset)
    return message[start:start + length]


def check_answer(message, server_challenge, password):
    """The user name of a valid NTLMv2 answer, or None."""
    if message[:8] != b"NTLMSSP\0" or struct.unpack_from("<I", message, 8)[0] != 3:
        return None
    nt = field(message, 20)
    domain = field(message, 28).decode("utf-16-le")
    user = field(message, 36).decode("utf-16-le")
    if len(nt) <= 24:
        return None
    key = hmac.new(md4(password.encode("utf-16-le")), (user.upper() + domain).encode("utf-16-le"),
                   hashlib.md5).digest()
    proof = hmac.new(key, server_challenge + nt[16:], hashlib.md5).digest()
    return user if hmac.compare_digest(proof, nt[:16]) else None


class Connection:
    def __init__(self, sock, kind, password, log):
        self.sock, self.kind, self.password, self.log = sock, kind, password, log
        self.pending = b""

    def request(self):
        while b"\r\n\r\n" not in self.pending:
            data = self.sock.recv(4096)
            if not data:
                return None
            self.pending += data
        head, self.pending = self.pending.split(b"\r\n\r\n", 1)
        lines = head.decode("latin-1").split("\r\n")
        fields = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            fields[name.strip().lower()] = value.strip()
        return fields

    def deny(self, challenge):
        bare = " " not in challenge
        keep = self.kind == "keep" or (self.kind in ("close", "nolength") and not bare)
        head = "HTTP/1.1 407 Proxy Authentication Required\r\nServer: ntlm_proxy\r\n"
        head += "Proxy-Authenticate: " + challenge + "\r\n"
        if self.kind != "nolength" or not bare:
            head += "Content-Length: %d\r\n" % len(BODY)
        head += "Proxy-Connection: %s\r\n\r\n" % ("keep-alive" if keep else "close")
        self.sock.sendall(head.encode() + BODY)
        return keep

    def serve(self, started):
        server_challenge = None
        while True:
            fields = self.request()
            if fields is None:
                return
            scheme, _, token = fields.get("proxy-authorization", "").partition(" ")
            if self.kind == "basic":
                if scheme:
                    self.log("authorization received")
                keep = self.deny('Basic realm="qvtest"')
            elif scheme != "NTLM":
                keep = self.deny("NTLM")
            else:
                message = base64.b64decode(token)
                kind = struct.unpack_from("<I", message, 8)[0] if len(message) >= 12 else 0
                if kind == 1:
                    server_challenge = os.urandom(SERVER_CHALLENGE_SIZE)
                    keep = self.deny("NTLM " + base64.b64encode(
                        challenge_message(server_challenge)).decode())
                else:
                    user = server_challenge and check_answer(message, server_challenge,
                                                             self.password)
                    if not user:
                        self.log("refused %s" % field(message, 36).decode("utf-16-le", "replace"))
                        keep = self.deny("NTLM")
                    else:
                        self.log("granted %s after %d ms" %
                                 (user, (time.monotonic() - started[0]) * 1000))
                        self.sock.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                        self.echo()
                        return
            if not keep:
                return

    def echo(self):
        if self.pending:
            self.sock.sendall(self.pending)
        while True:
            data = self.sock.recv(4096)
            if not data:
                return
            self.sock.sendall(data)


def main():
    kind, password, port_file, log_file = sys.argv[1:5]
    lock = threading.Lock()
    # The handshake's time runs from the first request of a run, which the first connection
    # after a quiet second brings.
    started = [0.0]
    last = [0.0]

    def log(text):
        with lock:
            with open(log_file, "a") as out:
                out.write(text + "\n")

    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(50)
    with open(port_file + ".tmp", "w") as out:
        out.write(str(listener.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    while True:
        sock, _ = listener.accept()
        now = time.monotonic()
        if now - last[0] > 1.0:
            started[0] = now
        last[0] = now

        def run(sock=sock):
            try:
                Connection(sock, kind, password, log).serve(started)
            except (OSError, ValueError, struct.error):
                pass
            finally:
                sock.close()
        threading.Thread(target=run, daemon=True).start()


main()
