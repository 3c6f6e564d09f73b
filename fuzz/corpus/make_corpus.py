#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: real frames, replies and
records as the analysis server and the loopback clients send them.

Run from anywhere: python3 fuzz/corpus/make_corpus.py. The output depends on
nothing but this file, so running it again gives the same files."""

import pathlib
import shutil

HERE = pathlib.Path(__file__).resolve().parent


def field(key, value):
    value = value.encode() if isinstance(value, str) else value
    return key.encode() + b";" + str(len(value)).encode() + b";" + value


def frame(fields, key="#@REPORT@#"):
    return field(key, b"".join(field(k, v) for k, v in fields))


TOOTH_BOXES = (
    "512,300,80,160,11\n600,310,78,150,12\n1200,305,90,170,18\n"
    "400,700,85,160,41\n1300,720,95,175,48\n"
)
FINDINGS_BY_TOOTH = "11,bc\n12,0\n18,m\n41,pa\n48,mi?\n"
FINDINGS_BY_CODE = "p=41\nb=11\nc=11\na=41\ni=48\nm=18,48\n?=48\n"

REPLY_DETECT = [("#@RETCODE@#", "1"), ("#@POSINFO@#", TOOTH_BOXES), ("#@DISINFO@#", FINDINGS_BY_TOOTH)]
REPLY_UPDATE = [("#@RETCODE@#", "1")]
REPLY_REFUSED = [("#@RETCODE@#", "0"), ("#@POSINFO@#", TOOTH_BOXES), ("#@DISINFO@#", FINDINGS_BY_TOOTH)]
REPLY_TEST = [("#@EXTINFO@#", "v2.1:ready"), ("#@OTHER@#", "x"), ("#@RETCODE@#", "1")]
REPLY_DUPLICATE = [("#@POSINFO@#", "1,1,1,1,11\n"), ("#@POSINFO@#", TOOTH_BOXES), ("#@RETCODE@#", "")]


class Choices:
    """The recv-frame target's choices, in the order it takes them; the
    fuzzer's data provider takes integers from the end of the input."""

    def __init__(self):
        self.taken = []

    def integral(self, value, low, high):
        span = high - low
        width = 0
        while width < 64 and span >> width:
            width += 8
        number = value - low
        self.taken += [(number >> shift) & 0xFF for shift in range(width - 8, -8, -8)]

    def tail(self):
        return bytes(reversed(self.taken))


def recv_frame_input(stream, buf_choice, buf_size, max_len, pieces):
    choices = Choices()
    choices.integral(buf_choice, 0, 2)
    if buf_choice == 2:
        choices.integral(buf_size, 1, 64)
    choices.integral(max_len, 0, 1 << 16)
    choices.integral(len(pieces), 0, 8)
    for piece in pieces:
        choices.integral(piece, 1, 64)
    return stream + choices.tail()


def recv_frame_corpus():
    detect = frame(REPLY_DETECT)
    update = frame(REPLY_UPDATE)
    trailing = b"#@REPORT@#;3;abc"
    return {
        # Whole in the first receive, into a buffer of the function's own.
        "update-whole-own-buffer": recv_frame_input(update, 0, 0, 1 << 16, []),
        # Header and part of the value first, then the rest with bytes that
        # belong to no frame behind it: the later receives must take only
        # what the value still misses.
        "detect-in-chunks-then-more": recv_frame_input(detect + trailing, 1, 0, 1 << 16, [24]),
        "detect-small-buffer": recv_frame_input(detect + trailing, 2, 16, 1 << 16, [16, 5, 64, 7]),
        "test-message-one-byte-buffer": recv_frame_input(frame(REPLY_TEST) + b"x", 2, 1, 1 << 16, [13, 1, 1]),
        # The header does not come whole with the first receive.
        "header-split": recv_frame_input(detect, 1, 0, 1 << 16, [5]),
        # A length above the bound, the whole value present.
        "above-the-bound": recv_frame_input(update, 1, 0, 14, []),
        "at-the-bound": recv_frame_input(update, 1, 0, 15, []),
        # Closed after half of the value.
        "closed-early": recv_frame_input(detect[: len(detect) // 2], 2, 32, 1 << 16, [20]),
    }


def report_fields_corpus():
    def value(fields):
        return b"".join(field(k, v) for k, v in fields)

    return {
        "detect": value(REPLY_DETECT),
        "update": value(REPLY_UPDATE),
        "refused-first": value(REPLY_REFUSED),
        "test-message-unknown-key": value(REPLY_TEST),
        "duplicate-empty-code": value(REPLY_DUPLICATE),
        "negative-length": b"#@RETCODE@#;-1;" + value(REPLY_UPDATE),
        "past-the-end": b"#@POSINFO@#;4000;" + TOOTH_BOXES.encode(),
    }


def findings_corpus():
    return {
        "tooth-boxes": TOOTH_BOXES.encode(),
        "tooth-boxes-crlf-spaces": b" 512 , 300,80 ,160, 11\r\n\r\n-5,99999999999,1,2,18\r\n",
        "findings-by-tooth": FINDINGS_BY_TOOTH.encode(),
        "findings-by-code": FINDINGS_BY_CODE.encode(),
        "findings-by-code-odd": b"b=\n=11\nzz=18,,28\nm=18,28,38,48,47\n0=11\n",
    }


def segment(marker, payload):
    return bytes([0xFF, marker]) + (len(payload) + 2).to_bytes(2, "big") + payload


def frame_header(marker, width, height, components):
    specs = b"".join(bytes([i + 1, 0x11, 0]) for i in range(components))
    return segment(marker, bytes([8]) + height.to_bytes(2, "big") + width.to_bytes(2, "big") + bytes([components]) + specs)


def jpeg_frame_corpus():
    start = b"\xff\xd8"
    jfif = segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    quant = segment(0xDB, bytes([0]) + bytes(range(1, 65)))
    huffman = segment(0xC4, bytes([0]) + bytes([0, 1, 5, 1, 1, 1, 1, 1, 1] + [0] * 7) + bytes(range(12)))
    scan = segment(0xDA, bytes([1, 1, 0, 0, 63, 0])) + b"\x12\x34\xff\x00\xff\xd9"
    return {
        "colour-panoramic": start + jfif + quant + frame_header(0xC0, 3000, 1500, 3) + huffman + scan,
        "grey-progressive": start + b"\xff\xff" + quant + frame_header(0xC2, 2976, 1536, 1) + scan,
        "cmyk-after-metadata": start + segment(0xE1, b"Exif\x00\x00" + bytes(200)) + frame_header(0xC1, 640, 480, 4),
        # A scan after it, so that the decoder reads the frame as well.
        "cmyk-adobe-with-scan": start
        + segment(0xEE, b"Adobe\x00\x64\x00\x00\x00\x00\x02")
        + quant
        + frame_header(0xC0, 640, 480, 4)
        + huffman
        + scan,
        "stray-bytes-before-frame": start + jfif + b"\x00\x7f\xff\x00" + frame_header(0xC0, 3000, 1500, 3) + huffman + scan,
        "scan-before-frame": start + jfif + scan + frame_header(0xC0, 10, 10, 3),
    }


def write(target, inputs):
    folder = HERE / target
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir()
    for name, data in inputs.items():
        (folder / name).write_bytes(data)


write("recv_frame_fuzzer", recv_frame_corpus())
write("report_fields_fuzzer", report_fields_corpus())
write("findings_fuzzer", findings_corpus())
write("jpeg_frame_fuzzer", jpeg_frame_corpus())
