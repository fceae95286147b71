#!/usr/bin/env python3
"""Writes the seed corpora of the camera fuzz targets (fuzz/corpus/<target>/).

Run from anywhere; existing seeds of the same names are overwritten.
"""
import base64
import json
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "corpus")


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def frame(body):
    return struct.pack("<i", len(body)) + body


def words(*values):
    return b"".join(struct.pack("<I", v & 0xFFFFFFFF) for v in values)


def video(tag, payload, declared=None, word5=0, sequence=1, key=True):
    length = len(payload) if declared is None else declared
    picture = (352 << 20) | (288 << 1) | (1 if key else 0)
    return b"V" + words(ord(tag) << 16, 1000, length, sequence, picture, word5) + payload


def audio(tag, payload, declared=None, codec=3):
    length = len(payload) if declared is None else declared
    return b"V" + words(ord(tag) << 16, 0, length, 8000 | (16 << 16) | (1 << 24) | (codec << 28), 0) + payload


def command(msg_type, params):
    text = json.dumps({"version": 1, "appId": 1, "clientType": 2, "msgType": msg_type, "TimeSep": 5,
                       "params": params}, separators=(",", ":"), sort_keys=True, ensure_ascii=False)
    return b"1" + base64.b64encode(text.encode("utf-8")) + b"\0"


write("relay_bodies", "live_video_and_audio",
      frame(video("V", bytes(range(100)))) + frame(audio("A", bytes(160))) + frame(video("V", b"\0\0\1\x65", sequence=2)))
write("relay_bodies", "playback_time",
      frame(video("R", bytes(40), word5=2 | 3 << 6 | 15 << 10 | 8 << 15 | 5 << 20)) + frame(audio("P", bytes(50), codec=0)))
write("relay_bodies", "bad_lengths",
      frame(video("V", bytes(100), declared=101)) + frame(video("V", b"", declared=0)) +
      frame(audio("A", bytes(300), declared=500)) + frame(b"V\0\0\x56") + frame(video("X", bytes(10))))
write("relay_bodies", "commands",
      frame(command(17, {"status": "1", "ViedoQP": "7", "AudioType": "2"})) + frame(b"2abc\0") +
      frame(command(15, {"status": "1", "errorMsg": "ok"})))

write("record_search", "two_days", b"2014-07-01;2014-07-02\x000-60|120-150;")
write("record_search", "repeated_day", b"d1;d2;d1\x000-10;20-30;40-50")
write("record_search", "odd_stretches", b"d1\x00100-200-300|-5||7-")
write("record_search", "mismatch", b"a;b;c\x001-2;3-4")
