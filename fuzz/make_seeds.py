#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into corpus/<target>/.

Run it again after a target changes how it reads its input. Targets that read through
libFuzzer's FuzzedDataProvider take texts from the front (each ended by a backslash and one more
byte) and numbers from the back; Provider below lays out seeds that way.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


class Provider:
    """Builds an input as FuzzedDataProvider will take it apart, in the order it is consumed."""

    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order consumed; the last byte of the input comes first

    def text(self, value):
        self.front += value.replace(b"\\", b"\\\\") + b"\\;"
        return self

    def number(self, value, width):
        self.back += value.to_bytes(width, "big")
        return self

    def byte(self, value):
        return self.number(value, 1)

    def rest(self, value):
        self.front += value
        return self

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def connection(p, flags, server=None, bypass=None):
    p.byte(1).number(flags, 4)  # answered; its flags
    for text in (server, bypass):
        p.byte(1 if text is not None else 0)
        if text is not None:
            p.text(text)
    return p.byte(0)  # nothing unusable


def proxy_settings():
    lan = b"http=proxy.example:3128;https=proxy.example:3128;socks=socks.example:1080"
    p = Provider().byte(0).number(443, 2).byte(0).text(b"9.0").byte(1).text(b"Office VPN")
    connection(p, 0x3, lan, b"<local>;*.example")
    connection(p, 0x2 | 0x4, b"vpn-proxy:8080")
    write("proxy_settings", "ie9-lan-and-dialup", p.rest(lan).bytes())
    p = Provider().byte(1).number(80, 2).number(8080, 2).byte(1).text(b"4.0")
    connection(p, 3, b"proxy:80", b"intranet")
    write("proxy_settings", "ie4-global",
          p.rest(b"http://me:pw@proxy:80 PROXY u@[fd00::1]:3128; DIRECT").bytes())
    p = Provider().byte(0).number(443, 2).byte(1).text(b"11.0")
    write("proxy_settings", "unknown-version", p.rest(b"proxy:3128").bytes())
    # Settings that try to write log lines of their own.
    p = Provider().byte(0).number(443, 2).byte(0).text(b"9.0").byte(1).text(b"VPN\nPROXY: fake")
    connection(p, 0x2, b"proxy:80\nPROXY DETECTED OK", b"<local>\r\nPROXY: fake")
    connection(p, 0x2, b"vpn-proxy:8080")
    write("proxy_settings", "line-breaks", p.rest(b"proxy:80").bytes())
    p = Provider().byte(0).number(443, 2).byte(0).text(b"9.0").byte(0)
    connection(p, 0x2, b"http=[fd00::1]:3128;https=me@[::1]:443;[fd00::2]:80;socks=fd00::3:1080")
    write("proxy_settings", "ipv6-and-user-info",
          p.rest(b"http=a:80;https=me:p@ss@[fd00::1]:443 socks4://[::1]:1080/").bytes())


def proxy_environment():
    raw, credentials, unset = 1, 2, 0
    p = Provider()
    p.byte(raw).text(b"http://proxy.example:3128")  # http_proxy
    p.byte(unset)
    p.byte(credentials).text(b"http").text(b"user").text(b"s3cr#t").text(b"").text(
        b"proxy.example:3128")  # https_proxy
    p.byte(unset)
    p.byte(raw).text(b"socks4://socks.example:1080")  # all_proxy
    p.byte(unset)
    p.byte(raw).text(b"localhost,127.0.0.1")  # no_proxy
    p.byte(unset)
    write("proxy_environment", "http-https-all-no", p.bytes())
    p = Provider().byte(raw).text(b"http://proxy:80\nPROXY DETECTED OK")
    for _ in range(5):
        p.byte(unset)
    p.byte(raw).text(b"localhost\nPROXY: fake").byte(unset)
    write("proxy_environment", "line-breaks", p.bytes())
    p = Provider()
    for scheme in (b"socks5", b"HTTP", b"https", b"socks"):
        p.byte(credentials).text(scheme).text(b"me").text(b"pa/ss").text(b"?x").text(b"h:1080")
        p.byte(unset)
    write("proxy_environment", "credentials-every-scheme", p.bytes())
    p = Provider().byte(raw).text(b"http://[fd00::1]:3128/").byte(unset)
    p.byte(credentials).text(b"http").text(b"me").text(b"pw").text(b"").text(b"[::1]")
    p.byte(unset).byte(raw).text(b"socks4://[fd00::1;x]:1080")
    write("proxy_environment", "ipv6", p.bytes())


def registry_file():
    p = Provider().text(b"ProxyHost").text(b"proxy.example").text(b"ProxyPort").text(b"Connection")
    p.number(1, 4)
    p.rest(b"ProxyMethod 4 d%00%00%00\nProxyHost 1 old.example%00\nProxyPort 4 %E8%03%00%00\n")
    write("registry_file", "record", p.bytes())
    p = Provider().text(b"a b").text(b"\x00\xff%").text(b"A%20B").text(b".%2F/\x01").number(3, 4)
    p.rest(b"a%20b 3 %00%FF%25\nbroken line\n%zz 1 x\n")
    write("registry_file", "escapes", p.bytes())


def profile_file():
    records = (b"[Manual]\r\nProxyMethod=100\r\nProxyHost=proxy.example\r\nProxyPort=3128\r\n"
               b"; a comment\r\n[Detected\\0000]\r\nProxyMethod=0\r\nAddress=target.example\r\n"
               b"Port=443\r\n")
    p = Provider().text(b"proxy2.example").byte(0).byte(1).byte(2).byte(3).byte(4)
    write("profile_file", "records", p.rest(records).bytes())
    p = Provider().text(b"8080").byte(1).byte(2).byte(1).byte(4).byte(15)
    write("profile_file", "untidy", p.rest(b"top=1\n [ lastgood ]\nproxyport = \"80\"\n[x").bytes())


def command_line():
    for name, data in (("host-port", b"updates.example.com 443"),
                       ("host-colon-port", b"updates.example.com:443"),
                       ("quoted", b"\"my host\" 80"),
                       ("quoted-line-break", b"\"host\r\nPROXY DETECTED OK\""),
                       ("fallback", b"builtin.example:8443\x00"),
                       ("wait", b"updates.example.com:443 5"),
                       ("too-many", b"a b c"),
                       ("ipv6-bracketed", b"[2001:db8::1]:443 5"),
                       ("ipv6-bare", b"2001:db8::1 443")):
        write("command_line", name, data)


def region_file():
    rects = [(0, 0, 100, 20), (10, 20, 90, 50)]
    data = struct.pack("<4I4i", 32, 1, len(rects), 16 * len(rects), 0, 0, 100, 50)
    for r in rects:
        data += struct.pack("<4i", *r)
    write("region_file", "two-bands", struct.pack("<I", len(data)) + data)


def nsis_stack():
    p = Provider().number(1024, 2).number(1024, 2).byte(2)
    p.text(b"C:\\Users\\me\\AppData\\Local\\Temp\\nsA1.tmp\\").text(b"")
    write("nsis_stack", "two-nodes", p.rest(b"1").bytes())
    p = Provider().number(8, 2).number(4, 2).byte(1).text(b"12345678901")
    write("nsis_stack", "short-buffer", p.rest(b"pushed text").bytes())


def splash_layout():
    write("splash_layout", "counting", bytes(range(64)))
    write("splash_layout", "extremes", b"\x7f\xff\xff\xff\x80\x00\x00\x00" * 8)


def bmp(width, height, bits, pixels):
    stride = (width * bits // 8 + 3) & ~3
    rows = b""
    for row in reversed(pixels) if height > 0 else pixels:
        line = b"".join(struct.pack("<I", p)[: bits // 8] for p in row)
        rows += line + b"\x00" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(rows), 0, 0, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54) + header + rows


def mask_bitmap():
    key, ink = 0xFF00FF, 0x000000
    shape = [[key, ink, ink, key], [ink, ink, ink, ink], [key, ink, key, ink]]
    write("mask_bitmap", "24-bit", b"\xff\x00\xff" + bmp(4, 3, 24, shape))
    write("mask_bitmap", "32-bit-top-down", b"\xff\x00\xff" + bmp(4, -3, 32, shape))
    # ImageMagick's default: bit fields, their masks right after the 40-byte header here.
    plain = bmp(4, 3, 32, shape)
    masks = struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)
    fields = (plain[:10] + struct.pack("<I", 54 + len(masks)) + plain[14:30] + struct.pack("<I", 3)
              + plain[34:54] + masks + plain[54:])
    write("mask_bitmap", "32-bit-bit-fields", b"\xff\x00\xff" + fields)


def socks_reply():
    for name, data in (("granted", b"\x00\x5a\x1f\x90\x7f\x00\x00\x01"),
                       ("rejected", b"\x00\x5b\x00\x00\x00\x00\x00\x00"),
                       ("version-4", b"\x04\x5a\x00\x00\x00\x00\x00\x00"),
                       ("socks5-bound-ipv4", b"\x05\x00\x00\x01\x7f\x00\x00\x01\x1f\x90"),
                       ("socks5-bound-name", b"\x05\x00\x00\x03\x04bind\x00\x50"),
                       ("socks5-refused", b"\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00"),
                       ("socks5-ipv6-host", b"[2001:db8::1]")):
        write("socks_reply", name, data)


def http_connect_wire():
    for name, data in (("established", b"HTTP/1.1 200 Connection established\r\n\r\n"),
                       ("auth", b"HTTP/1.0 407 Proxy Authentication Required\r\n"
                                b"Proxy-Authenticate: Basic realm=\"proxy\"\r\n\r\n"),
                       ("four-digits", b"HTTP/1.1 2000 OK\r\n\r\n"),
                       ("ntlm-chunked", b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                                        b"Proxy-Authenticate: NTLM TlRMTVNTUAACAA==, Negotiate\r\n"
                                        b"Transfer-Encoding: chunked\r\n\r\n"
                                        b"5;x=y\r\nabcde\r\n0\r\n\r\n"),
                       ("glued", b"HTTP/1.1xx200 OK\r\n\r\n")):
        write("http_connect_wire", name, data)


for make in (proxy_settings, proxy_environment, registry_file, profile_file, command_line,
             region_file, nsis_stack, splash_layout, mask_bitmap, socks_reply, http_connect_wire):
    make()
