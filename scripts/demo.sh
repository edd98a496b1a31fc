#!/usr/bin/env bash
# Builds the plug-in and the render host (release) and renders the demo piece through the built
# plug-in into demo.wav, with a warm poly patch: a saw with a slowly moving shape, an electric-piano
# table a few cents above it and a sine an octave below, through a gently resonant Lowpass 24 that
# its envelope opens at each note, and a little chorus.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/release}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTARVOLIN_BUILD_TESTS=OFF -DTARVOLIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
patch=(
  "Number of Voices:=16" "Volume:=0.32" "Amp Velocity:=0.4"
  "Wave Table 1:=0" "Wave Shape 1:=0.12" "14:=0.15" "15:=MG1" "MG 1 Frequency:=0.6"
  "Wave Table 2:=23" "Tune 2:=0.09"
  "Wave Table 3:=4" "Octave 3:=16'"
  "Level Osc 1:=1" "Level Osc 2:=0.8" "Level Osc 3:=0.6" "Pan Osc 1:=0.35" "Pan Osc 2:=0.65"
  "Filter Cutoff:=0.7" "Filter Resonance:=0.2" "Filter Keyboard Track:=0.5" "Filter EG Intensity:=0.45"
  "Filter EG Attack:=0.02" "Filter EG Decay:=0.45" "Filter EG Sustain:=0.3" "Filter EG Release:=0.35"
  "Amp EG Attack:=0.06" "Amp EG Decay:=0.45" "Amp EG Sustain:=0.7" "Amp EG Release:=0.38"
  "Chorus:=On" "Chorus Depth:=0.35" "Chorus Speed:=0.45" "Chorus Mix:=0.3"
)
args=()
for p in "${patch[@]}"; do args+=(--param "$p"); done
# Program 64 ("Init", the defaults) is the starting point of the patch.
"$BUILD/tarvolin-render" "$BUILD/Tarvolin64.so" --midi tools/demo/demo.mid --out demo.wav --program 63 "${args[@]}"
