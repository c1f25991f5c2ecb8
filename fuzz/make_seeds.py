#!/usr/bin/env python3
"""Writes the small seed corpus of every fuzz target into fuzz/corpus/<target>/.

The seeds are valid (or nearly valid) inputs, so that a replay with -runs=0 walks each parser's
main paths and a fuzzing run starts from them. Deflate64, bzip2, LZMA and PPMd seeds are cut
from archives 7z made, when 7z is installed (bzip2 and LZMA also from Python's bz2 and lzma
modules); the other methods (no common tool writes them) start from bytes.
Run again after changing a target's input layout:  python3 fuzz/make_seeds.py
"""
import os
import shutil
import struct
import subprocess
import tempfile
import zipfile
import io
import bz2
import lzma

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(target, name, data):
    d = os.path.join(ROOT, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("latin-1"))


def zip_bytes(entries, method=zipfile.ZIP_DEFLATED):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", method) as z:
        for name, data in entries:
            z.writestr(name, data)
    return buf.getvalue()


def raw_entry(zip_data):
    """flags, uncompressed size and compressed bytes of the first entry (local header)."""
    sig, _, flags, method, _, _, _, csize, usize, nlen, xlen = struct.unpack(
        "<IHHHHHIIIHH", zip_data[:30])
    assert sig == 0x04034B50
    start = 30 + nlen + xlen
    return flags, usize, zip_data[start:start + csize]


def decoder_seed(flags, usize, data):
    units = min((usize + 15) // 16, 0xFFFF)
    return bytes([flags & 0xFF, units & 0xFF, units >> 8]) + data


def seven_zip_entries():
    if shutil.which("7z") is None:
        return {}
    text = ("Quillora PRO Auto-Update " * 40 + "".join(chr(32 + i % 90) for i in range(600)))
    out = {}
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "a.txt")
        with open(src, "w") as f:
            f.write(text)
        for name, method in (("deflate64", "Deflate64"), ("ppmd", "PPMd"), ("bzip2", "BZip2"),
                             ("lzma", "LZMA")):
            z = os.path.join(tmp, name + ".zip")
            subprocess.run(["7z", "a", "-tzip", "-mm=" + method, z, src], check=True,
                           stdout=subprocess.DEVNULL)
            with open(z, "rb") as f:
                out[name] = raw_entry(f.read())
    return out


def main():
    shutil.rmtree(ROOT, ignore_errors=True)
    # HTTP responses: the first byte sets the piece size.
    put("http_response", "sized", b"\x07HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello")
    put("http_response", "chunked", b"\x02HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
        b"5\r\nhello\r\n0\r\nX-T: 1\r\n\r\n")
    put("http_response", "continue", b"\x00HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 404 Not Found\r\n"
        b"Content-Type: text/html\r\n\r\n<p>no</p>")
    put("cookie", "rfc-date", "sid=31d4d96e407aad42; Path=/; Expires=Sun, 06 Nov 1994 08:49:37 GMT")
    put("cookie", "two-digit-year", "a=b; expires=Wednesday, 09-Nov-99 23:12:40 GMT; domain=.example.it")
    put("cookie", "cookie2-list", 'x="1,2"; Version="1"; Path="/public", y=2; Max-Age=60; Secure')
    put("cookie", "asctime", "lang=it; Expires=Sun Nov  6 08:49:37 1994; HttpOnly")
    put("config_ini", "scrambled", "[MySQL]\r\nSERVER=db1\r\nRootPass=\xffqqpswb\r\n")
    put("config_ini", "quoted-empty", "; comment\r\n[mysql]\r\n server = \" a \" \r\nRootPass=\r\n[MySQL]\r\nSERVER=x\r\n")
    put("config_ini", "utf16", "\ufeff[MySQL]\nSERVER=h\u00e9\n".encode("utf-16-le"))
    put("version_file", "release", "VE=2024.1.7\r\nSEQ=12\r\nEXPIRES=2030-01-01T00:00:00Z\r\n")
    put("lexer", "mixed", "SELECT `a`, 'it''s', \"q\", 1.5e3, x'0A' FROM t -- c\r\n/* b */ #h\n")
    put("lexer", "delimiter", "DELIMITER $$\nCREATE PROCEDURE p() BEGIN SELECT 1; END$$\n")
    put("script_split", "triggers", "\x00CREATE TABLE t (a INT);\r\nDELIMITER //\r\nCREATE TRIGGER "
        "tri_TADIMA00 BEFORE INSERT ON t FOR EACH ROW BEGIN SET NEW.a = 1; END//\r\nDELIMITER ;\r\n")
    put("script_split", "dollars", "\x01SELECT 1$$ SELECT '$$'$$\n/\n")
    # MySQL packets: the first byte picks the reader (low 3 bits) and the protocol flags.
    handshake = (b"\x0a" + b"10.11.6-MariaDB\x00" + struct.pack("<I", 7) + b"abcdefgh\x00" +
                 struct.pack("<H", 0xF7FF) + b"\x08" + struct.pack("<H", 2) +
                 struct.pack("<H", 0x81BF) + b"\x15" + b"\x00" * 10 + b"ijklmnopqrst\x00" +
                 b"mysql_native_password\x00")
    put("mysql_packets", "handshake", b"\x10" + handshake)
    put("mysql_packets", "ok", b"\x31" + b"\x00\x01\x02\x02\x00\x00\x00info")
    put("mysql_packets", "error", b"\x12" + b"\xff\x7a\x04#42S02Table 'x.y' doesn't exist")
    put("mysql_packets", "row", b"\x46" + b"\x01a\xfb\x03abc")
    put("mysql_packets", "column", b"\x14" + b"\x03def\x02db\x01t\x01t\x01a\x01a\x0c\x21\x00"
        b"\x0b\x00\x00\x00\x03\x00\x00\x00\x00\x00")
    put("zip", "deflated", zip_bytes([("1.0/Update/1.0.dbql", "SELECT 1;\r\n"),
                                      ("1.0/readme.txt", "x" * 300)]))
    put("zip", "stored", zip_bytes([("1.0/", ""), ("1.0/a.bin", "abc")], zipfile.ZIP_STORED))
    for name, (flags, usize, data) in seven_zip_entries().items():
        put(name, "7z", decoder_seed(flags, usize, data))
    # bzip2 at two block sizes; LZMA from an .lzma file (properties, size, stream) put behind
    # the ZIP LZMA header (SDK version, properties size 5).
    text = ("Quillora " * 300 + "".join(chr(i) for i in range(256)) * 4).encode("latin-1")
    put("bzip2", "level1", decoder_seed(0, len(text), bz2.compress(text, 1)))
    put("bzip2", "level9", decoder_seed(0, len(text), bz2.compress(text, 9)))
    alone = lzma.compress(text, format=lzma.FORMAT_ALONE)
    put("lzma", "alone", decoder_seed(0x02, len(text), b"\x10\x04\x05\x00" + alone[:5] + alone[13:]))
    for name in ("deflate64", "ppmd", "implode", "reduce", "shrink", "wavpack"):
        put(name, "bytes", decoder_seed(0x02, 4096, bytes(range(256)) * 2))


if __name__ == "__main__":
    main()
