#!/usr/bin/env bash
# Builds and runs every test: release, AddressSanitizer + UndefinedBehaviorSanitizer, ThreadSanitizer
# (concurrency tests), the 32-bit plug-in with its binary-interface tests (under qemu-i386 where the
# kernel cannot run i386 programs) and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-10}
ROOT=${BUILD_ROOT:-build}

STARTED=$SECONDS
step() { printf '\n==== %s (at %d s) ====\n' "$*" $((SECONDS - STARTED)); }

configure_build() {  # dir, cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$JOBS"
}

# The editor's window tests need an X server: a virtual one of our own (display XVFB_DISPLAY, :99 by
# default) for the release and sanitizer steps, stopped when the script ends. Without Xvfb they skip.
XVFB_PID=""
stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=""
}
trap stop_xvfb EXIT
XVFB_DISPLAY=${XVFB_DISPLAY:-:99}
if command -v Xvfb >/dev/null 2>&1; then
  Xvfb "$XVFB_DISPLAY" -screen 0 1600x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=$XVFB_DISPLAY
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${XVFB_DISPLAY#:}" ] && break; sleep 0.05; done
else
  echo "NOTE: Xvfb is not installed: the editor window tests skip"
  unset DISPLAY
fi

step "release build and tests"
# install-deps installs the editor's libraries for 64 bits: a release without the editor is a fault.
configure_build "$ROOT/release" -DCMAKE_BUILD_TYPE=Release -DTARVOLIN_EDITOR=ON
(cd "$ROOT/release" && ctest --output-on-failure -j"$JOBS")

step "exported symbols"
syms=$(nm -D --defined-only "$ROOT/release/Tarvolin64.so" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$syms" = "VSTPluginMain main " ] || { echo "unexpected exports: $syms"; exit 1; }

step "AddressSanitizer + UndefinedBehaviorSanitizer"
configure_build "$ROOT/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLIN_SANITIZE=address \
  -DTARVOLIN_BUILD_BENCH=OFF -DTARVOLIN_EDITOR=ON
(cd "$ROOT/asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$JOBS")

step "ThreadSanitizer (concurrency tests)"
configure_build "$ROOT/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLIN_SANITIZE=thread \
  -DTARVOLIN_BUILD_BENCH=OFF -DTARVOLIN_BUILD_TOOLS=OFF -DTARVOLIN_EDITOR=ON
(cd "$ROOT/tsan" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R 'Concurrency')

stop_xvfb
unset DISPLAY

step "32-bit plug-in"
# install-deps leaves the i386 libraries out only when the package mirror cannot serve them.
if [ -e /usr/lib/i386-linux-gnu/pkgconfig/fftw3f.pc ]; then
  # The editor comes along where its i386 libraries are installed (TARVOLIN_EDITOR=AUTO).
  if [ -e /usr/lib/i386-linux-gnu/pkgconfig/cairo.pc ] && [ -e /usr/lib/i386-linux-gnu/pkgconfig/fontconfig.pc ] &&
     [ -e /usr/lib/i386-linux-gnu/pkgconfig/xcb.pc ]; then
    echo "32-bit library with the editor"
  else
    echo "NOTE: the i386 editor libraries are not installed: the 32-bit library is built without the editor"
  fi
  configure_build "$ROOT/i386" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake \
    -DCMAKE_BUILD_TYPE=Release -DTARVOLIN_BUILD_TOOLS=OFF -DTARVOLIN_BUILD_BENCH=OFF
  syms=$(nm -D --defined-only "$ROOT/i386/Tarvolin.so" | awk '{print $3}' | sort | tr '\n' ' ')
  [ "$syms" = "VSTPluginMain main " ] || { echo "unexpected exports: $syms"; exit 1; }
  run32() { if "$@" --gtest_list_tests >/dev/null 2>&1; then "$@"; else TARVOLIN_EMULATED=1 qemu-i386 "$@"; fi; }
  # The emulator runs one thread of a program at a time, so the unit tests go in two processes side
  # by side: the factory bank's loudness (the longest by far) and all the others. The bank's history
  # test renders the whole bank twice more and checks nothing particular to 32 bits: the native
  # steps above run it.
  parts=("FactoryBankSound.EveryProgram*" "-FactoryBankSound.*")
  part_rc=0; part_pids=()
  for i in "${!parts[@]}"; do
    run32 "$ROOT/i386/tarvolin_tests" --gtest_brief=1 --gtest_filter="${parts[$i]}" >"$ROOT/i386/part$i.log" 2>&1 &
    part_pids+=($!)
    [ "$JOBS" -gt 1 ] || { wait "${part_pids[$i]}" || part_rc=1; }
  done
  for i in "${!part_pids[@]}"; do
    if [ "$JOBS" -gt 1 ]; then wait "${part_pids[$i]}" || part_rc=1; fi
    cat "$ROOT/i386/part$i.log"
  done
  [ "$part_rc" = 0 ] || { echo "32-bit unit tests failed"; exit 1; }
  if [ -x "$ROOT/i386/tarvolin_abi_tests" ]; then run32 "$ROOT/i386/tarvolin_abi_tests" --gtest_brief=1; fi
  run32 "$ROOT/i386/tarvolin_audio_path_tests" --gtest_brief=1
  # MTS-ESP: one process per scenario, as ctest runs them.
  TARVOLIN_LIBMTS="$ROOT/i386/no-such-dir/libMTS.so" run32 "$ROOT/i386/tarvolin_mts_tests" --gtest_brief=1 \
    --gtest_filter='MtsWithoutLibrary.*'
  for t in WithoutAMasterNothingChanges AMasterTunesNewNotes AFilteredNoteStartsNoVoiceAndItsNoteOffDoesNoHarm; do
    TARVOLIN_LIBMTS="$ROOT/i386/libMTS-standin.so" run32 "$ROOT/i386/tarvolin_mts_tests" --gtest_brief=1 \
      --gtest_filter="MtsStandIn.$t"
  done
else
  echo "SKIPPED: the i386 FFTW library is not installed (see install-deps.sh's messages)"
fi

step "fuzz targets (${FUZZ_SECONDS}s each)"
if ls fuzz/*.cpp >/dev/null 2>&1; then
  cmake -S . -B "$ROOT/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link" \
    -DCMAKE_C_FLAGS="-fsanitize=address,undefined,fuzzer-no-link" \
    -DTARVOLIN_BUILD_FUZZ=ON -DTARVOLIN_BUILD_TESTS=OFF -DTARVOLIN_BUILD_TOOLS=OFF \
    -DTARVOLIN_BUILD_BENCH=OFF >/dev/null
  # Only the fuzz targets: the plug-in module cannot link against the sanitizer runtimes here.
  targets=()
  for src in fuzz/*.cpp; do targets+=("fuzz_$(basename "$src" .cpp)"); done
  cmake --build "$ROOT/fuzz" -j"$JOBS" --target "${targets[@]}"
  for f in "$ROOT"/fuzz/fuzz_*; do
    name=$(basename "$f"); corpus="fuzz/corpus/${name#fuzz_}"
    mkdir -p "$ROOT/fuzz/work/$name"
    args=("$ROOT/fuzz/work/$name")
    [ -d "$corpus" ] && args+=("$corpus")
    echo "-- $name"
    "$f" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "${args[@]}" 2>&1 | tail -n 2
  done
fi

step "all tests passed"
