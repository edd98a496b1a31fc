#!/usr/bin/env python3
"""Checks the editor's artwork generator (tools/artwork/make_artwork.py) and the layout reader.

- every bitmap of the layout's bitmap table is written, with its size, as 8-bit RGBA;
- strips hold frames that differ from one another (a knob's pointer turns, a switch moves);
- the background is opaque (it is copied, not blended, into the window);
- two runs write the same bytes;
- a layout whose label would sit on another control is refused, and so are malformed rows.

Runs with a python3 that has pycairo.
"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, '..', '..', '..'))
TOOL = os.path.join(ROOT, 'tools', 'artwork', 'make_artwork.py')
LAYOUT = os.path.join(ROOT, 'resources', 'editor', 'EditorLayout.txt')
sys.path.insert(0, os.path.join(ROOT, 'tools', 'artwork'))
import editor_layout  # noqa: E402
import cairo  # noqa: E402

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def png_header(path):
    with open(path, 'rb') as f:
        head = f.read(33)
    if head[:8] != b'\x89PNG\r\n\x1a\n' or head[12:16] != b'IHDR':
        return None
    width, height, depth, colour = struct.unpack('>IIBB', head[16:26])
    return width, height, depth, colour


def run(outdir, layout=LAYOUT):
    return subprocess.run([sys.executable, TOOL, '--layout', layout, outdir],
                          capture_output=True, text=True)


def frames_of(path, bitmap):
    surface = cairo.ImageSurface.create_from_png(path)
    data = bytes(surface.get_data())
    stride = surface.get_stride()
    rows = bitmap.height // bitmap.frames
    return [data[i * rows * stride:(i + 1) * rows * stride] for i in range(bitmap.frames)]


def check_knob(bitmap, frames, stride):
    """The scale printed on the background around a knob shows through every frame, and the
    pointer stands at twelve o'clock in the middle frame, where the background's centre mark is."""
    w, h = bitmap.frame_size
    cx, cy = w // 2, h // 2

    def pixel(frame, x, y):
        i = y * stride + x * 4
        return frame[i:i + 4]  # B, G, R, A

    for k, frame in enumerate(frames):
        for step in range(11):
            a = math.radians(-135 + 27 * step)
            x, y = round(cx + 16.5 * math.sin(a)), round(cy - 16.5 * math.cos(a))
            check(pixel(frame, x, y)[3] < 64, f'{bitmap.file}: frame {k + 1} hides the scale at {x}, {y}')
    def contrast(frame):  # the point under twelve o'clock against the cap beside it
        return abs(sum(pixel(frame, cx, cy - 9)[:3]) - sum(pixel(frame, cx - 6, cy)[:3]))

    check(contrast(frames[len(frames) // 2]) > 200, f'{bitmap.file}: no pointer at twelve o\'clock')
    check(contrast(frames[0]) < 100, f'{bitmap.file}: the first frame points at twelve o\'clock')


def main():
    layout = editor_layout.load(LAYOUT)
    work = tempfile.mkdtemp(prefix='tarvolin-artwork-')
    try:
        first, second = os.path.join(work, 'a'), os.path.join(work, 'b')
        for out in (first, second):
            result = run(out)
            if result.returncode != 0:
                print(result.stderr)
                return 1
        expected = sorted(f'{b.id}.png' for b in layout.bitmaps)
        check(sorted(os.listdir(first)) == expected, f'written {sorted(os.listdir(first))}')
        for b in layout.bitmaps:
            path = os.path.join(first, f'{b.id}.png')
            if not os.path.exists(path):
                continue
            # Cairo writes a fully opaque image as RGB, any other as RGBA; both 8 bits a channel.
            check(png_header(path) in ((b.width, b.height, 8, 6), (b.width, b.height, 8, 2)),
                  f'{b.id} ({b.file}): header {png_header(path)}, expected {b.width} x {b.height} RGBA')
            with open(path, 'rb') as f1, open(os.path.join(second, f'{b.id}.png'), 'rb') as f2:
                check(f1.read() == f2.read(), f'{b.id} ({b.file}) differs between two runs')
            frames = frames_of(path, b)
            for i, frame in enumerate(frames):
                check(any(frame[3::4]), f'{b.id} ({b.file}): frame {i + 1} is empty')
            check(len(set(frames)) == len(frames), f'{b.id} ({b.file}): two frames are the same')
            if b.id == 101:
                check(all(a == 255 for a in frames[0][3::4]), 'the background has transparent pixels')
            if b.key in ('knob', 'knob_white'):
                check_knob(b, frames, cairo.ImageSurface.create_from_png(path).get_stride())

        # A caption moved onto a neighbouring control is refused, and nothing is written.
        with open(LAYOUT, encoding='utf-8') as f:
            text = f.read()
        broken = os.path.join(work, 'broken.txt')
        with open(broken, 'w', encoding='utf-8') as f:
            f.write(text.replace('caption="Key Track"', 'caption="Keyboard Tracking Amount"'))
        result = run(os.path.join(work, 'c'), broken)
        check(result.returncode == 1 and 'overlaps' in result.stderr,
              f'an overlapping caption was accepted: {result.returncode} {result.stderr}')
        check(not os.path.exists(os.path.join(work, 'c')), 'artwork written for a refused layout')

        # Malformed layouts are refused with the line that is wrong.
        row = '1 -1 ISMPresetMenu - - 638,710,858,728 what="x"'
        for bad, why in ((row.replace('ISMPresetMenu', 'ISMNoSuchControl'), 'unknown class'),
                         (row.replace('638,710,858,728', '638,710,600,728'), 'is empty'),
                         (row + ' colour=red', 'unknown key'),
                         (row.replace('what="x"', ''), 'what='),
                         ('2 -1 ISMPresetMenu - - 1,1,2,2 what="x"', 'where 1 was expected'),
                         ('1 7 ISMKnobControl knob 1,1 1,1,41,41 name="x" steps="a;b"', 'step labels')):
            try:
                editor_layout.parse('window 10 10 25\nbitmap 102 knob.png 40 2600 65\n' + bad + '\n', 'bad')
                failures.append(f'accepted: {bad}')
            except editor_layout.LayoutError as e:
                check(why in str(e) and 'bad:3' in str(e), f'"{bad}": {e}')
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print('FAIL:', f)
    print(f'{len(failures)} failure(s)')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
