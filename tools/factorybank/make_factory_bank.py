#!/usr/bin/env python3
"""Builds the factory bank ("PROGINIT", type "PROGDATA") from its readable sound design.

Usage: make_factory_bank.py SOUNDS.txt OUTPUT.fxb

SOUNDS.txt holds one block per program, in slot order:

    [PAD: Texture]
    Number of Voices = 16        # a list parameter takes its label ...
    Wave Table 1 = Texture 1     # ... a wave table its catalogue name ...
    Filter Cutoff = 0.72         # ... every other parameter its plain value
    Wave Shape Mod 1 Source = MG1

Only values that differ from the parameter defaults are listed. Where two parameters share a name
(an amount and its modulation source, a linear-FM depth and its modulator), the second is named
with " Source" appended. Lines starting with '#' and text after " #" are comments.

The output is an FXB opaque-chunk file: fx version 10103, 64 programs, current program 0, every
program a state of writer build 1103 with tuning selection 0, the equal-tempered user tuning and no
user wave tables. Each state carries program index 0 and the name of program 0, as a bank saved
with program 0 selected does. Standard library only, so that every build configuration (the 32-bit
one included) can run it.
"""

import struct
import sys

# ---- The instrument's parameters, in index order ---------------------------------------------

VOICES = ["1", "2", "4", "8", "16", "32", "64"]
OFF_ON = ["Off", "On"]
WAVE_MODE = ["Interpolate", "Raw"]
RESTART = ["Continuous", "Restarting"]
OCTAVE = ["16'", "8'", "4'", "2'"]
SYNC2 = ["Off", "Osc 1", "Osc 3"]
SYNC3 = ["Off", "Osc 1", "Osc 2"]
FM2 = ["Osc 1", "Osc 3"]
FM3 = ["Osc 2", "Osc 1"]
FILTER_TYPE = ["Lowpass 24", "Lowpass 12", "Highpass 24"]
TRIGGER = ["Multiple", "Single"]
MG_WAVE = ["Sine", "Triangle", "Saw down", "Saw up", "Rectangle", "Sample/Hold"]
SYNC_RATE = ["4/1", "2/1.", "2/1", "1/1.", "1/1", "1/2.", "1/2", "1/4.", "1/2T", "1/4", "1/8.",
             "1/4T", "1/8", "1/16.", "1/8T", "1/16", "1/32.", "1/16T", "1/32", "1/64"]
SOURCE = ["OFF", "ON", "MW", "PB", "Note", "MG1", "MG2", "Vib", "MW+", "PB+", "Note+", "Velo",
          "P-AT", "C-AT", "MG1+", "MG2+", "Vib+", "F-EG", "A-EG", "EG 1", "EG 2"]

# Wave Table identifiers by catalogue name.
WAVE_TABLES = {
    "Saw": 0, "Pulse": 1, "Full PWM": 2, "Tri": 3, "Sine": 4, "Sine-Tri-Square-Saw": 5,
    "Saw-Square": 6, "Saw-Sine": 7, "Saw-Tri": 8, "Square-Tri": 9, "Square-Sine": 10,
    "DW-6000": 37, "DW-8000": 11, "Dirac Meltdown": 12, "Odd": 13, "Even": 14, "Even to Odd": 15,
    "Primes": 16, "Octaves": 17, "Frequency Up": 18, "Phased Saw": 19, "Drawbar Full": 20,
    "Drawbar Mixed": 21, "Acoustic Piano": 22, "Pianet": 23, "Slap Low": 24, "Slap High": 25,
    "Re-PWM": 26, "Resonance 1": 27, "Resonance 2": 28, "MP4 Cross Modulation": 29,
    "Formant Shift": 30, "A-O-E": 31, "Geesh": 32, "TD 'Teh'": 33, "Texture 1": 34,
    "Texture 2": 35, "Ladies & Gentlemen": 36,
}


def D(name, default, lo, hi):
    return {"name": name, "kind": "double", "default": float(default), "min": float(lo), "max": float(hi)}


def I(name, default, lo, hi):
    return {"name": name, "kind": "int", "default": float(default), "min": float(lo), "max": float(hi)}


def E(name, default, labels):
    return {"name": name, "kind": "enum", "default": float(default), "min": 0.0,
            "max": float(len(labels) - 1), "labels": labels}


def oscillator_block(n):
    return [
        E("Osc %d Off/On" % n, 1, OFF_ON),
        I("Wave Table %d" % n, 0, 0, 65535),
        D("Wave Shape %d" % n, 0, 0, 1),
        E("Wave Mode %d" % n, 0, WAVE_MODE),
        D("Wave Shape Mod %d" % n, 0, -1, 1),
        E("Wave Shape Mod %d" % n, 0, SOURCE),
    ]


def oscillator_tail(n):
    return [
        E("Octave %d" % n, 1, OCTAVE),
        D("Pitch %d" % n, 0, -12, 12),
        D("Tune %d" % n, 0, -1, 1),
        D("Frequency Mod %d" % n, 0, -1, 1),
        E("Frequency Mod %d" % n, 0, SOURCE),
        D("Amplitude Mod %d" % n, 0, -1, 1),
        E("Amplitude Mod %d" % n, 0, SOURCE),
    ]


def envelope(prefix, sustain):
    return [
        E(prefix + " Trigger", 0, TRIGGER),
        D(prefix + " Mod", 1, -1, 1),
        E(prefix + " Mod", 1, SOURCE),
        D(prefix + " Attack", 0, 0, 1),
        D(prefix + " Decay", 0, 0, 1),
        D(prefix + " Sustain", sustain, 0, 1),
        D(prefix + " Release", 0.1, 0, 1),
    ]


def generator(prefix, frequency, with_waveform):
    block = [D(prefix + " Frequency", frequency, 0.01, 100)]
    if with_waveform:
        block.append(E(prefix + " Waveform", 0, MG_WAVE))
    block += [E(prefix + " Sync to Host", 0, OFF_ON), E(prefix + " Sync Rate", 9, SYNC_RATE)]
    return block


PARAMETERS = (
    [
        D("Volume", 0.5, 0, 1),
        D("Master Tune", 0, -1, 1),
        E("Number of Voices", 0, VOICES),
        E("Unison Mode", 0, OFF_ON),
        D("Unison Detune", 0.1, 0, 1),
        D("Unison Spread", 0.5, 0, 1),
        E("X-Mode", 0, OFF_ON),
        I("Pitch Bend", 2, -12, 12),
        D("Portamento", 0, 0, 1),
        E("Portamento Legato", 0, OFF_ON),
    ]
    + oscillator_block(1)
    + [
        D("Start Phase 1", 0, 0, 360),
        E("Restart Mode 1", 0, RESTART),
        D("AM by Osc 2", 0, 0, 1),
        D("AM Osc 3", 0, 0, 1),
        D("AM Mod", 0, -1, 1),
        E("AM Mod", 0, SOURCE),
    ]
    + oscillator_tail(1)
    + oscillator_block(2)
    + [
        E("Restart Mode 2", 0, RESTART),
        D("Start Phase 2", 0, 0, 360),
        E("Hard Sync 2", 0, SYNC2),
        D("Linear FM 2", 0, 0, 1),
        E("Linear FM 2", 0, FM2),
        D("Linear FM Mod 2", 0, -1, 1),
        E("Linear FM Mod 2", 0, SOURCE),
    ]
    + oscillator_tail(2)
    + oscillator_block(3)
    + [
        E("Restart Mode 3", 0, RESTART),
        D("Start Phase 3", 0, 0, 360),
        E("Hard Sync 3", 0, SYNC3),
        D("Linear FM 3", 0, 0, 1),
        E("Linear FM 3", 0, FM3),
        D("Linear FM Mod 3", 0, -1, 1),
        E("Linear FM Mod 3", 0, SOURCE),
    ]
    + oscillator_tail(3)
    + [
        D("Level Osc 1", 1, 0, 2),
        D("Level Osc 2", 1, 0, 2),
        D("Level Osc 3", 1, 0, 2),
        D("Level Noise", 0, 0, 2),
        D("Pan Osc 1", 0.5, 0, 1),
        D("Pan Osc 2", 0.5, 0, 1),
        D("Pan Osc 3", 0.5, 0, 1),
        D("Pan Noise", 0.5, 0, 1),
        E("Filter Type", 0, FILTER_TYPE),
        D("Filter Cutoff", 1, 0, 1),
        D("Filter Resonance", 0, 0, 1),
        D("Filter Keyboard Track", 0, 0, 1),
        D("Filter EG Intensity", 0, -1, 1),
        D("Filter cFM", 0, -1, 1),
        E("Filter cFM", 0, SOURCE),
        D("Amp Velocity", 0, 0, 1),
        D("Amp AM", 0, -1, 1),
        E("Amp AM", 0, SOURCE),
        E("Chorus", 0, OFF_ON),
        D("Chorus Delay", 0.5, 0, 1),
        D("Chorus Speed", 0.3, 0.01, 25),
        D("Chorus Depth", 0.15, 0, 1),
        D("Chorus Feedback", 0, -1, 1),
        D("Chorus Mix", 0.5, 0, 1),
    ]
    + envelope("Filter EG", 0)
    + envelope("Amp EG", 1)
    + envelope("Lin EG 1", 0)
    + envelope("Lin EG 2", 0)
    + generator("MG 1", 0.3, True)
    + [D("MG 1 Mod", 1, -1, 1), E("MG 1 Mod", 1, SOURCE)]
    + generator("MG 2", 0.3, True)
    + [D("MG 2 Mod", 1, -1, 1), E("MG 2 Mod", 1, SOURCE)]
    + generator("Vibrato", 5.8, False)
    + [D("Vibrato Mod", 0.1, -1, 1), E("Vibrato Mod", 8, SOURCE)]
    + [I("reserved", 0, 0, 1) for _ in range(15)]
)

assert len(PARAMETERS) == 153, len(PARAMETERS)


def design_names():
    """The names the sound design uses: a repeated name gets " Source" on its second use."""
    seen = set()
    names = []
    for p in PARAMETERS:
        name = p["name"]
        if name == "reserved":
            names.append(None)
            continue
        if name in seen:
            name += " Source"
        seen.add(p["name"])
        names.append(name)
    return names


# ---- Reading the sound design -------------------------------------------------------------------

class DesignError(Exception):
    pass


def parse_value(p, text, where):
    if p["kind"] == "enum":
        if text in p["labels"]:
            return float(p["labels"].index(text))
        raise DesignError("%s: %s takes one of %s" % (where, p["name"], ", ".join(p["labels"])))
    if p["name"].startswith("Wave Table") and text in WAVE_TABLES:
        return float(WAVE_TABLES[text])
    try:
        value = float(text)
    except ValueError:
        raise DesignError("%s: %s: '%s' is not a number" % (where, p["name"], text))
    if p["kind"] == "int" and value != int(value):
        raise DesignError("%s: %s takes whole numbers" % (where, p["name"]))
    if not (p["min"] <= value <= p["max"]):
        raise DesignError("%s: %s lies in %g ... %g" % (where, p["name"], p["min"], p["max"]))
    return value


def read_design(path):
    names = design_names()
    index_of = {n.lower(): i for i, n in enumerate(names) if n is not None}
    programs = []
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split(" #", 1)[0].strip()
            where = "%s:%d" % (path, number)
            if not line or line.startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                programs.append({"name": line[1:-1], "values": [p["default"] for p in PARAMETERS], "set": set()})
                continue
            if "=" not in line or not programs:
                raise DesignError("%s: expected [Program name] or Parameter = value" % where)
            key, text = (part.strip() for part in line.split("=", 1))
            index = index_of.get(key.lower())
            if index is None:
                raise DesignError("%s: no parameter named '%s'" % (where, key))
            program = programs[-1]
            if index in program["set"]:
                raise DesignError("%s: %s is set twice in %s" % (where, key, program["name"]))
            program["set"].add(index)
            program["values"][index] = parse_value(PARAMETERS[index], text, where)
    if len(programs) != 64:
        raise DesignError("%s: the bank needs 64 programs, found %d" % (path, len(programs)))
    for program in programs:
        if not 0 < len(program["name"].encode("utf-8")) <= 255:
            raise DesignError("program name '%s' is empty or too long" % program["name"])
    return programs


# ---- Writing the bank -----------------------------------------------------------------------------

TAG = b"Tarvolin_1.1.3"
WRITER_BUILD = 1103
FX_VERSION = 10103


def string(text):
    data = text.encode("utf-8")
    return struct.pack("<i", len(data)) + data


def program_state(values, stored_name):
    out = bytearray(TAG)
    out += struct.pack("<i", 0)  # the program index at writing: program 0 was selected
    out += string(stored_name)
    for v in values:
        out += struct.pack("<d", v)
    out += struct.pack("<i", 0)  # tuning selection: equal temperament
    out += bytes(256)  # the user tuning has no name
    for note in range(128):
        out += struct.pack(">H", 128 * note)  # the user tuning as made: equal temperament
    out += bytes([3, 0, 0, 0])  # three user wave-table slots, none stored
    out += struct.pack("<ii", 4, WRITER_BUILD)
    return bytes(out)


def bank_file(programs):
    body = bytearray()
    for program in programs:
        body += string(program["name"])
        body += b"\x01"
        body += program_state(program["values"], programs[0]["name"])
    chunk = struct.pack("<ii", 0x70666674, 0x00010000) + bytes(body)
    header = b"CcnK" + struct.pack(">i", len(chunk) + 160) + b"FBCh"
    header += struct.pack(">i", 2) + b"tvln" + struct.pack(">iii", FX_VERSION, 64, 0)
    header += bytes(124) + struct.pack(">i", len(chunk))
    return header + chunk


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    try:
        programs = read_design(argv[1])
    except (DesignError, OSError) as error:
        sys.stderr.write("error: %s\n" % error)
        return 1
    data = bank_file(programs)
    with open(argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
