#!/usr/bin/env python3
"""Writes demo.mid, the short piece the README's first command plays ("Harbour Lights").

Eight bars in D minor: a pad of seventh chords, a walking bass and a lead line, with a slight
slowing in the last two bars. The output is deterministic: running this again gives the same bytes.
The file is a format 1 Standard MIDI File that uses running status and note-ons of velocity 0 as
note-offs, as many sequencers write them.
"""
import pathlib
import struct

PPQ = 480
BAR = 4 * PPQ


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def track_chunk(events):
    """events: (tick, order, bytes); written sorted, with running status for channel messages."""
    data = bytearray()
    now = 0
    running = None
    for tick, _, message in sorted(events, key=lambda e: (e[0], e[1])):
        data += vlq(tick - now)
        now = tick
        status = message[0]
        if status < 0xF0 and status == running:
            data += message[1:]
        else:
            data += message
            running = status if status < 0xF0 else None
    data += vlq(0) + b"\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


NOTE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note(name):
    pitch = NOTE[name[0]]
    rest = name[1:]
    while rest and rest[0] in "#b":
        pitch += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return (int(rest) + 1) * 12 + pitch


def notes(channel, items, start=0):
    """items: (name or list of names, beats, velocity); None as name is a rest."""
    events = []
    tick = start
    for names, beats, velocity in items:
        length = int(beats * PPQ)
        if names is not None:
            for n in ([names] if isinstance(names, str) else names):
                key = note(n)
                events.append((tick, 1, bytes([0x90 | channel, key, velocity])))
                # Note-off as a note-on with velocity 0, released just before the next note.
                events.append((tick + length - 10, 0, bytes([0x90 | channel, key, 0])))
        tick += length
    return events


def meta_track():
    events = [
        (0, 0, b"\xFF\x03" + vlq(14) + b"Harbour Lights"),
        (0, 1, b"\xFF\x58\x04\x04\x02\x18\x08"),            # 4/4
        (0, 2, b"\xFF\x51\x03" + (600000).to_bytes(3, "big")),  # 100 bpm
        (6 * BAR, 3, b"\xFF\x51\x03" + (652174).to_bytes(3, "big")),  # 92 bpm
        (7 * BAR, 4, b"\xFF\x51\x03" + (714286).to_bytes(3, "big")),  # 84 bpm
    ]
    return events


def chords():
    progression = [
        ["D3", "F3", "A3", "C4"], ["Bb2", "D3", "F3", "A3"], ["G2", "Bb2", "D3", "F3"],
        ["A2", "C#3", "E3", "G3"], ["D3", "F3", "A3", "C4"], ["Bb2", "D3", "F3", "A3"],
        ["G2", "Bb2", "D3", "F3"], ["A2", "C#3", "E3", "G3"],
    ]
    items = [(chord, 4, 72) for chord in progression[:-1]]
    items.append((["D3", "F3", "A3", "E4"], 4, 64))  # close on D minor with the ninth
    return notes(0, items)


def bass():
    roots = ["D2", "Bb1", "G1", "A1", "D2", "Bb1", "G1", "A1"]
    fifths = ["A2", "F2", "D2", "E2", "A2", "F2", "D2", "E2"]
    items = []
    for bar, (root, fifth) in enumerate(zip(roots, fifths)):
        if bar == 7:
            items += [(root, 1, 96), (fifth, 1, 84), ("C#2", 1, 88), ("D2", 1, 100)]
        else:
            octave = root[:-1] + str(int(root[-1]) + 1)
            items += [(root, 1, 100), (root, 0.5, 80), (fifth, 0.5, 84), (octave, 1, 90), (fifth, 1, 82)]
    return notes(1, items)


def lead():
    items = [
        (None, 2, 0), ("A4", 1, 96), ("C5", 1, 100),
        ("D5", 1.5, 104), ("C5", 0.5, 90), ("Bb4", 1, 92), ("A4", 1, 90),
        ("G4", 2, 94), ("Bb4", 1, 96), ("D5", 1, 100),
        ("C#5", 3, 104), ("A4", 1, 88),
        ("F5", 1.5, 108), ("E5", 0.5, 96), ("D5", 1, 100), ("A4", 1, 90),
        ("Bb4", 1, 92), ("D5", 1, 98), ("F5", 1, 104), ("G5", 1, 110),
        ("F5", 1, 104), ("E5", 1, 100), ("D5", 1, 96), ("C#5", 1, 92),
        ("D5", 4, 100),
    ]
    return notes(2, items)


def main():
    tracks = [meta_track(), chords(), bass(), lead()]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), PPQ)
    data = header + b"".join(track_chunk(t) for t in tracks)
    out = pathlib.Path(__file__).with_name("demo.mid")
    out.write_bytes(data)
    print(f"wrote {out} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
