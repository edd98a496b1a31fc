#pragma once

// How a modulation amount a (-1 ... 1) and a source value s combine at each kind of destination. A
// negative amount inverts a unipolar source instead of subtracting it in the gain-like rules.
class ModulationRouting {
 public:
  // Oscillator pitch, wave shape, linear-FM depth, filter cutoff: a plain product.
  static double Offset(double amount, double source) { return amount * source; }

  // Oscillator amplitude, voice amplitude (Amp AM) and the AM factor of oscillator 1.
  static double Gain(double amount, double source) {
    return amount >= 0.0 ? (source - 1.0) * amount + 1.0 : amount * source + 1.0;
  }

  // Scale of a generator's output as a source (MG 1 Mod, MG 2 Mod, Vibrato Mod).
  static double GeneratorLevel(double amount, double source) {
    return amount >= 0.0 ? amount * source : amount * (source - 1.0);
  }

  // Level of an envelope as a source (Filter EG Mod, Amp EG Mod, Lin EG 1/2 Mod).
  static double EnvelopeLevel(double amount, double source) {
    return (amount < 0.0 ? -amount : amount) * source;
  }

  // The envelope's source value: its output, inverted (1 - output) for a negative amount.
  static double EnvelopeSource(double amount, double level, double output) {
    return (amount < 0.0 ? 1.0 - output : output) * level;
  }

  // Positive (unipolar) form of a bipolar value.
  static double Positive(double value) { return value * 0.5 + 0.5; }
};
