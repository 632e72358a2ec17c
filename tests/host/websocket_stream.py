#!/usr/bin/python3
"""A WebSocket stream, as web players of live video read FLV or fragmented MP4, with Debian's
python3-websockets (run with Debian's own python3, where that package lives).

  websocket_stream.py serve PORT ADDRESS...   the source: on each connection it waits for the player's
                                              "start" (a frame that must cross the relay after the 101),
                                              sends 64 binary frames of 16 KiB, then their SHA-256 as text
  websocket_stream.py play URL                the player: exits 0 when the frames' SHA-256 is the source's
"""
import asyncio
import hashlib
import sys

import websockets

FRAMES = 64
FRAME = bytes(range(256)) * 64


async def stream(websocket, path=None):
    if await websocket.recv() != "start":
        return await websocket.close(1008, "expected start")
    digest = hashlib.sha256()
    for number in range(FRAMES):
        frame = FRAME[number:] + FRAME[:number]
        digest.update(frame)
        await websocket.send(frame)
    await websocket.send(digest.hexdigest())


async def serve(port, addresses):
    async with websockets.serve(stream, addresses, port):
        await asyncio.Future()


async def play(url):
    async with websockets.connect(url, max_size=None) as websocket:
        await websocket.send("start")
        digest, received = hashlib.sha256(), 0
        while True:
            message = await websocket.recv()
            if isinstance(message, str):
                matches = message == digest.hexdigest()
                print(f"received {received} bytes in frames, sha256 {'matches' if matches else 'differs'}")
                return 0 if matches and received == FRAMES * len(FRAME) else 1
            digest.update(message)
            received += len(message)


if __name__ == "__main__":
    if sys.argv[1] == "serve":
        asyncio.run(serve(int(sys.argv[2]), sys.argv[3:]))
    else:
        sys.exit(asyncio.run(play(sys.argv[2])))
