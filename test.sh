#!/usr/bin/env bash
# Builds (installing what is missing) and runs every test; exits non-zero on any failure.
#   ./test.sh               the normal build, all tests (what CI runs)
#   ./test.sh --sanitize    the suite under AddressSanitizer + UndefinedBehaviorSanitizer
#   ./test.sh --tsan        the suite under ThreadSanitizer
#   ./test.sh --bench       build, then run the benchmarks (about half an hour: the clock benchmark
#                           plays its jittered master for three minutes at each JACK period)
#   ./test.sh --fuzz [SEC] [TARGET]  run a fuzzer (default song_file) for SEC seconds (default 60)
set -euo pipefail
cd "$(dirname "$0")"
mode="${1:-}"

case "$mode" in
  ""|--sanitize|--tsan)
    ./setup.sh $mode
    build=build; [ "$mode" = "--sanitize" ] && build=build-asan; [ "$mode" = "--tsan" ] && build=build-tsan
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
    export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
    # die_after_fork=0: the program starts the desktop-database tools through fork + exec.
    export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$PWD/tests/tsan.supp}"
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
    ;;
  --bench)
    ./setup.sh
    ./build/bench/song_file_bench
    ./build/bench/history_bench
    ./build/bench/row_clock_bench
    ./build/bench/midi_import_bench
    ./build/bench/render_bench
    ./build/bench/midi_timing_bench
    if [ -x ./build/bench/clock_follow_bench ]; then ./build/bench/clock_follow_bench; fi
    if [ -x ./build/bench/grid_paint_bench ]; then
      QT_QPA_PLATFORM=offscreen ./build/bench/grid_paint_bench
      QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" ./build/bench/ui_clock_bench
    fi
    ;;
  --fuzz)
    # ./test.sh --fuzz [SECONDS] [TARGET]: TARGET is song_file (default), midi_import, xm_import, ...
    ./setup.sh --fuzz
    seconds="${2:-60}"
    target="${3:-song_file}"
    seeds="fuzz/seeds/$target"
    # An input that breaks the target lands where the damage tests load it from.
    case "$target" in
      midi_import) finds=tests/exchange/regressions/midi ;;
      xm_import) finds=tests/exchange/regressions/xm ;;
      song_file) finds=tests/robustness/regressions ;;
      *) finds=build-fuzz ;;
    esac
    mkdir -p "build-fuzz/corpus-$target" "$seeds" "$finds"
    "./build-fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=512 -malloc_limit_mb=256 \
      -artifact_prefix="$finds/$target-" "build-fuzz/corpus-$target" "$seeds"
    ;;
  *) echo "unknown option: $mode" >&2; exit 2 ;;
esac
