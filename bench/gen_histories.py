#!/usr/bin/env python3
"""Writes a source and a destination history directory for benchmarks and crash tests.

Files follow the byte layout of the binary formats (versions 1 to 3) and the plain-text
format with the default separators and date pattern. Every contact's source and
destination share most messages; each side lacks a few per cent of them, so that the
analysis finds differences to merge.

  gen_histories.py OUT --contacts N --messages M [--diff PCT] [--formats mixed|v2]
                   [--text-bytes B] [--seed S]

OUT/src and OUT/dst are created (they must not exist yet).
"""
import argparse
import datetime
import os
import random
import struct
import time

WORDS = ("hello how are you today fine thanks see tomorrow meeting office call later "
         "ok yes no maybe weekend train ticket coffee lunch project report deadline "
         "привет как дела спасибо хорошо завтра встреча").split()

IN_SEP = "-" * 38 + "<-"
OUT_SEP = "-" * 38 + ">-"
OWN_NICK = "Me"


def scramble(data: bytes) -> bytes:
    return bytes(255 - ((b + i) & 255) for i, b in enumerate(data, 1))


def make_text(rng, target):
    words = []
    size = 0
    while size < target:
        w = rng.choice(WORDS)
        words.append(w)
        size += len(w.encode()) + 1
    text = " ".join(words)
    if len(words) > 1 and rng.random() < 0.1:  # a few messages of two lines
        half = len(words) // 2
        text = " ".join(words[:half]) + "\r\n" + " ".join(words[half:])
    return text


def header(version, uin, nick, count, records_size):
    u = uin.encode()
    n = nick.encode()
    if version == 1:
        u += b"\0"
        n += b"\0"
    head_len = 46 + len(u) + 2 + len(n)
    size = records_size if version == 1 else head_len + records_size - 8
    h = bytearray(46)
    h[0:3] = b"ZMT"
    h[3] = version
    struct.pack_into(">I", h, 4, size)
    struct.pack_into(">I", h, 34, count)
    struct.pack_into(">I", h, 38, count)
    struct.pack_into(">H", h, 42, 1 if version == 1 else 0)
    struct.pack_into(">H", h, 44, len(u))
    return bytes(h) + u + struct.pack(">H", len(n)) + n


def binary_file(version, uin, nick, msgs, texts, v1_shift):
    parts = []
    for num, (stamp, out, ti) in enumerate(msgs, 1):
        raw, scr = texts[ti]
        t = scr if version in (2, 3) else raw
        if version == 1:
            stamp += v1_shift
        if version == 3:
            fixed = struct.pack(">HIIIIiIBIHH", 1, 29 + len(t), 0x00010004, num, 0x00020004,
                                stamp, 0x00030003, 1 if out else 0, 0x00010004, 0, len(t))
        else:
            fixed = struct.pack(">HIIIIiIBIH", 1, 27 + len(t), 0x00010004, num, 0x00020004,
                                stamp, 0x00030003, 1 if out else 0, 0x00010004, len(t))
        parts.append(fixed)
        parts.append(t)
    body = b"".join(parts)
    return header(version, uin, nick, len(msgs), len(body)) + body


def text_file(nick, msgs, texts):
    lines = []
    for stamp, out, ti in msgs:
        when = datetime.datetime(1970, 1, 1) + datetime.timedelta(seconds=stamp)
        stamp_text = "%02d:%02d:%02d %d/%02d/%04d" % (when.hour, when.minute, when.second,
                                                       when.day, when.month, when.year)
        lines.append(OUT_SEP if out else IN_SEP)
        lines.append("%s (%s)" % (OWN_NICK if out else nick, stamp_text))
        lines.append(texts[ti][0].decode())
        lines.append("")
    return ("\r\n".join(lines) + "\r\n").encode() if lines else b""


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--contacts", type=int, default=50)
    ap.add_argument("--messages", type=int, default=200)
    ap.add_argument("--diff", type=float, default=3.0, help="per cent missing on each side")
    ap.add_argument("--formats", choices=("mixed", "v2"), default="mixed")
    ap.add_argument("--text-bytes", type=int, default=70, help="mean text length")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()

    rng = random.Random(a.seed)
    src_dir = os.path.join(a.out, "src")
    dst_dir = os.path.join(a.out, "dst")
    os.makedirs(src_dir)
    os.makedirs(dst_dir)

    # A pool of texts, scrambled once: message texts repeat, their times do not.
    texts = []
    for _ in range(4000):
        raw = make_text(rng, max(1, int(rng.expovariate(1.0 / a.text_bytes)) + 8)).encode()
        texts.append((raw, scramble(raw)))
    # Version 1 stamps are universal time; the reader shifts them by the system zone.
    v1_shift = time.timezone

    base = 1_300_000_000
    for c in range(a.contacts):
        uin = str(100000 + c * 37)
        nick = "contact_%03d" % c
        stamp = base + rng.randint(0, 10_000_000)
        msgs = []
        for _ in range(a.messages):
            stamp += rng.randint(5, 4000)
            msgs.append((stamp, rng.random() < 0.45, rng.randrange(len(texts))))
        lack = a.diff / 100.0
        src_msgs = [m for m in msgs if rng.random() >= lack]
        dst_msgs = [m for m in msgs if rng.random() >= lack]

        if a.formats == "v2":
            src_v, dst_v = 2, 2
        else:
            # A handheld's histories (version 1) against a desktop's: Varyon files of
            # versions 2 and 3, some plain-text ones, and contacts it has never seen.
            src_v = 1
            r = rng.random()
            dst_v = 2 if r < 0.5 else 3 if r < 0.75 else 0 if r < 0.9 else None
        src_name = ("Varyon_%s.zmt" if src_v != 1 else "1_%s.zmt") % uin
        with open(os.path.join(src_dir, src_name), "wb") as f:
            f.write(binary_file(src_v, uin, nick, src_msgs, texts, v1_shift))
        if dst_v is None:
            continue
        if dst_v == 0:
            name, data = "%s.txt" % uin, text_file(nick, dst_msgs, texts)
        else:
            name, data = "Varyon_%s.zmt" % uin, binary_file(dst_v, uin, nick, dst_msgs, texts,
                                                           v1_shift)
        with open(os.path.join(dst_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
