#!/usr/bin/env python3
"""Generates the wave sets the resynthesis tables and the two DW tables are built from.

Each set is written as raw signed 16-bit little-endian samples, 2048 samples per single-cycle wave,
without a header, to OUTDIR/<resource name>.raw. The output is fully determined by this file: noise
comes from random generators started at fixed points, nothing is read from outside.

Most sets are designed as spectra (harmonic k of the wave = amplitude and phase) and turned into
waves with an inverse FFT; a few are drawn in the time domain. Every wave has its DC removed and is
scaled to a peak of 0.9 of full scale (the synthesizer normalises each wave again when it builds its
band-limited levels, so only the shape matters).

Formant-based sets are voiced at a nominal C3 (130.81 Hz): a formant at F Hz sits at harmonic
F / 130.81, and moves with the played pitch as a wave table's spectrum does.

Usage: generate_wavesets.py OUTDIR
"""

import cmath
import math
import os
import random
import struct
import sys

N = 2048
HALF = N // 2
F0 = 130.81  # nominal pitch of the voice-like sets
TWO_PI = 2.0 * math.pi

# --------------------------------------------------------------------------------------------
# Transform and output helpers
# --------------------------------------------------------------------------------------------

_TWIDDLE = [cmath.exp(2j * math.pi * m / N) for m in range(N // 2)]
_BITREV = []
_bits = N.bit_length() - 1
for _i in range(N):
    _BITREV.append(int(format(_i, "0%db" % _bits)[::-1], 2))


def inverse_fft(spectrum):
    """x[n] = sum_k X[k] exp(+2 pi i k n / N), radix-2, for a full complex spectrum of N bins."""
    a = [spectrum[_BITREV[i]] for i in range(N)]
    length = 2
    while length <= N:
        half = length // 2
        step = N // length
        tw = [_TWIDDLE[m * step] for m in range(half)]
        for start in range(0, N, length):
            for m in range(half):
                u = a[start + m]
                v = a[start + m + half] * tw[m]
                a[start + m] = u + v
                a[start + m + half] = u - v
        length *= 2
    return a


def wave_from_harmonics(harmonics):
    """harmonics: dict k -> (amplitude, phase); the wave is sum a_k sin(k theta + phase_k)."""
    spectrum = [0j] * N
    for k, (amplitude, phase) in harmonics.items():
        if 1 <= k < HALF and amplitude != 0.0:
            # sin(x) = (e^{ix} - e^{-ix}) / 2i
            c = amplitude / 2.0 * cmath.exp(1j * (phase - math.pi / 2.0))
            spectrum[k] += c
            spectrum[N - k] += c.conjugate()
    return [v.real for v in inverse_fft(spectrum)]


def finish(wave):
    """Removes DC and scales to a peak of 0.9."""
    mean = sum(wave) / len(wave)
    wave = [v - mean for v in wave]
    peak = max(abs(v) for v in wave)
    if peak <= 1e-12:
        return [0.0] * len(wave)
    return [0.9 * v / peak for v in wave]


def to_bytes(waves):
    out = bytearray()
    for wave in waves:
        wave = finish(wave)
        out += struct.pack("<%dh" % len(wave), *[int(round(v * 32767.0)) for v in wave])
    return bytes(out)


def lerp(a, b, t):
    return a + (b - a) * t


# --------------------------------------------------------------------------------------------
# Spectral building blocks
# --------------------------------------------------------------------------------------------

def resonance(f, centre, bandwidth):
    """Two-pole resonator (unity gain at DC) evaluated at frequency f, as a complex gain."""
    r = f / centre
    return 1.0 / complex(1.0 - r * r, f * bandwidth / (centre * centre))


def formant_cascade(f, formants):
    """A vocal tract as a cascade of resonators; formants: list of (centre Hz, bandwidth Hz)."""
    h = 1 + 0j
    for centre, bandwidth in formants:
        h *= resonance(f, centre, bandwidth)
    return h


def band_gain(f, low, high, slope=1.5):
    """Smooth band-pass weighting, 1 inside low...high, falling off outside (in octaves)."""
    if f < low:
        return math.exp(-slope * math.log2(low / f) ** 2 * 4.0)
    if f > high:
        return math.exp(-slope * math.log2(f / high) ** 2 * 4.0)
    return 1.0


def voiced_harmonics(formants, kmax, gain=1.0, tilt=1.0):
    """A glottal source (1/k^tilt after lip radiation) through the formant cascade."""
    harmonics = {}
    for k in range(1, kmax + 1):
        h = formant_cascade(k * F0, formants) * gain / k ** tilt
        harmonics[k] = (abs(h), cmath.phase(h))
    return harmonics


def noise_harmonics(rng, envelope, kmax, gain=1.0):
    """A noise-like single cycle: Rayleigh amplitudes and random phases under a spectral envelope."""
    harmonics = {}
    for k in range(1, kmax + 1):
        amplitude = envelope(k * F0) * gain * math.sqrt(-2.0 * math.log(1.0 - rng.random()))
        harmonics[k] = (amplitude, TWO_PI * rng.random())
    return harmonics


def mix(*parts):
    """Sums harmonic dicts as complex components."""
    total = {}
    for part in parts:
        for k, (a, p) in part.items():
            total[k] = total.get(k, 0j) + a * cmath.exp(1j * p)
    return {k: (abs(c), cmath.phase(c)) for k, c in total.items()}


def fixed_phases(start, kmax):
    rng = random.Random(start)
    return [0.0] + [TWO_PI * rng.random() for _ in range(kmax)]


# --------------------------------------------------------------------------------------------
# The sets
# --------------------------------------------------------------------------------------------

def acoustic_piano():
    """"Acoustic Piano": a struck string resynthesised over its decay, 33 waves.

    The hammer strikes at 1/8 of the string, which thins out every eighth harmonic; the felt
    rounds off the top (a gentle low-pass from harmonic 12). Higher partials die away faster
    (decay rate growing with k^1.3), so the tone darkens from a bright attack to a nearly pure
    fundamental. The three strings of a note beat slightly (a slow ripple on each partial), and the
    stiffness of the string lets upper partials drift in phase against the fundamental.
    """
    kmax = 64
    phases = fixed_phases(2201, kmax)
    waves = []
    for w in range(33):
        t = w / 32.0
        harmonics = {}
        for k in range(1, kmax + 1):
            strike = abs(math.sin(math.pi * k / 8.0)) + 0.04
            felt = 1.0 / math.sqrt(1.0 + (k / 12.0) ** 2)
            decay = math.exp(-t * (0.4 + 0.22 * k ** 1.3))
            beat = 1.0 + 0.12 * math.sin(TWO_PI * t * (0.7 + 0.05 * k) + k)
            stretch = TWO_PI * 0.0004 * k ** 3 * t
            harmonics[k] = (strike * felt * decay * beat / k ** 0.8, phases[k] + stretch)
        waves.append(wave_from_harmonics(harmonics))
    return waves


def pianet():
    """"Pianet": an electric-piano reed plucked by a sticky pad, 33 waves.

    A strong fundamental with a second and third harmonic from the pickup; the reed's own bending
    modes near the 6th/7th harmonic and a cluster of high partials (13-24) give the bright "tock"
    of the attack and fade fastest. Across the waves the tone settles to a round, nearly sinusoidal
    sustain.
    """
    waves = []
    phases = fixed_phases(2301, 32)
    for w in range(33):
        t = w / 32.0
        harmonics = {
            1: (1.0, 0.0),
            2: (0.55 * math.exp(-1.2 * t), phases[2]),
            3: (0.28 * math.exp(-2.0 * t), phases[3]),
            4: (0.12 * math.exp(-3.5 * t), phases[4]),
            5: (0.08 * math.exp(-4.0 * t), phases[5]),
            6: (0.38 * math.exp(-6.0 * t), phases[6]),
            7: (0.32 * math.exp(-7.0 * t), phases[7]),
        }
        for k in range(13, 25):
            harmonics[k] = (0.9 / k * math.exp(-14.0 * t), phases[k])
        waves.append(wave_from_harmonics(harmonics))
    return waves


def slap(kmax, pluck, exponent, clank_centre, clank_width, clank_gain, decay_base, decay_slope,
         scoop, start):
    phases = fixed_phases(start, kmax)
    waves = []
    for w in range(33):
        t = w / 32.0
        harmonics = {}
        for k in range(1, kmax + 1):
            a = (abs(math.sin(math.pi * k * pluck)) + 0.03) / k ** exponent
            a *= 1.0 + clank_gain * math.exp(-((k - clank_centre) / clank_width) ** 2) * math.exp(-10.0 * t)
            a *= 1.0 - scoop * math.exp(-((k - 12.0) / 5.0) ** 2)
            a *= math.exp(-t * (decay_base + decay_slope * k ** 1.1))
            harmonics[k] = (a, phases[k] * min(1.0, 0.25 + k / 8.0))
        waves.append(wave_from_harmonics(harmonics))
    return waves


def slap_low():
    """"Slap Low": a low bass string slapped with the thumb, 33 waves (nominal low E).

    The thumb hits near the end of the neck (pluck position 0.12), driving the string onto the
    frets: a burst of metallic partials around harmonics 35-65 (1.5-3 kHz) that dies within the
    first waves, the scooped low-mids of the slap tone, and a deep fundamental that rings on while
    the rest decays.
    """
    return slap(kmax=160, pluck=0.12, exponent=0.8, clank_centre=50.0, clank_width=18.0,
                clank_gain=3.0, decay_base=0.3, decay_slope=0.06, scoop=0.5, start=2401)


def slap_high():
    """"Slap High": a high string popped against the frets, 33 waves (nominal G).

    Pulled close to the bridge (pluck position 0.07) and snapped back: a brighter, more nasal
    spectrum with a strong presence band around harmonics 15-30 (2-3 kHz) on the attack, decaying
    faster than the low string towards a plucked, hollow tone.
    """
    return slap(kmax=64, pluck=0.07, exponent=0.6, clank_centre=22.0, clank_width=8.0,
                clank_gain=4.0, decay_base=0.4, decay_slope=0.12, scoop=0.2, start=2501)


def re_pwm():
    """"Re-PWM": a pulse whose width sweeps from 50 % (square) down to 3 %, 33 waves.

    The width falls exponentially, so the sweep sounds even to the ear; the edges are drawn with
    their exact area inside the sample, so neighbouring waves differ smoothly.
    """
    waves = []
    for w in range(33):
        width = 0.5 * (0.06 ** (w / 32.0)) * N
        wave = []
        for i in range(N):
            # coverage of [i, i+1) by the high part [0, width)
            high = min(max(width - i, 0.0), 1.0)
            wave.append(2.0 * high - 1.0)
        waves.append(wave)
    return waves


def filter_sweep(source, q_main, q_second, k_low, k_high, kmax):
    """A source spectrum through a 24 dB resonant low-pass whose cutoff rises across 33 waves."""
    waves = []
    for w in range(33):
        cutoff = k_low * (k_high / k_low) ** (w / 32.0)
        harmonics = {}
        for k in range(1, kmax + 1):
            a, p = source(k)
            r = k / cutoff
            h = 1.0 / complex(1.0 - r * r, r / q_main) / complex(1.0 - r * r, r / q_second)
            harmonics[k] = (a * abs(h), p + cmath.phase(h))
        waves.append(wave_from_harmonics(harmonics))
    return waves


def resonance_saw():
    """"Resonance 1": a sawtooth through a resonant 24 dB low-pass (Q 10), cutoff sweeping from
    harmonic 1.5 to 96 across 33 waves: the classic squelchy filter sweep, frozen wave by wave."""
    return filter_sweep(lambda k: (1.0 / k, 0.0), 10.0, 0.7, 1.5, 96.0, 400)


def resonance_pulse():
    """"Resonance 2": a 25 % pulse through a sharper resonant low-pass (Q 14), cutoff sweeping from
    harmonic 2 to 128: hollower and more nasal than the saw sweep, with the pulse's missing
    harmonics (every fourth) showing as gaps the resonance jumps over."""
    def pulse(k):
        return (abs(math.sin(math.pi * k * 0.25)) / k, 0.0 if math.sin(math.pi * k * 0.25) >= 0 else math.pi)
    return filter_sweep(pulse, 14.0, 0.7, 2.0, 128.0, 500)


def fm_cross():
    """"MP4 Cross Modulation": two operators modulating each other, 33 waves.

    A modulator at four times the carrier frequency is itself phase-modulated by the carrier
    (index 0 -> 3), and modulates the carrier in turn (index 0 -> 5): from a pure sine through
    bell and electric-piano spectra to a dense, metallic cross-modulation.
    """
    waves = []
    for w in range(33):
        t = w / 32.0
        outer = 5.0 * t ** 1.3
        inner = 3.0 * t ** 1.6
        wave = []
        for i in range(N):
            theta = TWO_PI * i / N
            modulator = math.sin(4.0 * theta + inner * math.sin(theta))
            wave.append(math.sin(theta + outer * modulator))
        waves.append(wave)
    return waves


def formant_shift():
    """"Formant Shift": a bright buzz through three band-pass formants that move up together
    (F1 from harmonic 2 to 40, F2 = 2.6 F1, F3 = 4.2 F1, each with Q 5), 33 waves: a vowel-like
    resonance sliding from a dark "oo" to a thin, nasal squeal."""
    waves = []
    for w in range(33):
        f1 = 2.0 * (20.0 ** (w / 32.0))
        centres = [(f1, 1.0), (2.6 * f1, 0.6), (4.2 * f1, 0.35)]
        harmonics = {}
        for k in range(1, 321):
            h = 0j
            for centre, gain in centres:
                bandwidth = centre / 5.0
                r = k / centre
                h += gain * complex(0.0, k * bandwidth / (centre * centre)) / complex(1.0 - r * r, k * bandwidth / (centre * centre))
            h /= k ** 0.5
            harmonics[k] = (abs(h), cmath.phase(h))
        waves.append(wave_from_harmonics(harmonics))
    return waves


# Vowel formants (centre Hz, bandwidth Hz) of a male voice.
VOWEL_A = [(730, 90), (1090, 110), (2440, 170), (3400, 250), (4100, 300)]
VOWEL_O = [(450, 70), (800, 80), (2600, 160), (3400, 250), (4100, 300)]
VOWEL_E = [(400, 60), (2080, 100), (2700, 170), (3500, 250), (4100, 300)]
VOWEL_I = [(280, 60), (2250, 100), (2900, 170), (3600, 250), (4200, 300)]
VOWEL_EH = [(530, 70), (1840, 100), (2480, 160), (3400, 250), (4100, 300)]


def a_o_e():
    """"A-O-E": three sung vowels, "ah", "oh" and "eh" (as in German "See"), 3 waves.

    A glottal source (falling 6 dB per octave after lip radiation) through a cascade of five
    formant resonators per vowel: A 730/1090/2440 Hz, O 450/800/2600 Hz, E 400/2080/2700 Hz, with
    the fourth and fifth formants shared.
    """
    return [wave_from_harmonics(voiced_harmonics(v, 70)) for v in (VOWEL_A, VOWEL_O, VOWEL_E)]


def geesh():
    """"Geesh": the word "geesh" as a sequence of noisy spectra, 33 waves.

    Waves 0-2 are the velar burst of "g" (noise packed around 1.5-3 kHz over a weak voicing bar),
    waves 3-13 the vowel "ee" (F1 280, F2 2250, F3 2900 Hz) with breath noise, its formants
    gliding out of the velar pinch, and waves 14-32 the long "sh": noise from 2 to 7 kHz peaking
    near 2.8 kHz, the voicing gone by wave 17. Every wave draws fresh noise.
    """
    rng = random.Random(3201)
    waves = []
    for w in range(33):
        if w <= 2:
            part = mix(noise_harmonics(rng, lambda f: band_gain(f, 1500, 3000), 60, 1.0),
                       voiced_harmonics(VOWEL_I, 60, 0.05))
        elif w <= 13:
            t = (w - 3) / 10.0
            formants = [(lerp(400, 280, t), 60), (lerp(2000, 2250, t), 100), (lerp(2300, 2900, t), 170),
                        (3600, 250), (4200, 300)]
            part = mix(voiced_harmonics(formants, 60),
                       noise_harmonics(rng, lambda f: 0.004 * band_gain(f, 2000, 4000), 60))
        else:
            voicing = max(0.0, 1.0 - (w - 14) / 3.0)
            part = mix(noise_harmonics(rng, lambda f: band_gain(f, 2200, 7000) * (1.0 + 1.5 * math.exp(-((f - 2800) / 600) ** 2)), 60),
                       voiced_harmonics(VOWEL_I, 60, 0.5 * voicing))
        waves.append(wave_from_harmonics(part))
    return waves


def td_teh():
    """"TD 'Teh'": the syllable "teh" as noisy spectra, 33 waves.

    Waves 0-2 are the "t" burst (flat noise from 3 to 8 kHz), waves 3-9 its aspiration (noise
    shaped by the formants of the coming vowel, with wide bandwidths), and from wave 8 on the
    voicing sets in: the vowel "eh" (530/1840/2480 Hz), its breathiness fading out.
    """
    rng = random.Random(3301)
    wide_eh = [(c, b * 3.0) for c, b in VOWEL_EH]
    waves = []
    for w in range(33):
        if w <= 2:
            part = noise_harmonics(rng, lambda f: band_gain(f, 3000, 8000), 62)
        elif w <= 9:
            voicing = max(0.0, (w - 7) / 3.0)
            part = mix(noise_harmonics(rng, lambda f: abs(formant_cascade(f, wide_eh)) * 0.3, 62),
                       voiced_harmonics(VOWEL_EH, 62, voicing))
        else:
            breath = 0.25 * math.exp(-(w - 10) / 5.0)
            part = mix(voiced_harmonics(VOWEL_EH, 62),
                       noise_harmonics(rng, lambda f: abs(formant_cascade(f, wide_eh)) * breath, 62))
        waves.append(wave_from_harmonics(part))
    return waves


def texture1():
    """"Texture 1": a shimmering harmonic cloud, 33 waves.

    48 harmonics under a soft 1/k^0.7 slope; each rises and falls at its own slow rate (0.5 to 2.5
    cycles across the table) and drifts in phase, so scanning the table makes the partials twinkle
    like an ensemble of slightly detuned voices.
    """
    rng = random.Random(3401)
    kmax = 48
    rates = [0.0] + [0.5 + 2.0 * rng.random() for _ in range(kmax)]
    offsets = [0.0] + [TWO_PI * rng.random() for _ in range(kmax)]
    phases = [0.0] + [TWO_PI * rng.random() for _ in range(kmax)]
    drifts = [0.0] + [rng.uniform(-1.0, 1.0) for _ in range(kmax)]
    waves = []
    for w in range(33):
        t = w / 32.0
        harmonics = {}
        for k in range(1, kmax + 1):
            a = (0.55 + 0.45 * math.sin(TWO_PI * rates[k] * t + offsets[k])) / k ** 0.7
            if k == 1:
                a = max(a, 0.8)
            harmonics[k] = (a, phases[k] + TWO_PI * drifts[k] * t)
        waves.append(wave_from_harmonics(harmonics))
    return waves


def texture2():
    """"Texture 2": a glassy, metallic comb sweep, 33 waves.

    96 harmonics under a 1/k^0.5 slope, notched by a moving comb (period 7 harmonics, shifting
    three times across the table, like a slowly turning phaser) and lit by a resonant band that
    rises to harmonic 40 and falls back.
    """
    waves = []
    phases = fixed_phases(3501, 96)
    for w in range(33):
        t = w / 32.0
        band = 6.0 + 34.0 * math.sin(math.pi * t)
        harmonics = {}
        for k in range(1, 97):
            comb = 0.5 + 0.5 * math.cos(TWO_PI * (k / 7.0 + 3.0 * t))
            glow = 1.0 + 3.0 * math.exp(-((k - band) / 4.0) ** 2)
            harmonics[k] = ((0.1 + 0.9 * comb) * glow / k ** 0.5, phases[k])
        waves.append(wave_from_harmonics(harmonics))
    return waves


# "Ladies and gentlemen" as key frames: wave position, formants (F1, F2, F3), voicing, noise, noise
# band (Hz). Nasals carry a low first formant and a damped upper spectrum.
LADIES_FRAMES = [
    (0, (360, 1300, 2700), 1.0, 0.0, (0, 0)),      # l
    (2, (660, 1750, 2450), 1.0, 0.0, (0, 0)),      # ei (start, open)
    (4, (380, 2200, 2800), 1.0, 0.0, (0, 0)),      # ei (end, closing)
    (5, (300, 1800, 2600), 0.3, 0.8, (1500, 4000)),  # d burst
    (6, (280, 2250, 2900), 1.0, 0.0, (0, 0)),      # i
    (7, (280, 2250, 2900), 1.0, 0.0, (0, 0)),      # i
    (8, (300, 1700, 2600), 0.5, 1.0, (4000, 8000)),  # z
    (9, (300, 1700, 2600), 0.5, 1.0, (4000, 8000)),  # z
    (10, (660, 1700, 2400), 1.0, 0.0, (0, 0)),     # a (of "and")
    (11, (620, 1650, 2450), 1.0, 0.0, (0, 0)),
    (12, (250, 1700, 2600), 0.7, 0.0, (0, 0)),     # n
    (13, (300, 2000, 2700), 0.4, 1.0, (2000, 5000)),  # dzh
    (14, (300, 2000, 2700), 0.4, 0.8, (2000, 5000)),
    (15, (550, 1800, 2500), 1.0, 0.0, (0, 0)),     # e
    (17, (530, 1850, 2500), 1.0, 0.0, (0, 0)),
    (18, (250, 1700, 2600), 0.7, 0.0, (0, 0)),     # n
    (19, (400, 1800, 2600), 0.0, 1.0, (3000, 7000)),  # t
    (20, (500, 1500, 2500), 0.8, 0.1, (3000, 7000)),  # schwa
    (21, (360, 1300, 2700), 1.0, 0.0, (0, 0)),     # l
    (22, (250, 1100, 2200), 0.7, 0.0, (0, 0)),     # m
    (23, (250, 1100, 2200), 0.7, 0.0, (0, 0)),
    (24, (500, 1500, 2500), 1.0, 0.0, (0, 0)),     # e (schwa)
    (26, (520, 1550, 2500), 1.0, 0.0, (0, 0)),
    (27, (250, 1700, 2600), 0.7, 0.0, (0, 0)),     # n
    (32, (240, 1600, 2500), 0.5, 0.0, (0, 0)),     # n, fading hum
]


def ladies():
    """"Ladies & Gentlemen": the phrase spoken as a sequence of vocal spectra, 33 waves.

    Key frames give the formants, the voicing and the frication of each sound (l, ei, d, i, z,
    a, n, dzh, e, n, t, l, m, e, n); waves between key frames glide between them as a voice does.
    Nasals have their upper spectrum damped; fricatives and bursts are noise bands.
    """
    rng = random.Random(3601)
    waves = []
    for w in range(33):
        for j in range(len(LADIES_FRAMES) - 1):
            if LADIES_FRAMES[j][0] <= w <= LADIES_FRAMES[j + 1][0]:
                a, b = LADIES_FRAMES[j], LADIES_FRAMES[j + 1]
                break
        t = 0.0 if b[0] == a[0] else (w - a[0]) / (b[0] - a[0])
        formants = [(lerp(a[1][i], b[1][i], t), (70, 100, 160)[i]) for i in range(3)] + [(3400, 250), (4100, 300)]
        voicing = lerp(a[2], b[2], t)
        noise = lerp(a[3], b[3], t)
        low, high = (a[4] if a[3] >= b[3] else b[4])
        nasal = formants[0][0] < 260
        parts = []
        if voicing > 0.0:
            v = voiced_harmonics(formants, 62, voicing)
            if nasal:
                v = {k: (amp * (1.0 if k * F0 < 500 else (500.0 / (k * F0)) ** 2), p) for k, (amp, p) in v.items()}
            parts.append(v)
        if noise > 0.0 and high > 0:
            parts.append(noise_harmonics(rng, lambda f: band_gain(f, low, high), 62, 0.05 * noise))
        waves.append(wave_from_harmonics(mix(*parts)))
    return waves


# Early digital synth single cycles as harmonic amplitude lists (harmonic k -> amplitude), all
# components in sine phase unless a phase is given, as additive wave ROMs were made.

def brass(k):
    return (1.0 / k) * (1.0 + 1.2 * math.exp(-((k - 6.0) / 3.0) ** 2)) if k <= 40 else 0.0


def strings(k):
    return (1.0 / k ** 1.1) * (1.0 + 0.5 * math.exp(-((k - 11.0) / 4.0) ** 2)) if k <= 60 else 0.0


def reed(k):
    return abs(math.sin(math.pi * k * 0.2)) / k if k <= 48 else 0.0


def square(k):
    return (1.0 / k if k % 2 else 0.08 / k) if k <= 48 else 0.0


def saw(k):
    return 1.0 / k if k <= 64 else 0.0


def organ(bars):
    return lambda k: bars.get(k, 0.0)


def voice_ah(k):
    return abs(formant_cascade(k * F0, VOWEL_A)) / k if k <= 40 else 0.0


def voice_oo(k):
    return abs(formant_cascade(k * F0, [(300, 60), (870, 90), (2240, 150)])) / k if k <= 40 else 0.0


def epiano(k):
    return {1: 1.0, 2: 0.35, 3: 0.12, 7: 0.22, 8: 0.1, 14: 0.06}.get(k, 0.0)


def epiano2(k):
    return {1: 1.0, 2: 0.2, 4: 0.12, 9: 0.18, 10: 0.14, 19: 0.05}.get(k, 0.0)


def piano(k):
    return (abs(math.sin(math.pi * k / 7.0)) + 0.05) / k ** 1.2 if k <= 32 else 0.0


def bell(k):
    return {1: 0.5, 4: 0.6, 7: 1.0, 10: 0.45, 11: 0.35, 15: 0.3, 19: 0.18, 23: 0.1}.get(k, 0.0)


def vibes(k):
    return {1: 1.0, 4: 0.45, 10: 0.2, 17: 0.06}.get(k, 0.0)


def clav(k):
    return abs(math.sin(math.pi * k * 0.1)) / k ** 0.7 if k <= 60 else 0.0


def synth_bass(k):
    return (1.0 / k) * (1.0 if k % 2 else 0.5) * math.exp(-k / 12.0) if k <= 40 else 0.0


def flute(k):
    return {1: 1.0, 2: 0.25, 3: 0.12, 4: 0.04}.get(k, 0.0)


def digital(k):
    return {1: 0.7, 9: 0.6, 10: 0.5, 17: 0.4, 18: 0.35, 27: 0.2}.get(k, 0.0)


def clarinet(k):
    return (1.0 / k if k % 2 else 0.03) if k <= 25 else 0.0


ORGAN_1 = {1: 1.0, 2: 0.9, 3: 0.6, 4: 0.5, 6: 0.3, 8: 0.25}
ORGAN_2 = {1: 0.8, 2: 1.0, 4: 0.7, 6: 0.35, 8: 0.5, 10: 0.2, 12: 0.25, 16: 0.15}
ORGAN_3 = {1: 1.0, 3: 0.7, 4: 0.4, 8: 0.3, 12: 0.2, 16: 0.2}


def additive(recipe, kmax=120):
    return wave_from_harmonics({k: (recipe(k), 0.0) for k in range(1, kmax + 1) if recipe(k) > 0.0})


def dw6000():
    """"DW-6000": eight classic early-digital single cycles, 8 waves.

    In order: brass (a saw with a formant bump at harmonics 4-8), strings (a softened saw lifted
    around harmonic 11), electric piano (fundamental with bell partials at 7, 8 and 14), organ
    (drawbars 16', 8', 5 1/3', 4', 2 2/3', 2'), bell (clangorous partials 4, 7, 10, 11, 15, 19),
    reed (a 20 % pulse), voice ("ah" formants) and synth bass (a rounded square).
    """
    recipes = [brass, strings, epiano, organ(ORGAN_1), bell, reed, voice_ah, synth_bass]
    return [additive(r) for r in recipes]


def dw8000():
    """"DW-8000": sixteen early-digital single cycles, 16 waves.

    Sawtooth, square, piano (hammer notches every 7th harmonic), electric piano 1 and 2, three
    organ registrations, brass, strings, clavinet (a thin 10 % pulse-like spectrum), bell,
    vibraphone, voice ("oo" formants), clarinet (odd harmonics) and a metallic digital cluster.
    """
    recipes = [saw, square, piano, epiano, epiano2, organ(ORGAN_1), organ(ORGAN_2), organ(ORGAN_3),
               brass, strings, clav, bell, vibes, voice_oo, clarinet, digital]
    return [additive(r) for r in recipes]


SETS = [
    ("WAVE_DW8000", dw8000, 16),
    ("WAVE_APIANO", acoustic_piano, 33),
    ("WAVE_PIANET", pianet, 33),
    ("WAVE_SLAP_LOW", slap_low, 33),
    ("WAVE_SLAP_HI", slap_high, 33),
    ("WAVE_RE_PWM", re_pwm, 33),
    ("WAVE_RESONANCE", resonance_saw, 33),
    ("WAVE_RECTRESO", resonance_pulse, 33),
    ("WAVE_FM_MP4", fm_cross, 33),
    ("WAVE_FMTSHIFT", formant_shift, 33),
    ("WAVE_A_O_E", a_o_e, 3),
    ("WAVE_GEESH", geesh, 33),
    ("WAVE_TD_TEH", td_teh, 33),
    ("WAVE_TEXTURE1", texture1, 33),
    ("WAVE_TEXTURE2", texture2, 33),
    ("WAVE_LADIES", ladies, 33),
    ("WAVE_DW6000", dw6000, 8),
]


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, make, count in SETS:
        waves = make()
        if len(waves) != count or any(len(w) != N for w in waves):
            sys.stderr.write("%s: expected %d waves of %d samples\n" % (name, count, N))
            return 1
        data = to_bytes(waves)
        path = os.path.join(outdir, name + ".raw")
        # Write through a temporary file so that an interrupted run leaves no half file behind.
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
