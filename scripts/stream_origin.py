#!/usr/bin/env python3
"""The demo's stream origin: makes a WAV stream on the spot (a 480 Hz tone, 48 kHz, 16-bit stereo, SIZE
bytes in all), keeps a copy in COPY for the checksum, and serves it over HTTP on 127.0.0.1:PORT at RATE
bytes a second, as a live origin sends a stream at its bit rate. Any path gives the stream.
    stream_origin.py PORT SIZE RATE COPY
"""
import argparse
import http.server
import math
import struct
import time

arguments = argparse.ArgumentParser(description=__doc__.split("\n    ")[0],
                                    formatter_class=argparse.RawDescriptionHelpFormatter)
arguments.add_argument("port", type=int, help="the port to serve on, on 127.0.0.1")
arguments.add_argument("size", type=int, help="the stream's size in bytes, its 44-byte WAV header included")
arguments.add_argument("rate", type=int, help="bytes sent a second")
arguments.add_argument("copy", help="a file to write the stream into, to compare a player's bytes with")
options = arguments.parse_args()
port, size, rate, copy = options.port, options.size, options.rate, options.copy
CHUNK = 16 * 1024
SAMPLE_RATE, CHANNELS, SAMPLE_BYTES = 48000, 2, 2


def wav_stream(total):
    data = total - 44
    header = b"RIFF" + struct.pack("<I", total - 8) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, CHANNELS, SAMPLE_RATE, SAMPLE_RATE * CHANNELS * SAMPLE_BYTES,
                                    CHANNELS * SAMPLE_BYTES, 8 * SAMPLE_BYTES)
    header += b"data" + struct.pack("<I", data)
    period = b"".join(struct.pack("<hh", v, v) for v in
                      (int(8000 * math.sin(2 * math.pi * i / 100)) for i in range(100)))  # 48000 / 480
    return header + (period * (data // len(period) + 1))[:data]


STREAM = wav_stream(size)
with open(copy, "wb") as f:
    f.write(STREAM)


class Origin(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "audio/wav")
        self.send_header("Content-Length", str(len(STREAM)))
        self.end_headers()
        start = time.monotonic()
        for sent in range(0, len(STREAM), CHUNK):
            self.wfile.write(STREAM[sent:sent + CHUNK])
            delay = start + (sent + CHUNK) / rate - time.monotonic()
            if delay > 0:
                time.sleep(delay)

    def log_message(self, *args):
        pass


http.server.ThreadingHTTPServer(("127.0.0.1", port), Origin).serve_forever()
