#!/usr/bin/env python3
"""Draws the editor's bitmaps: the background and every control strip.

usage: make_artwork.py OUTDIR                 writes OUTDIR/101.png ... OUTDIR/119.png
       make_artwork.py --preview OUT.png [--hover PARAM] [--leds]
                                              the whole editor with every control at its default

Everything is placed from resources/editor/EditorLayout.txt, the table the editor code is built
from: each knob's caption and scale, each switch's positions and each display's window are drawn at
the control's rect, so the picture follows the layout. Needs pycairo (Debian python3-cairo) and the
DejaVu fonts (fonts-dejavu-core, fonts-dejavu-extra). Text is drawn only with fonts from the DejaVu
folder, through a fontconfig setup of our own, so every build draws the same pixels; the output is
byte-identical from run to run.
"""

import atexit
import math
import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import editor_layout  # noqa: E402

FONT_DIRS = ('/usr/share/fonts/truetype/dejavu',)
FONT_FILES = ('DejaVuSansCondensed.ttf', 'DejaVuSansCondensed-Bold.ttf', 'DejaVuSans-ExtraLight.ttf',
              'DejaVuSans.ttf', 'DejaVuSans-Bold.ttf')
FONT_PACKAGES = 'fonts-dejavu-core and fonts-dejavu-extra'


def _private_fontconfig():
    """Points fontconfig at a folder holding exactly our font files, before cairo starts it."""
    found = {}
    for d in FONT_DIRS:
        for name in FONT_FILES:
            path = os.path.join(d, name)
            if name not in found and os.path.isfile(path):
                found[name] = path
    missing = [n for n in FONT_FILES if n not in found]
    if missing:
        raise SystemExit(f'make_artwork: missing fonts {", ".join(missing)} (install {FONT_PACKAGES})')
    root = tempfile.mkdtemp(prefix='tarvolin-fonts-')
    atexit.register(shutil.rmtree, root, True)
    fonts = os.path.join(root, 'fonts')
    os.mkdir(fonts)
    for name, path in found.items():
        os.symlink(path, os.path.join(fonts, name))
    conf = os.path.join(root, 'fonts.conf')
    with open(conf, 'w', encoding='utf-8') as f:
        f.write(f'''<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>{fonts}</dir>
  <cachedir>{os.path.join(root, 'cache')}</cachedir>
  <match target="pattern">
    <test name="family" compare="eq"><string>DejaVu Sans</string></test>
    <edit name="width" mode="assign"><const>normal</const></edit>
  </match>
</fontconfig>
''')
    os.environ['FONTCONFIG_FILE'] = conf
    os.environ.pop('FONTCONFIG_PATH', None)
    os.environ.pop('FONTCONFIG_SYSROOT', None)
    return root


_private_fontconfig()

import cairo  # noqa: E402  (after fontconfig is pointed at our fonts)

# ---- Palette and type -------------------------------------------------------------------------------


def rgb(hex_, a=1.0):
    hex_ = hex_.lstrip('#')
    return (int(hex_[0:2], 16) / 255, int(hex_[2:4], 16) / 255, int(hex_[4:6], 16) / 255, a)


CHASSIS_TOP = rgb('1c1f24')
CHASSIS_BOTTOM = rgb('111316')
PANEL_TOP = rgb('30353d')
PANEL_BOTTOM = rgb('272b31')
PANEL_RIM = rgb('0b0c0e')
PANEL_HIGHLIGHT = rgb('4a515b')
STRIP = rgb('1f2227')
TITLE = rgb('f1e9dc')
ACCENT = rgb('ff9a2e')
CAPTION = rgb('d9dde3')
SMALL = rgb('9ea6b1')
MARK = rgb('7b8490')
MARK_STRONG = rgb('c9ced6')
LCD = rgb('07090b')
LCD_GRID = rgb('40d4ff', 0.10)
LCD_ZERO = rgb('40d4ff', 0.22)
CYAN = rgb('40d4ff')
AMBER = rgb('ffb04a')

CONDENSED = 'DejaVu Sans Condensed'
LIGHT = 'DejaVu Sans Light'
PLAIN = 'DejaVu Sans'

CAPTION_SIZE = 9.0
CAPTION_SPACING = 0.0
CAPTION_ROW_SNAP = 11
SMALL_SIZE = 8.0
TITLE_SIZE = 10.5
CORNER = 5

# Knob geometry, within a 40 x 40 frame.
KNOB_SWEEP = 135.0  # degrees either side of twelve o'clock
STEP_SPACING = 40.0  # degrees between the positions of a stepped knob
TICK_IN, TICK_OUT = 15.5, 18.5
END_LABEL_RADIUS = 22.0
STEP_LABEL_RADIUS = 24.5


def set_font(ctx, family, size, bold=False):
    ctx.select_font_face(family, cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)
    options = cairo.FontOptions()
    options.set_antialias(cairo.ANTIALIAS_GRAY)
    options.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    options.set_hint_metrics(cairo.HINT_METRICS_OFF)
    ctx.set_font_options(options)


def text_width(ctx, text, spacing=0.0):
    if not text:
        return 0.0
    return ctx.text_extents(text).x_advance + spacing * (len(text) - 1)


def show_text(ctx, x, baseline, text, spacing=0.0):
    if spacing == 0.0:
        ctx.move_to(x, baseline)
        ctx.show_text(text)
        return
    for ch in text:
        ctx.move_to(x, baseline)
        ctx.show_text(ch)
        x += ctx.text_extents(ch).x_advance + spacing


class Labels:
    """Every text the background prints, with its box, so that collisions are found."""

    def __init__(self):
        self.boxes = []  # (l, t, r, b, owner, text)

    def add(self, box, owner, text):
        self.boxes.append((*box, owner, text))


def draw_label(ctx, labels, owner, text, cx, baseline, family=CONDENSED, size=CAPTION_SIZE, bold=True,
               colour=CAPTION, align='centre', spacing=0.0):
    set_font(ctx, family, size, bold)
    w = text_width(ctx, text, spacing)
    x = cx - w / 2 if align == 'centre' else (cx if align == 'left' else cx - w)
    ctx.set_source_rgba(*colour)
    show_text(ctx, x, baseline, text, spacing)
    # The box other labels and controls must keep clear of: cap height, and descenders if any.
    cap = size * 0.73
    descent = size * 0.2 if re.search('[gjpqy]', text) else 0
    labels.add((x, baseline - cap, x + w, baseline + descent), owner, text)


# ---- Shapes -----------------------------------------------------------------------------------------


def rounded(ctx, l, t, r, b, radius):
    radius = min(radius, (r - l) / 2, (b - t) / 2)
    ctx.new_sub_path()
    ctx.arc(r - radius, t + radius, radius, -math.pi / 2, 0)
    ctx.arc(r - radius, b - radius, radius, 0, math.pi / 2)
    ctx.arc(l + radius, b - radius, radius, math.pi / 2, math.pi)
    ctx.arc(l + radius, t + radius, radius, math.pi, 3 * math.pi / 2)
    ctx.close_path()


def vertical_gradient(t, b, top, bottom):
    g = cairo.LinearGradient(0, t, 0, b)
    g.add_color_stop_rgba(0, *top)
    g.add_color_stop_rgba(1, *bottom)
    return g


def polar(cx, cy, angle_deg, radius):
    a = math.radians(angle_deg)
    return cx + radius * math.sin(a), cy - radius * math.cos(a)


def lcd_window(ctx, l, t, r, b, radius=3):
    """A recessed dark window for texts and curves that controls draw."""
    rounded(ctx, l - 2, t - 2, r + 2, b + 2, radius + 1)
    ctx.set_source(vertical_gradient(t - 2, b + 2, rgb('0a0b0d'), rgb('4a515b')))
    ctx.fill()
    rounded(ctx, l - 1, t - 1, r + 1, b + 1, radius)
    ctx.set_source(vertical_gradient(t, b, rgb('030405'), LCD))
    ctx.fill()


# ---- Controls: strips -------------------------------------------------------------------------------


def knob_angle(frame, frames):
    return -KNOB_SWEEP + 2 * KNOB_SWEEP * frame / (frames - 1)


def step_angle(step, steps):
    return (step - (steps - 1) / 2) * STEP_SPACING


def draw_knob(ctx, cx, cy, angle, white, body=13.5, cap=10.5):
    shadow = cairo.RadialGradient(cx, cy + 1.5, body - 2, cx, cy + 1.5, body + 2.5)
    shadow.add_color_stop_rgba(0, 0, 0, 0, 0.6)
    shadow.add_color_stop_rgba(1, 0, 0, 0, 0)
    ctx.arc(cx, cy + 1.5, body + 2.5, 0, 2 * math.pi)
    ctx.set_source(shadow)
    ctx.fill()
    if white:
        skirt = (rgb('f6f2ea'), rgb('a9a399'))
        top = (rgb('ffffff'), rgb('d8d3c9'))
        rim = rgb('6d685f')
        pointer = rgb('1a1a1a')
    else:
        skirt = (rgb('5a616b'), rgb('16181c'))
        top = (rgb('3c424b'), rgb('1f2328'))
        rim = rgb('08090a')
        pointer = rgb('f4efe6')
    ctx.arc(cx, cy, body, 0, 2 * math.pi)
    ctx.set_source(vertical_gradient(cy - body, cy + body, *skirt))
    ctx.fill_preserve()
    ctx.set_source_rgba(*rim)
    ctx.set_line_width(0.8)
    ctx.stroke()
    # Fine knurl on the skirt, fixed to the light (it does not turn: too small to see turning).
    g = cairo.RadialGradient(cx - 3, cy - 4, 1, cx, cy, cap)
    g.add_color_stop_rgba(0, *top[0])
    g.add_color_stop_rgba(1, *top[1])
    ctx.arc(cx, cy, cap, 0, 2 * math.pi)
    ctx.set_source(g)
    ctx.fill_preserve()
    ctx.set_source_rgba(*(rgb('000000', 0.35) if not white else rgb('8a857c', 0.6)))
    ctx.set_line_width(0.7)
    ctx.stroke()
    x0, y0 = polar(cx, cy, angle, 3.5)
    x1, y1 = polar(cx, cy, angle, body - 1.0)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_width(2.4)
    ctx.set_source_rgba(*pointer)
    ctx.move_to(x0, y0)
    ctx.line_to(x1, y1)
    ctx.stroke()


def knob_strip(white):
    def frame(ctx, i, n, w, h):
        draw_knob(ctx, w / 2, h / 2, knob_angle(i, n), white)
    return frame


def stepped_strip(white):
    def frame(ctx, i, n, w, h):
        draw_knob(ctx, w / 2, h / 2, step_angle(i, n), white, body=12.0, cap=9.0)
    return frame


def draw_button(ctx, w, h, cap_colours, lit, pressed):
    # Lamp above the cap.
    lamp = (6, 3, w - 6, 9)
    rounded(ctx, lamp[0] - 1, lamp[1] - 1, lamp[2] + 1, lamp[3] + 1, 2.5)
    ctx.set_source_rgba(*rgb('0a0b0d'))
    ctx.fill()
    rounded(ctx, *lamp, 2)
    if lit:
        g = vertical_gradient(lamp[1], lamp[3], rgb('ffe0a8'), AMBER)
        ctx.set_source(g)
        ctx.fill()
        glow = cairo.RadialGradient(w / 2, 6, 1, w / 2, 6, 9)
        glow.add_color_stop_rgba(0, *rgb('ffb04a', 0.45))
        glow.add_color_stop_rgba(1, *rgb('ffb04a', 0.0))
        ctx.rectangle(0, 0, w, 13)
        ctx.set_source(glow)
        ctx.fill()
    else:
        ctx.set_source(vertical_gradient(lamp[1], lamp[3], rgb('2a2118'), rgb('3d2f20')))
        ctx.fill()
    # Cap.
    dy = 1 if pressed else 0
    l, t, r, b = 2, 13, w - 2, h - 2
    rounded(ctx, l - 1, t - 1, r + 1, b + 1, 4)
    ctx.set_source_rgba(*rgb('08090a'))
    ctx.fill()
    if not pressed:
        rounded(ctx, l, t + 1.5, r, b + 1, 3.5)
        ctx.set_source_rgba(0, 0, 0, 0.45)
        ctx.fill()
    hi, lo = cap_colours
    if pressed:
        hi, lo = tuple(c * 0.86 for c in hi[:3]) + (1,), tuple(c * 0.86 for c in lo[:3]) + (1,)
    rounded(ctx, l, t + dy, r, b - 1 + dy, 3)
    ctx.set_source(vertical_gradient(t + dy, b + dy, hi, lo))
    ctx.fill()
    # Top edge highlight.
    ctx.set_line_width(1)
    ctx.set_source_rgba(1, 1, 1, 0.25 if not pressed else 0.12)
    ctx.move_to(l + 3, t + dy + 0.5)
    ctx.line_to(r - 3, t + dy + 0.5)
    ctx.stroke()


BUTTON_CAPS = {
    'button': (rgb('4d535c'), rgb('2a2e34')),
    'button_white': (rgb('f7f4ee'), rgb('bdb7ab')),
    'button_orange': (rgb('ffad55'), rgb('d8641a')),
}


def button_strip(kind, lit):
    def frame(ctx, i, n, w, h):
        draw_button(ctx, w, h, BUTTON_CAPS[kind], lit, pressed=(i == 1))
    return frame


def toggle_strip(ctx, i, n, w, h):
    """A vertical slide switch; value 0 (frame 1) is the top position."""
    l, r = 2, w - 2
    rounded(ctx, l - 1, 0, r + 1, h, 3.5)
    ctx.set_source(vertical_gradient(0, h, rgb('07080a'), rgb('3f454e')))
    ctx.fill()
    rounded(ctx, l, 1, r, h - 1, 2.5)
    ctx.set_source(vertical_gradient(1, h - 1, rgb('0b0c0e'), rgb('16181c')))
    ctx.fill()
    slot = (h - 2) / n
    t = 1 + slot * i
    nub = (l + 1, t + 1, r - 1, t + slot - 1)
    rounded(ctx, *nub, 2)
    ctx.set_source(vertical_gradient(nub[1], nub[3], rgb('eef0f3'), rgb('8c939d')))
    ctx.fill()
    ctx.set_line_width(1)
    ctx.set_source_rgba(0, 0, 0, 0.35)
    for k in (-2, 0, 2):
        y = (nub[1] + nub[3]) / 2 + k + 0.5
        ctx.move_to(nub[0] + 2, y)
        ctx.line_to(nub[2] - 2, y)
    ctx.stroke()


VOICE_COUNTS = ('1', '2', '4', '8', '16', '32', '64')


def voices_strip(ctx, i, n, w, h):
    rounded(ctx, 0, 0, w, h, 3)
    ctx.set_source(vertical_gradient(0, h, rgb('0a0b0d'), rgb('4a515b')))
    ctx.fill()
    rounded(ctx, 1, 1, w - 1, h - 1, 2.5)
    ctx.set_source(vertical_gradient(1, h - 1, rgb('030405'), LCD))
    ctx.fill()
    set_font(ctx, CONDENSED, 14, True)
    text = VOICE_COUNTS[i]
    tw = text_width(ctx, text)
    glow = cairo.RadialGradient(w / 2, h / 2, 1, w / 2, h / 2, 14)
    glow.add_color_stop_rgba(0, *rgb('ff9a2e', 0.16))
    glow.add_color_stop_rgba(1, *rgb('ff9a2e', 0))
    ctx.rectangle(1, 1, w - 2, h - 2)
    ctx.set_source(glow)
    ctx.fill()
    ctx.set_source_rgba(*ACCENT)
    show_text(ctx, (w - tw) / 2, h / 2 + 5, text)


def arrow_strip(up):
    def frame(ctx, i, n, w, h):
        pressed = i == 1
        rounded(ctx, 1, 0.5, w - 1, h - 0.5, 3)
        ctx.set_source_rgba(*rgb('08090a'))
        ctx.fill()
        hi, lo = (rgb('4d535c'), rgb('2a2e34')) if not pressed else (rgb('3a3f46'), rgb('23272c'))
        rounded(ctx, 2, 1.5, w - 2, h - 1.5, 2.5)
        ctx.set_source(vertical_gradient(1.5, h - 1.5, hi, lo))
        ctx.fill()
        cx, cy = w / 2, h / 2 + (0.5 if pressed else 0)
        ctx.set_source_rgba(*(rgb('e6e9ee') if not pressed else ACCENT))
        if up:
            ctx.move_to(cx - 5, cy + 2.5)
            ctx.line_to(cx + 5, cy + 2.5)
            ctx.line_to(cx, cy - 3)
        else:
            ctx.move_to(cx - 5, cy - 2.5)
            ctx.line_to(cx + 5, cy - 2.5)
            ctx.line_to(cx, cy + 3)
        ctx.close_path()
        ctx.fill()
    return frame


def draw_text_button(ctx, l, t, r, b, text, lit_colour=None):
    rounded(ctx, l, t, r, b, 3.5)
    ctx.set_source_rgba(*rgb('08090a'))
    ctx.fill()
    rounded(ctx, l + 1, t + 1, r - 1, b - 1, 3)
    hi, lo = (rgb('4a5059'), rgb('292d33')) if lit_colour is None else (rgb('3a3027'), rgb('241d17'))
    ctx.set_source(vertical_gradient(t + 1, b - 1, hi, lo))
    ctx.fill()
    ctx.set_line_width(1)
    ctx.set_source_rgba(1, 1, 1, 0.18)
    ctx.move_to(l + 4, t + 1.5)
    ctx.line_to(r - 4, t + 1.5)
    ctx.stroke()
    # Letter-spaced where the word fits, tighter where it does not.
    spacing, size = 0.8, 9.5
    set_font(ctx, CONDENSED, size, True)
    while text_width(ctx, text, spacing) > r - l - 10 and size > 7:
        if spacing > 0.05:
            spacing -= 0.2
        else:
            size -= 0.5
            set_font(ctx, CONDENSED, size, True)
    w = text_width(ctx, text, spacing)
    cx, cy = (l + r) / 2, (t + b) / 2
    if lit_colour is not None:
        glow = cairo.RadialGradient(cx, cy, 2, cx, cy, (r - l) / 2)
        glow.add_color_stop_rgba(0, *lit_colour[:3], 0.30)
        glow.add_color_stop_rgba(1, *lit_colour[:3], 0.0)
        rounded(ctx, l + 1, t + 1, r - 1, b - 1, 3)
        ctx.set_source(glow)
        ctx.fill()
    ctx.set_source_rgba(*(lit_colour or rgb('d9dde3')))
    show_text(ctx, cx - w / 2, cy + 3.5, text, spacing)


def learn_strip(text, colour):
    def frame(ctx, i, n, w, h):
        draw_text_button(ctx, 0, 0, w, h, text, colour if i == 1 else None)
    return frame


def led_strip(ctx, i, n, w, h):
    cx, cy = w / 2, h / 2
    glow = cairo.RadialGradient(cx, cy, 1, cx, cy, w / 2)
    glow.add_color_stop_rgba(0, *rgb('40d4ff', 0.7))
    glow.add_color_stop_rgba(1, *rgb('40d4ff', 0.0))
    ctx.arc(cx, cy, w / 2, 0, 2 * math.pi)
    ctx.set_source(glow)
    ctx.fill()
    ctx.arc(cx, cy, 3.6, 0, 2 * math.pi)
    g = cairo.RadialGradient(cx - 1, cy - 1, 0.5, cx, cy, 3.6)
    g.add_color_stop_rgba(0, *rgb('e8fbff'))
    g.add_color_stop_rgba(1, *CYAN)
    ctx.set_source(g)
    ctx.fill()


def draw_strip(bitmap, painter):
    w, h = bitmap.frame_size
    surface = cairo.ImageSurface(cairo.FORMAT_ARGB32, bitmap.width, bitmap.height)
    ctx = cairo.Context(surface)
    for i in range(bitmap.frames):
        ctx.save()
        ctx.translate(0, i * h)
        ctx.rectangle(0, 0, w, h)
        ctx.clip()
        painter(ctx, i, bitmap.frames, w, h)
        ctx.restore()
    surface.flush()
    return surface


STRIP_PAINTERS = {
    'knob': knob_strip(False),
    'knob_white': knob_strip(True),
    'button_off': button_strip('button', False),
    'button_on': button_strip('button', True),
    'button_white_off': button_strip('button_white', False),
    'button_white_on': button_strip('button_white', True),
    'button_orange_off': button_strip('button_orange', False),
    'button_orange_on': button_strip('button_orange', True),
    'switch2': toggle_strip,
    'switch3': toggle_strip,
    'switch4white': stepped_strip(True),
    'switch6': stepped_strip(False),
    'voices': voices_strip,
    'up': arrow_strip(True),
    'down': arrow_strip(False),
    'learn': learn_strip('LEARN', AMBER),
    'unlearn': learn_strip('UNLEARN', rgb('ff6a55')),
    'led': led_strip,
}

# ---- Background -------------------------------------------------------------------------------------


def panel_path(ctx, rects, inset=0.0, radius=CORNER):
    for l, t, r, b in rects:
        rounded(ctx, l + inset, t + inset, r - inset, b - inset, max(radius - inset, 1))


def draw_panel(ctx, panel):
    # Drop shadow, rim, body with a soft highlight along the top.
    ctx.save()
    ctx.translate(0, 2)
    panel_path(ctx, panel.rects, -1)
    ctx.set_source_rgba(0, 0, 0, 0.45)
    ctx.fill()
    ctx.restore()
    panel_path(ctx, panel.rects)
    ctx.set_source_rgba(*PANEL_RIM)
    ctx.fill()
    top = min(r[1] for r in panel.rects)
    bottom = max(r[3] for r in panel.rects)
    panel_path(ctx, panel.rects, 1)
    ctx.set_source_rgba(*PANEL_HIGHLIGHT)
    ctx.fill()
    panel_path(ctx, panel.rects, 1)
    ctx.save()
    ctx.clip()
    ctx.translate(0, 1)
    panel_path(ctx, panel.rects, 1)
    ctx.set_source(vertical_gradient(top, bottom, PANEL_TOP, PANEL_BOTTOM))
    ctx.fill()
    ctx.restore()


def draw_title_strip(ctx, labels, panel):
    l, t, r, b = panel.rects[0]
    strip_b = t + 22
    ctx.save()
    panel_path(ctx, panel.rects, 1)
    ctx.clip()
    ctx.rectangle(l, t, r - l, strip_b - t)
    ctx.set_source(vertical_gradient(t, strip_b, rgb('24272c'), STRIP))
    ctx.fill()
    ctx.rectangle(l, strip_b, r - l, 1)
    ctx.set_source_rgba(*ACCENT[:3], 0.55)
    ctx.fill()
    ctx.restore()
    x = l + 12
    if panel.led >= 0:
        x = panel.led + 12 + 8
    cy = (t + strip_b) / 2
    ctx.rectangle(l + 1, t + 6, 3, strip_b - t - 12)
    ctx.set_source_rgba(*ACCENT)
    ctx.fill()
    draw_label(ctx, labels, panel.key, panel.title.upper(), x, cy + 4, size=TITLE_SIZE, colour=TITLE,
               align='left', spacing=1.4)


def draw_side_tab(ctx, labels, panel, parent):
    l, t, r, b = panel.rects[0]
    tab_r = l + 13
    ctx.save()
    panel_path(ctx, parent.rects, 1)
    ctx.clip()
    # Engraved divider between the section and the rest of the panel.
    ctx.set_line_width(1)
    ctx.set_source_rgba(*PANEL_RIM[:3], 0.9)
    ctx.move_to(l, t + 0.5)
    ctx.line_to(r, t + 0.5)
    ctx.stroke()
    ctx.set_source_rgba(*PANEL_HIGHLIGHT[:3], 0.6)
    ctx.move_to(l, t + 1.5)
    ctx.line_to(r, t + 1.5)
    ctx.stroke()
    ctx.rectangle(l, t + 1, tab_r - l, b - t - 1)
    ctx.set_source(vertical_gradient(t, b, rgb('24272c'), STRIP))
    ctx.fill()
    ctx.rectangle(tab_r, t + 1, 1, b - t - 1)
    ctx.set_source_rgba(*ACCENT[:3], 0.55)
    ctx.fill()
    ctx.restore()
    text = panel.title.upper()
    set_font(ctx, CONDENSED, TITLE_SIZE - 1, True)
    w = text_width(ctx, text, 1.2)
    cx, cy = (l + tab_r) / 2 + 0.5, (t + b) / 2
    ctx.save()
    ctx.translate(cx + 3.5, cy + w / 2)
    ctx.rotate(-math.pi / 2)
    ctx.set_source_rgba(*TITLE)
    show_text(ctx, 0, 0, text, 1.2)
    ctx.restore()
    labels.add((l, t, tab_r + 1, b), panel.key, text)


def draw_header(ctx, layout, labels, panel):
    l, t, r, b = panel.rects[0]
    ctx.rectangle(l, t, r - l + 1, b - t)
    ctx.set_source(vertical_gradient(t, b, rgb('25292f'), rgb('16181c')))
    ctx.fill()
    ctx.rectangle(l, b - 1, r - l + 1, 1)
    ctx.set_source_rgba(*ACCENT[:3], 0.7)
    ctx.fill()
    # Word mark and maker.
    draw_label(ctx, labels, 'header', 'TARVOLIN', 22, 36, family=LIGHT, size=27, bold=False,
               colour=rgb('f3f1ec'), align='left', spacing=5.5)
    set_font(ctx, LIGHT, 27)
    mark_w = text_width(ctx, 'TARVOLIN', 5.5)
    x = 22 + mark_w + 16
    ctx.rectangle(x, 15, 1, 22)
    ctx.set_source_rgba(*SMALL[:3], 0.5)
    ctx.fill()
    draw_label(ctx, labels, 'header', 'WAVE-TABLE SYNTHESIZER', x + 14, 31, size=9, colour=SMALL,
               align='left', spacing=2.0)
    # The version label is drawn by its control; the maker sits beside it.
    version = next((c for c in layout.controls if c.cls == 'ITextControl'), None)
    right = version.rect[2] if version else r - 20
    draw_label(ctx, labels, 'header', 'STONEMOOR MUSIC', right, 43, size=9.5, colour=ACCENT,
               align='right', spacing=2.2)
    # Emblem: a stack of waves, one table of many shapes.
    ex, ey = right + 14, 10
    for k in range(5):
        y = ey + 5 + k * 6
        ctx.move_to(ex, y)
        for j in range(1, 41):
            px = ex + j
            shape = 0.2 + 0.2 * k
            s = math.sin(2 * math.pi * j / 40)
            v = (1 - shape) * s + shape * (2 * ((j / 40) % 1) - 1) * 0.9
            ctx.line_to(px, y - 4 * v)
        ctx.set_line_width(1.2)
        ctx.set_source_rgba(*(ACCENT if k == 2 else SMALL)[:3], 0.95 if k == 2 else 0.55)
        ctx.stroke()


def draw_scale(ctx, labels, c, layout):
    l, t, r, b = c.rect
    if any(o.rect == c.rect for o in layout.controls[:c.number - 1]):
        return  # a knob stacked on an earlier one shares its marks
    cx, cy = (l + r) / 2, (t + b) / 2
    owner = c.number
    if c.steps or c.glyphs:
        n = c.bitmap.frames
        for i in range(n):
            a = step_angle(i, n)
            x0, y0 = polar(cx, cy, a, 13.5)
            x1, y1 = polar(cx, cy, a, 17.0)
            ctx.move_to(x0, y0)
            ctx.line_to(x1, y1)
            ctx.set_line_width(1.3)
            ctx.set_source_rgba(*MARK_STRONG)
            ctx.stroke()
            px, py = polar(cx, cy, a, STEP_LABEL_RADIUS)
            if c.steps:
                draw_label(ctx, labels, owner, c.steps[i], px, py + 3.2, size=SMALL_SIZE + 0.5,
                           colour=SMALL)
            else:
                draw_glyph(ctx, labels, owner, c.glyphs[i], px, py)
        return
    scale = c.scale or 'uni'
    ticks = 13 if scale == 'semi' else 11
    centre_strong = scale in ('bi', 'pan', 'semi', 'level', 'mix')
    for i in range(ticks):
        a = -KNOB_SWEEP + 2 * KNOB_SWEEP * i / (ticks - 1)
        strong = i in (0, ticks - 1) or (centre_strong and i == ticks // 2)
        x0, y0 = polar(cx, cy, a, TICK_IN if not strong else TICK_IN - 0.5)
        x1, y1 = polar(cx, cy, a, TICK_OUT + (0.5 if strong else 0))
        ctx.move_to(x0, y0)
        ctx.line_to(x1, y1)
        ctx.set_line_width(1.3 if strong else 1.0)
        ctx.set_source_rgba(*(MARK_STRONG if strong else MARK))
        ctx.stroke()
    ends = {'uni': ('0', '10'), 'level': ('0', '10'), 'bi': ('\u2212', '+'), 'pan': ('L', 'R'),
            'semi': ('\u221212', '+12'), 'mix': ('DRY', 'WET'), 'phase': ('0\u00b0', '360\u00b0')}[scale]
    for side, text in zip((-1, 1), ends):
        # Beside the outer end of the first and last tick, clear of the ticks themselves.
        px, py = polar(cx, cy, side * KNOB_SWEEP, TICK_OUT + 0.5)
        size = SMALL_SIZE if len(text) < 3 else SMALL_SIZE - 0.5
        draw_label(ctx, labels, owner, text, px + side * 2.0, py + 4.0, size=size, colour=SMALL,
                   align='right' if side < 0 else 'left')


def draw_glyph(ctx, labels, owner, glyph, cx, cy):
    w, h = 11.0, 7.0
    l, t = cx - w / 2, cy - h / 2
    if glyph == 'sine':
        pts = [(l + w * j / 24, cy - h / 2 * math.sin(2 * math.pi * j / 24)) for j in range(25)]
    elif glyph == 'triangle':
        pts = [(l, cy), (l + w / 4, t), (l + 3 * w / 4, t + h), (l + w, cy)]
    elif glyph == 'sawdown':
        pts = [(l, t), (l + w * 0.8, t + h), (l + w * 0.8, t), (l + w, t + h * 0.25)]
    elif glyph == 'sawup':
        pts = [(l, t + h), (l + w * 0.8, t), (l + w * 0.8, t + h), (l + w, t + h * 0.75)]
    elif glyph == 'square':
        pts = [(l, t + h), (l, t), (l + w / 2, t), (l + w / 2, t + h), (l + w, t + h), (l + w, t)]
    else:  # sample and hold: random steps
        steps = (0.55, 0.05, 0.8, 0.3)
        pts = []
        for k, v in enumerate(steps):
            pts += [(l + w * k / len(steps), t + h * v), (l + w * (k + 1) / len(steps), t + h * v)]
    ctx.move_to(*pts[0])
    for p in pts[1:]:
        ctx.line_to(*p)
    ctx.set_line_width(1.2)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.set_source_rgba(*SMALL)
    ctx.stroke()
    labels.add((l, t, l + w, t + h), owner, glyph)


def draw_positions(ctx, labels, c):
    l, t, r, b = c.rect
    n = len(c.positions)
    if c.posat == 'right':
        slot = (b - t - 2) / n
        for i, text in enumerate(c.positions):
            y = t + 1 + slot * (i + 0.5)
            ctx.move_to(r + 1, y)
            ctx.line_to(r + 4, y)
            ctx.set_line_width(1)
            ctx.set_source_rgba(*MARK)
            ctx.stroke()
            draw_label(ctx, labels, c.number, text, r + 6, y + 3.2, size=SMALL_SIZE + 0.5, colour=SMALL,
                       align='left')
    else:
        cx = (l + r) / 2
        draw_label(ctx, labels, c.number, c.positions[0], cx, t - 3, size=SMALL_SIZE + 0.5, colour=SMALL)
        draw_label(ctx, labels, c.number, c.positions[-1], cx, b + 9, size=SMALL_SIZE + 0.5, colour=SMALL)


def caption_places(layout, labels):
    """Where each caption goes: (control, x, baseline). Captions above controls that sit at nearly
    the same height in one panel share the highest baseline, so a row reads as one line."""
    places = []
    for c in layout.controls:
        if not c.caption or c.capat in ('none', 'inside'):
            continue
        l, t, r, b = c.rect
        cx = (l + r) / 2
        if c.capat == 'below':
            places.append([c, cx, b + 11])
            continue
        # Above the control; above the upper position label of a stacked switch.
        lift = 12 if c.positions and c.posat == 'stack' else 3
        if c.positions and c.posat == 'right':
            # Over the switch and its position labels together.
            right = max(box[2] for box in labels.boxes if box[4] == c.number)
            cx = (l + right) / 2
        places.append([c, cx, t - lift])
    for place in places:
        c, _, baseline = place
        if c.capat == 'below':
            continue
        panel = panel_of(layout, c)
        row = [p[2] for p in places if p[0].capat != 'below' and panel_of(layout, p[0]) is panel
               and abs(p[2] - baseline) <= CAPTION_ROW_SNAP]
        place[2] = min(row)
    return places


def panel_of(layout, c):
    for p in layout.panels:
        if not p.within and any(inside(c.rect, r, 1) for r in p.rects):
            return p
    return None


def draw_background(layout):
    bg = layout.bitmap_by_id(101)
    surface = cairo.ImageSurface(cairo.FORMAT_ARGB32, bg.width, bg.height)
    ctx = cairo.Context(surface)
    labels = Labels()
    ctx.rectangle(0, 0, bg.width, bg.height)
    ctx.set_source(vertical_gradient(0, bg.height, CHASSIS_TOP, CHASSIS_BOTTOM))
    ctx.fill()
    panels = {p.key: p for p in layout.panels}
    for p in layout.panels:
        if p.kind == 'header':
            draw_header(ctx, layout, labels, p)
        elif not p.within:
            draw_panel(ctx, p)
    for p in layout.panels:
        if p.kind == 'header':
            continue
        if p.within:
            draw_side_tab(ctx, labels, p, panels[p.within])
        else:
            draw_title_strip(ctx, labels, p)
    for c in layout.controls:
        draw_control_background(ctx, labels, c, layout)
    for c, x, baseline in caption_places(layout, labels):
        draw_label(ctx, labels, c.number, c.caption.upper(), x, baseline, spacing=CAPTION_SPACING)
    surface.flush()
    return surface, labels


def draw_control_background(ctx, labels, c, layout):
    l, t, r, b = c.rect
    if c.cls == 'ISMKnobControl':
        draw_scale(ctx, labels, c, layout)
    elif c.cls == 'ISMSourceControl':
        rounded(ctx, l - 1, t - 1, r + 1, b + 1, 2.5)
        ctx.set_source(vertical_gradient(t - 1, b + 1, rgb('08090a'), rgb('2f343b')))
        ctx.fill()
        rounded(ctx, l, t, r, b, 2)
        ctx.set_source_rgba(*LCD)
        ctx.fill()
    elif c.cls == 'ISMWaveTableControl':
        lcd_window(ctx, l, t, r, b)
        ctx.set_line_width(1)
        for y in (t + 12, t + 44):
            ctx.move_to(l + 2, y + 0.5)
            ctx.line_to(r - 2, y + 0.5)
        for x in range(l + 2 + 24, r - 2, 24):
            ctx.move_to(x + 0.5, t + 6)
            ctx.line_to(x + 0.5, t + 50)
        ctx.set_source_rgba(*LCD_GRID)
        ctx.stroke()
        ctx.move_to(l + 2, t + 28 + 0.5)
        ctx.line_to(r - 2, t + 28 + 0.5)
        ctx.set_source_rgba(*LCD_ZERO)
        ctx.stroke()
    elif c.cls == 'ISMPresetMenu':
        nl, nt, nr, nb = c.numrect
        ml, mt, mr, mb = c.namerect
        lcd_window(ctx, nl - 1, nt - 1, mr + 1, mb)
        ctx.rectangle((nr + ml) / 2, nt, 1, nb - nt - 1)
        ctx.set_source_rgba(*rgb('2a2f36'))
        ctx.fill()
    elif c.cls == 'ISMTuningControl':
        lcd_window(ctx, l, t, r, b - 1)
    elif c.cls == 'ISMOptionMenu':
        draw_text_button(ctx, l, t, r, b, c.caption.upper())
        labels.add((l, t, r, b), c.number, c.caption)
    elif c.cls == 'ISMBitmapControl':
        # The unlit lamp under the indicator, which is only drawn while it is lit.
        cx, cy = (l + r) / 2, (t + b) / 2
        ctx.arc(cx, cy, 4.6, 0, 2 * math.pi)
        ctx.set_source(vertical_gradient(cy - 5, cy + 5, rgb('050607'), rgb('4a515b')))
        ctx.fill()
        ctx.arc(cx, cy, 3.6, 0, 2 * math.pi)
        ctx.set_source(vertical_gradient(cy - 4, cy + 4, rgb('0e2a33'), rgb('173c47')))
        ctx.fill()
    if c.positions:
        draw_positions(ctx, labels, c)


# ---- Checks of the drawn layout ---------------------------------------------------------------------


def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def inside(inner, outer, margin=0):
    return (inner[0] >= outer[0] + margin and inner[1] >= outer[1] + margin and
            inner[2] <= outer[2] - margin and inner[3] <= outer[3] - margin)


def check_layout(layout, labels):
    """Every label clear of other labels and of other controls; every control in one panel."""
    problems = []
    controls = {c.number: c for c in layout.controls}
    boxes = labels.boxes
    for i, a in enumerate(boxes):
        for b_ in boxes[i + 1:]:
            if overlaps(a[:4], b_[:4]):
                problems.append(f'label "{a[5]}" of {a[4]} overlaps label "{b_[5]}" of {b_[4]}')
        for c in layout.controls:
            owner = controls.get(a[4])
            # A control's own labels may sit in its rect (the knob's end marks), and so may those of
            # the control stacked on it; the menu button's caption is printed inside it.
            if owner is not None and owner.rect == c.rect or c.cls == 'ISMOptionMenu':
                continue
            if overlaps(a[:4], c.rect):
                problems.append(f'label "{a[5]}" of {a[4]} overlaps control {c.number}')
    for c in layout.controls:
        holders = [p for p in layout.panels if not p.within and any(inside(c.rect, r, 1) for r in p.rects)]
        if len(holders) != 1:
            problems.append(f'control {c.number} lies in {len(holders)} panels')
    for box in boxes:
        owner = box[4]
        if isinstance(owner, int):
            c = controls[owner]
            panel = next((p for p in layout.panels if not p.within and any(inside(c.rect, r, 1) for r in p.rects)),
                         None)
            if panel and not any(inside(box[:4], r, 1) for r in panel.rects):
                problems.append(f'label "{box[5]}" of control {owner} leaves its panel {panel.key}')
    # Parameter controls the musician must be able to name: a caption, or a partner that has one.
    for c in layout.controls:
        if c.param >= 0 and not c.caption and c.cls not in ('ISMSourceControl', 'ISMWaveTableControl'):
            if not c.positions and not any(o.rect == c.rect and o.caption for o in layout.controls):
                problems.append(f'control {c.number} ({c.name}) has no caption')
    return problems


# ---- Preview ----------------------------------------------------------------------------------------

SOURCE_TEXTS = ('OFF', 'ON', 'MW', 'PB', 'Note', 'MG1', 'MG2', 'Vib', 'MW+', 'PB+', 'Note+', 'Velo',
                'P-AT', 'C-AT', 'MG1+', 'MG2+', 'Vib+', 'F-EG', 'A-EG', 'EG 1', 'EG 2')


def parameter_defaults(root):
    """Normalised defaults, read from the parameter table's source (a preview aid only)."""
    path = os.path.join(root, 'src', 'engine', 'ParameterTable.cpp')
    text = open(path, encoding='utf-8').read()
    sizes = {m.group(1): len(re.findall(r'"[^"]*"', m.group(2)))
             for m in re.finditer(r'k(\w+)Text\[\]\s*=\s*\{(.*?)\};', text, re.S)}
    defaults = []
    row = re.compile(r'^\s*(?:Enum\(k\w+,\s*"[^"]*",\s*(?:labels::)?k(\w+),\s*(-?[\d.]+)\)'
                     r'|\{k\w+,\s*"[^"]*",\s*[DI],\s*(-?[\d.]+),\s*(-?[\d.]+),\s*(-?[\d.]+),\s*[\d.]+,\s*([\d.]+),)',
                     re.M)
    for m in row.finditer(text):
        if m.group(1):
            n = sizes[m.group(1)]
            defaults.append(float(m.group(2)) / (n - 1))
        else:
            lo, hi, d, shape = (float(m.group(k)) for k in (3, 4, 5, 6))
            defaults.append(((d - lo) / (hi - lo)) ** (1 / shape))
    if len(defaults) < 138:
        raise SystemExit(f'make_artwork: found {len(defaults)} parameter defaults in {path}, expected 138')
    return defaults


def preview(layout, strips, background, out, hover=None, leds=False):
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
    defaults = parameter_defaults(root)
    surface = cairo.ImageSurface(cairo.FORMAT_ARGB32, layout.width, layout.height)
    ctx = cairo.Context(surface)
    ctx.set_source_surface(background, 0, 0)
    ctx.paint()
    hidden = set()
    for frequency, sync, switch in ((121, 124, 123), (127, 130, 129), (133, 135, 134)):
        hidden.add(sync if defaults[switch] < 0.5 else frequency)

    def blit(bitmap, rect, frame):
        w, h = bitmap.frame_size
        ctx.save()
        ctx.rectangle(rect[0], rect[1], w, h)
        ctx.clip()
        ctx.set_source_surface(strips[bitmap.id], rect[0], rect[1] - frame * h)
        ctx.paint()
        ctx.restore()

    def text(rect, s, family, size, colour, align='centre'):
        set_font(ctx, family, size)
        w = text_width(ctx, s)
        l, t, r, b = rect
        x = {'centre': (l + r - w) / 2, 'left': l, 'right': r - w}[align]
        ctx.set_source_rgba(*colour)
        show_text(ctx, x, (t + b) / 2 + size * 0.36, s)

    for c in layout.controls:
        if c.param in hidden:
            continue
        v = defaults[c.param] if 0 <= c.param < len(defaults) else 0.0
        b = c.bitmap
        if c.cls == 'ISMKnobControl':
            i = int((b.frames - 1) * v + 0.5)
            blit(b, c.rect, min(b.frames - 1, max(i, 0)))
            if c.param == hover and c.gearing > 1:
                rounded(ctx, c.rect[0] + 4, c.rect[1] + 12, c.rect[2] - 4, c.rect[3] - 12, 2)
                ctx.set_source_rgba(64 / 255, 64 / 255, 64 / 255, 160 / 255)
                ctx.fill()
                text((c.rect[0] + 4, c.rect[1] + 12, c.rect[2] - 4, c.rect[3] - 12), f'{v:.2f}', PLAIN, 10.5,
                     (64 / 255, 1, 64 / 255, 1))
        elif c.cls in ('ISMSwitchControl', 'ISMVoicesControl'):
            blit(b, c.rect, min(b.frames - 1, int((b.frames - 1) * v + 0.5)))
        elif c.cls == 'ISMButtonKick':
            lit = (defaults[3] < 0.5) if c.param == -170 else (defaults[3] >= 0.5) if c.param == -171 else v >= 0.5
            blit(c.bitmaps[1] if lit else c.bitmaps[0], c.rect, 0)
        elif c.cls in ('ISMUtilityKick', 'ISMSwitchMidiLearn'):
            blit(b, c.rect, 0)
        elif c.cls == 'ISMBitmapControl':
            if leds and c.param != -174:
                blit(b, c.rect, 0)
        elif c.cls == 'ISMSourceControl':
            k = int(round(v * 20))
            dim = c.dim and k == 0
            colour = (160 / 255, 128 / 255, 96 / 255, 128 / 255) if dim else (1, 128 / 255, 0, 192 / 255)
            text(c.rect, SOURCE_TEXTS[k], PLAIN, 10.5, colour)
        elif c.cls == 'ISMPresetMenu':
            text(c.numrect, '00', PLAIN, 13, (1, 1, 1, 160 / 255))
            text(c.namerect, 'Init', PLAIN, 13, (1, 1, 1, 160 / 255))
        elif c.cls == 'ISMTuningControl':
            text(c.rect, 'Equal Temperament', PLAIN, 10, (1, 128 / 255, 0, 192 / 255))
        elif c.cls == 'ITextControl':
            s = c.style
            text(c.rect, c.text.replace('N', '0'), PLAIN, s.size * 0.9,
                 (s.r / 255, s.g / 255, s.b / 255, s.a / 255), ('left', 'centre', 'right')[s.align])
        elif c.cls == 'ISMWaveTableControl':
            osc_on = defaults[{11: 10, 30: 29, 50: 49}[c.param]] >= 0.5
            colour = (64 / 255, 212 / 255, 1, 192 / 255) if osc_on else (144 / 255, 128 / 255, 112 / 255, 0.75)
            l, t = c.rect[0], c.rect[1]
            ctx.set_line_width(1)
            for j in range(97):
                # The default table is a saw: its first wave, from phase 0.
                val = 1 - 2 * ((j / 97 + 0.5) % 1.0)
                x, y = l + j + 2, t + 28 - 16 * val
                (ctx.move_to if j == 0 else ctx.line_to)(x, y)
            ctx.set_source_rgba(*colour)
            ctx.stroke()
            text((c.rect[0] + 4, c.rect[3] - 14, c.rect[2] - 4, c.rect[3] - 2), 'Saw', PLAIN, 10, colour)
            text((c.rect[2] - 20, c.rect[1], c.rect[2] - 2, c.rect[1] + 12), '1', PLAIN, 10, colour)
    surface.flush()
    surface.write_to_png(out)


# ---- Main -------------------------------------------------------------------------------------------


def build(layout):
    strips = {}
    for b in layout.bitmaps:
        if b.id == 101:
            continue
        painter = STRIP_PAINTERS.get(b.key)
        if painter is None:
            raise SystemExit(f'make_artwork: no drawing for {b.file}')
        strips[b.id] = draw_strip(b, painter)
    background, labels = draw_background(layout)
    strips[101] = background
    return strips, labels


def main(argv):
    args = argv[1:]
    # An option where the output folder goes (--help) is a question, not a folder to fill.
    if args and args[0].startswith('-') and args[0] not in ('--preview', '--layout'):
        print(__doc__, file=sys.stderr if args[0] not in ('-h', '--help') else sys.stdout)
        return 0 if args[0] in ('-h', '--help') else 2
    layout_path = editor_layout.DEFAULT_PATH
    if '--layout' in args:
        k = args.index('--layout')
        layout_path = args[k + 1]
        del args[k:k + 2]
    try:
        layout = editor_layout.load(layout_path)
    except (OSError, editor_layout.LayoutError) as e:
        print(f'make_artwork: {e}', file=sys.stderr)
        return 1
    strips, labels = build(layout)
    problems = check_layout(layout, labels)
    for p in problems:
        print(f'make_artwork: {p}', file=sys.stderr)
    # A preview is drawn anyway, to look at the problem; the build's artwork is not.
    if args and args[0] == '--preview':
        if len(args) < 2:
            print(__doc__, file=sys.stderr)
            return 2
        hover = None
        if '--hover' in args:
            hover = int(args[args.index('--hover') + 1])
        preview(layout, strips, strips[101], args[1], hover, '--leds' in args)
        return 0
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    if problems:
        return 1
    out = args[0]
    os.makedirs(out, exist_ok=True)
    for id_, surface in sorted(strips.items()):
        surface.write_to_png(os.path.join(out, f'{id_}.png'))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
