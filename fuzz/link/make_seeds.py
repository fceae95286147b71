#!/usr/bin/env python3
"""Writes the seed corpora of the link fuzz targets (fuzz/corpus/<target>/).

Run from anywhere; existing seeds of the same names are overwritten.
"""
import base64
import json
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "corpus")


def compact(document):
    return json.dumps(document, separators=(",", ":"), sort_keys=True, ensure_ascii=True) + "\n"


def payload(text):
    return b"1" + base64.b64encode(text.encode("utf-8")) + b"\0"


def frame(body):
    return struct.pack("<i", len(body)) + body


def envelope(msg_type, params, client_type=2):
    return {"version": 1, "appId": 1, "clientType": client_type, "msgType": msg_type, "TimeSep": 0,
            "params": params}


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


login = compact(envelope(2, {"status": "1", "userId": "u7", "nodeVersion": "9", "ShowMsg": "欢迎",
                             "longitude": "116.404", "latitude": ""}))
notice = compact(envelope(14, {"nodeId": "n5", "active": "1"}))
playback = compact(envelope(16, {"msgType": "Playback", "cameraId": "c1", "status": "1", "playBackId": "p"}))

parse_seeds = {
    "login_reply": payload(login),
    "node_notice": payload(notice),
    "playback_reply": payload(playback),
    "scalar_params": payload('{"clientType":2,"msgType":5,"params":{"n":5,"r":1.5,"b":true,"z":null}}'),
    "nested_param": payload('{"clientType":2,"params":{"o":{"x":"1"}}}'),
    "comments": payload('/* c */ {"clientType":2,"msgType":77} // end'),
    "escapes": payload('{"params":{"k":"\\u0000\\ud83d\\ude00\\"\\\\"}}'),
    "no_params": payload('{"clientType":0,"msgType":3}'),
    "bad_json": payload('{"clientType":'),
    "not_terminated": payload(notice)[:-1] + b"A",
    "type_byte_zero": b"0" + payload(notice)[1:],
    "line_break": b"1" + base64.encodebytes(notice.encode() * 4) + b"\0",
    "padding_inside": b"1Zm=v\0",
    "empty_text": b"1\0",
    "text_before_garbage": payload(notice) + b"tail\0",
}
for name, data in parse_seeds.items():
    write("parse_payload", name, data)

# read_loop: one byte choosing the read sizes, then the stream.
good = frame(payload(notice)) + frame(payload(login)) + frame(b"\x01\x02\x03\x04")
read_seeds = {
    "frames_whole": b"\x00" + good,
    "frames_in_bytes": b"\x01" + good,
    "frames_in_slices": b"\x2b" + good,
    "length_three": b"\x05" + struct.pack("<i", 3) + b"abc" + good,
    "length_four": b"\x05" + frame(b"wxyz"),
    "length_512000_truncated": b"\x07" + struct.pack("<i", 512000) + b"\x00" * 64,
    "length_512001": b"\x07" + good + struct.pack("<i", 512001) + b"\x00" * 16,
    "length_negative": b"\x03" + struct.pack("<i", -1),
    "length_zero_after_frame": b"\x09" + frame(b"abcd") + struct.pack("<i", 0),
    "media_like_body": b"\x11" + frame(b"V" + struct.pack("<6I", 0x00560000, 1, 4, 0, 0, 0) + b"\x00\x00\x00\x01"),
    "partial_header": b"\x02" + good + b"\x10\x00",
}
for name, data in read_seeds.items():
    write("read_loop", name, data)
