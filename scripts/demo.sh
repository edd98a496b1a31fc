#!/usr/bin/env bash
# Builds the plug-in and the render host (release) and renders the demo piece through the built
# plug-in into demo.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build/release}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTARVOLIN_BUILD_TESTS=OFF -DTARVOLIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
"$BUILD/tarvolin-render" "$BUILD/Tarvolin64.so" --midi tools/demo/demo.mid --out demo.wav
