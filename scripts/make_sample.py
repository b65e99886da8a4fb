"""Generates the demo's sample files (same bytes on every machine).

versions/v1..v4: a 4 MiB file and three successive versions of it, each with
a few small insertions and deletions, listed in versions.list; disk.img: a
1 MiB image of empty, nearly empty and busy 4 KiB blocks; notes.bin: a few
text runs between zero bytes."""
import os
import random
import sys


def main(folder):
    rng = random.Random(2026)
    os.makedirs(os.path.join(folder, "versions"), exist_ok=True)
    data = bytearray(rng.randbytes(4 << 20))
    paths = []
    for version in range(1, 5):
        if version > 1:
            for _ in range(6):
                at = rng.randrange(len(data))
                if rng.random() < 0.5:
                    data[at:at] = rng.randbytes(rng.randrange(1, 300))
                else:
                    del data[at:at + rng.randrange(1, 300)]
        path = os.path.join(folder, "versions", "v%d" % version)
        with open(path, "wb") as handle:
            handle.write(data)
        paths.append(path)
    with open(os.path.join(folder, "versions.list"), "w") as handle:
        handle.write("\n".join(paths) + "\n")

    image = bytearray()
    for block in range(256):
        chunk = bytearray(4096)
        kind = block % 4
        if kind == 1:  # a few stray bytes: near-empty
            for _ in range(rng.randrange(1, 40)):
                chunk[rng.randrange(4096)] = rng.randrange(1, 256)
        elif kind == 2:  # one busy region
            chunk[512:640] = rng.randbytes(128)
        elif kind == 3:
            chunk = bytearray(rng.randbytes(4096))
        image += chunk
    with open(os.path.join(folder, "disk.img"), "wb") as handle:
        handle.write(image)

    notes = b"\0\0hello\0\0\0world\nagain\0" + bytes(4096) + b"the end\0"
    with open(os.path.join(folder, "notes.bin"), "wb") as handle:
        handle.write(notes)


if __name__ == "__main__":
    main(sys.argv[1])
