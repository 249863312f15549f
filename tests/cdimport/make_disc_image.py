#!/usr/bin/env python3
"""Makes a small BIN/CUE disc image for trying the CD import by hand (the window's CD panel or
sonquil-cli cd-list / cd-import): three audio tracks made by sox (a 20-second A, a 1,000-frame
track, a 5-second chord) followed by a short data track, with CD-TEXT titles in the cue sheet
when --cdtext is given.

    tests/cdimport/make_disc_image.py OUT_FOLDER [--cdtext]

writes OUT_FOLDER/disc.bin and OUT_FOLDER/disc.cue. Its CDDB disc id is printed; the loopback
server (cddb_server.py) answers for any id.
"""
import os
import subprocess
import sys

FRAME = 2352


def sox_track(seconds_or_frames, synth, frames=False):
    """Raw little-endian 16-bit stereo audio padded to whole CD frames."""
    length = f"{seconds_or_frames * 588}s" if frames else str(seconds_or_frames)
    raw = subprocess.run(["sox", "-r", "44100", "-c", "2", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", "-L",
                          "-t", "raw", "-", "synth", length] + synth + ["vol", "0.5"],
                         check=True, capture_output=True).stdout
    if len(raw) % FRAME:
        raw += bytes(FRAME - len(raw) % FRAME)
    return raw


def bcd(n):
    return ((n // 10) << 4) | (n % 10)


def data_track(frames, first_lba):
    out = bytearray()
    for i in range(frames):
        lba = first_lba + i + 150
        m, s, f = lba // 4500, (lba // 75) % 60, lba % 75
        out += b"\x00" + b"\xff" * 10 + b"\x00" + bytes([bcd(m), bcd(s), bcd(f), 1]) + bytes(2048 + 288)
    return bytes(out)


def msf(lba):
    return f"{lba // 4500:02d}:{(lba // 75) % 60:02d}:{lba % 75:02d}"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    cdtext = "--cdtext" in sys.argv[2:]
    os.makedirs(out, exist_ok=True)
    tracks = [sox_track(20, ["sine", "440"]), sox_track(1000, ["sine", "660"], frames=True),
              sox_track(5, ["sine", "220", "sine", "330"])]
    starts, lba = [], 0
    for t in tracks:
        starts.append(lba)
        lba += len(t) // FRAME
    data_start = lba
    data = data_track(300, data_start)
    with open(os.path.join(out, "disc.bin"), "wb") as f:
        for t in tracks:
            f.write(t)
        f.write(data)
    titles = ["Concert A", "Short One", "Chord"]
    lines = []
    if cdtext:
        lines += ['PERFORMER "Disc Image Band"', 'TITLE "Made By Sox"']
    lines.append('FILE "disc.bin" BINARY')
    for n, s in enumerate(starts):
        lines.append(f"  TRACK {n + 1:02d} AUDIO")
        if cdtext:
            lines.append(f'    TITLE "{titles[n]}"')
        lines.append(f"    INDEX 01 {msf(s)}")
    lines.append(f"  TRACK {len(starts) + 1:02d} MODE1/2352")
    lines.append(f"    INDEX 01 {msf(data_start)}")
    with open(os.path.join(out, "disc.cue"), "w") as f:
        f.write("\n".join(lines) + "\n")
    # The CDDB disc id of the table (addresses from the lead-in, two seconds before frame 0).
    offsets = starts + [data_start]
    n = sum(sum(int(d) for d in str((o + 150) // 75)) for o in offsets)
    total = (data_start + 300 + 150) // 75 - (offsets[0] + 150) // 75
    print(f"{os.path.join(out, 'disc.cue')}  disc id {((n % 255) << 24) | (total << 8) | len(offsets):08x}")


if __name__ == "__main__":
    main()
