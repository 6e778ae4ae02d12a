#!/usr/bin/env python3
"""Writes the benchmark payloads, the same bytes on every run (fixed seeds).

  make_payloads.py OUT_DIR [--huge]

  OUT_DIR/a/   1000 files of 4 to 64 KiB in 10 folders, about 22 MB; about half of
               them text-like (they deflate to about a third), the rest random bytes
  OUT_DIR/b/   one file of 200 MB: blocks of 1 MiB, alternately text-like and random
  OUT_DIR/c/   10 small files of 100 to 2000 bytes
  OUT_DIR/huge/  (with --huge) one file of 1 GiB, random bytes, for the memory figure
Each folder gets a SHA256SUMS file listing its files by relative path.
"""
import hashlib
import os
import random
import sys

WORDS = ("install engine archive record script variable value window progress file "
         "folder registry section message language version backup restart shared "
         "library dialog setup destination source checksum stream chunk buffer").split()


def text_bytes(rng, n):
    out = bytearray()
    while len(out) < n:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14)))
        out += f"{rng.randint(0, 99999):05d} {line}.\r\n".encode()
    return bytes(out[:n])


def write(path, data, sums, base):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    sums.append((hashlib.sha256(data).hexdigest(), os.path.relpath(path, base)))


def finish(base, sums):
    with open(os.path.join(base, "SHA256SUMS"), "w") as f:
        for digest, name in sums:
            f.write(f"{digest}  {name}\n")


def payload_a(base):
    rng = random.Random(11001)
    sums = []
    for i in range(1000):
        size = 4 * 1024 + int(60 * 1024 * rng.random() ** 2.3)  # most files small, mean ~22 KiB
        data = text_bytes(rng, size) if i % 2 == 0 else rng.randbytes(size)
        write(os.path.join(base, f"d{i % 10}", f"file{i:04d}.dat"), data, sums, base)
    finish(base, sums)


def payload_b(base):
    rng = random.Random(11002)
    sums = []
    h = hashlib.sha256()
    path = os.path.join(base, "big.bin")
    os.makedirs(base, exist_ok=True)
    with open(path, "wb") as f:
        for i in range(200):
            block = text_bytes(rng, 1 << 20) if i % 2 == 0 else rng.randbytes(1 << 20)
            h.update(block)
            f.write(block)
    sums.append((h.hexdigest(), "big.bin"))
    finish(base, sums)


def payload_c(base):
    rng = random.Random(11003)
    sums = []
    for i in range(10):
        write(os.path.join(base, f"small{i}.txt"), text_bytes(rng, rng.randint(100, 2000)), sums, base)
    finish(base, sums)


def payload_huge(base):
    rng = random.Random(11004)
    h = hashlib.sha256()
    os.makedirs(base, exist_ok=True)
    with open(os.path.join(base, "huge.bin"), "wb") as f:
        for _ in range(1024):
            block = rng.randbytes(1 << 20)
            h.update(block)
            f.write(block)
    finish(base, [(h.hexdigest(), "huge.bin")])


def main():
    out = sys.argv[1]
    makers = {"a": payload_a, "b": payload_b, "c": payload_c}
    if "--huge" in sys.argv[2:]:
        makers["huge"] = payload_huge
    for name, make in makers.items():
        base = os.path.join(out, name)
        if os.path.exists(os.path.join(base, "SHA256SUMS")):
            continue  # already made; the seeds make it the same
        make(base)
        print(f"payload {name} written to {base}")


if __name__ == "__main__":
    main()
