"""Reads the editor's layout file (resources/editor/EditorLayout.txt).

Standard library only: the C++ table generator runs with any python3, the artwork generator with
the one that has cairo. Both read the file through this module, so they agree on every row.
"""

import os
import shlex
from dataclasses import dataclass, field

DEFAULT_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'resources',
                            'editor', 'EditorLayout.txt')

CLASSES = (
    'IBitmapControl', 'ISwitchControl', 'IContactControl', 'IKnobControl', 'IKnobMultiControl',
    'ITextControl', 'ISMBitmapControl', 'ISMSwitchControl', 'ISMSwitchMidiLearn', 'ISMButtonKick',
    'ISMUtilityKick', 'ISMKnobControl', 'ISMVoicesControl', 'ISMSourceControl', 'ISMOptionMenu',
    'ISMPresetMenu', 'ISMTuningControl', 'ISMWaveTableControl',
)

ROW_KEYS = {'name', 'what', 'gearing', 'numrect', 'namerect', 'text', 'style', 'caption', 'capat',
            'scale', 'steps', 'glyphs', 'positions', 'posat'}
ROW_FLAGS = {'dim'}
PANEL_KEYS = {'kind', 'tab', 'within', 'led'}
SCALES = {'uni', 'bi', 'pan', 'semi', 'level', 'mix', 'phase'}
GLYPHS = {'sine', 'triangle', 'sawdown', 'sawup', 'square', 'samplehold'}


class LayoutError(Exception):
    pass


@dataclass
class Bitmap:
    id: int
    file: str
    width: int
    height: int
    frames: int
    preload: bool

    @property
    def key(self):
        return self.file[:-4] if self.file.lower().endswith('.png') else self.file

    @property
    def frame_size(self):
        return self.width, self.height // self.frames


@dataclass
class Panel:
    key: str
    title: str
    rects: list
    kind: str = 'panel'
    tab: str = 'top'
    within: str = ''
    led: int = -1


@dataclass
class TextStyle:
    face: str
    size: int
    a: int
    r: int
    g: int
    b: int
    style: int
    align: int


@dataclass
class Control:
    number: int
    param: int
    cls: str
    bitmaps: list            # Bitmap objects: none, one, or off/on for two-bitmap buttons
    args: list
    rect: tuple
    line: int
    name: str = ''
    what: str = ''
    gearing: float = 0.0
    dim: bool = False
    numrect: tuple = None
    namerect: tuple = None
    text: str = ''
    style: TextStyle = None
    caption: str = ''
    capat: str = 'above'
    scale: str = ''
    steps: list = field(default_factory=list)
    glyphs: list = field(default_factory=list)
    positions: list = field(default_factory=list)
    posat: str = 'stack'

    @property
    def bitmap(self):
        return self.bitmaps[0] if self.bitmaps else None


@dataclass
class Layout:
    width: int = 0
    height: int = 0
    fps: int = 0
    bitmaps: list = field(default_factory=list)
    panels: list = field(default_factory=list)
    controls: list = field(default_factory=list)

    def bitmap_by_key(self, key):
        for b in self.bitmaps:
            if b.key == key:
                return b
        return None

    def bitmap_by_id(self, id_):
        for b in self.bitmaps:
            if b.id == id_:
                return b
        return None


def _ints(text, count, where):
    try:
        values = [int(v) for v in text.split(',')]
    except ValueError:
        raise LayoutError(f'{where}: "{text}" is not a list of integers') from None
    if count is not None and len(values) != count:
        raise LayoutError(f'{where}: "{text}" needs {count} values')
    return values


def _rect(text, where):
    l, t, r, b = _ints(text, 4, where)
    if r <= l or b <= t:
        raise LayoutError(f'{where}: rect {text} is empty')
    return (l, t, r, b)


def _split_extras(words, where, keys, flags=()):
    extras = {}
    for word in words:
        if '=' in word:
            k, v = word.split('=', 1)
            if k not in keys:
                raise LayoutError(f'{where}: unknown key "{k}"')
            extras[k] = v
        elif word in flags:
            extras[word] = True
        else:
            raise LayoutError(f'{where}: unexpected "{word}"')
    return extras


def _style(text, where):
    parts = text.split(',')
    if len(parts) != 8:
        raise LayoutError(f'{where}: a style has face, size, A, R, G, B, style and align')
    try:
        numbers = [int(p) for p in parts[1:]]
    except ValueError:
        raise LayoutError(f'{where}: style "{text}" has a field that is not a number') from None
    if not parts[0] or len(parts[0]) >= 32:
        raise LayoutError(f'{where}: a face name has 1 to 31 characters')
    return TextStyle(parts[0], *numbers)


def parse(text, path='<layout>'):
    layout = Layout()
    for lineno, raw in enumerate(text.splitlines(), 1):
        where = f'{path}:{lineno}'
        try:
            words = shlex.split(raw, comments=True)
        except ValueError as e:
            raise LayoutError(f'{where}: {e}') from None
        if not words:
            continue
        head = words[0]
        if head == 'window':
            if len(words) != 4:
                raise LayoutError(f'{where}: window WIDTH HEIGHT FPS')
            layout.width, layout.height, layout.fps = (int(w) for w in words[1:])
        elif head == 'bitmap':
            if len(words) not in (6, 7) or (len(words) == 7 and words[6] != 'preload'):
                raise LayoutError(f'{where}: bitmap ID FILE WIDTH HEIGHT FRAMES [preload]')
            b = Bitmap(int(words[1]), words[2], int(words[3]), int(words[4]), int(words[5]),
                       len(words) == 7)
            if b.frames < 1 or b.height % b.frames:
                raise LayoutError(f'{where}: {b.file} does not split into {b.frames} frames')
            if layout.bitmap_by_id(b.id) or layout.bitmap_by_key(b.key):
                raise LayoutError(f'{where}: bitmap {b.id} {b.file} listed twice')
            layout.bitmaps.append(b)
        elif head == 'panel':
            if len(words) < 4:
                raise LayoutError(f'{where}: panel KEY "TITLE" RECT ...')
            rects = []
            rest = words[3:]
            while rest and '=' not in rest[0]:
                rects.append(_rect(rest.pop(0), where))
            extras = _split_extras(rest, where, PANEL_KEYS)
            p = Panel(words[1], words[2], rects)
            p.kind = extras.get('kind', 'panel')
            p.tab = extras.get('tab', 'top')
            p.within = extras.get('within', '')
            p.led = int(extras.get('led', -1))
            if not rects:
                raise LayoutError(f'{where}: panel {p.key} has no rect')
            layout.panels.append(p)
        elif head.isdigit():
            layout.controls.append(_control(words, where, lineno, layout))
        else:
            raise LayoutError(f'{where}: unknown line "{head}"')
    _check(layout, path)
    return layout


def _control(words, where, lineno, layout):
    if len(words) < 6:
        raise LayoutError(f'{where}: NUM PARAM CLASS BITMAP ARGS RECT [extras]')
    number, param = int(words[0]), int(words[1])
    cls = words[2]
    if cls not in CLASSES:
        raise LayoutError(f'{where}: unknown class "{cls}"')
    bitmaps = []
    if words[3] != '-':
        for key in words[3].split('/'):
            b = layout.bitmap_by_key(key)
            if b is None:
                raise LayoutError(f'{where}: unknown bitmap "{key}"')
            bitmaps.append(b)
    args = [] if words[4] == '-' else _ints(words[4], None, where)
    c = Control(number, param, cls, bitmaps, args, _rect(words[5], where), lineno)
    extras = _split_extras(words[6:], where, ROW_KEYS, ROW_FLAGS)
    c.name = extras.get('name', '')
    c.what = extras.get('what', '')
    c.gearing = float(extras.get('gearing', 0))
    c.dim = extras.get('dim', False)
    if 'numrect' in extras:
        c.numrect = _rect(extras['numrect'], where)
    if 'namerect' in extras:
        c.namerect = _rect(extras['namerect'], where)
    c.text = extras.get('text', '')
    if 'style' in extras:
        c.style = _style(extras['style'], where)
    c.caption = extras.get('caption', '')
    c.capat = extras.get('capat', 'above')
    c.scale = extras.get('scale', '')
    c.steps = extras['steps'].split(';') if 'steps' in extras else []
    c.glyphs = extras['glyphs'].split(',') if 'glyphs' in extras else []
    c.positions = extras['positions'].split(';') if 'positions' in extras else []
    c.posat = extras.get('posat', 'stack')
    if c.capat not in ('above', 'below', 'inside', 'none'):
        raise LayoutError(f'{where}: capat is above, below, inside or none')
    if c.posat not in ('stack', 'right'):
        raise LayoutError(f'{where}: posat is stack or right')
    if c.scale and c.scale not in SCALES:
        raise LayoutError(f'{where}: unknown scale "{c.scale}"')
    for g in c.glyphs:
        if g not in GLYPHS:
            raise LayoutError(f'{where}: unknown glyph "{g}"')
    if (param >= 0) != bool(c.name) or (param < 0 and not c.what):
        raise LayoutError(f'{where}: a parameter row gives name="...", an id row what="..."')
    return c


def _check(layout, path):
    if not (layout.width and layout.height and layout.fps):
        raise LayoutError(f'{path}: no window line')
    for i, c in enumerate(layout.controls, 1):
        if c.number != i:
            raise LayoutError(f'{path}:{c.line}: control {c.number} where {i} was expected')
        n = c.bitmap.frames if c.bitmap else 0
        if c.steps and len(c.steps) != n:
            raise LayoutError(f'{path}:{c.line}: {len(c.steps)} step labels for {n} frames')
        if c.glyphs and len(c.glyphs) != n:
            raise LayoutError(f'{path}:{c.line}: {len(c.glyphs)} glyphs for {n} frames')
        if c.positions and len(c.positions) != n:
            raise LayoutError(f'{path}:{c.line}: {len(c.positions)} positions for {n} frames')
    keys = [p.key for p in layout.panels]
    for p in layout.panels:
        if p.within and p.within not in keys:
            raise LayoutError(f'{path}: panel {p.key} lies within unknown panel {p.within}')


def load(path=DEFAULT_PATH):
    with open(path, encoding='utf-8') as f:
        return parse(f.read(), path)
