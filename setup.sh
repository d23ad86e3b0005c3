#!/usr/bin/env bash
# Installs the Debian packages Varnel needs (only the missing ones), then configures and builds.
#   ./setup.sh                  build into build/
#   ./setup.sh --sanitize       ASan + UBSan build into build-asan/
#   ./setup.sh --tsan           ThreadSanitizer build into build-tsan/
#   ./setup.sh --fuzz           clang + libFuzzer build into build-fuzz/
set -euo pipefail
cd "$(dirname "$0")"

packages=(
  g++ cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  librtmidi-dev libfluidsynth-dev timgm6mb-soundfont
  jackd2 rt-tests
  fluidsynth python3-mido midicsv
  qt6-base-dev qt6-qpa-plugins libqt6svg6 fonts-dejavu-core
  xvfb xauth xdotool x11-apps netpbm
  shared-mime-info desktop-file-utils
)
mode="${1:-}"
if [ "$mode" = "--fuzz" ]; then packages+=(clang libclang-rt-14-dev); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=build
flags=(-DVARNEL_WARNINGS_AS_ERRORS=ON)
case "$mode" in
  "") ;;
  --sanitize) build=build-asan; flags+=(-DVARNEL_SANITIZE=address -DVARNEL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  --tsan) build=build-tsan; flags+=(-DVARNEL_SANITIZE=thread -DVARNEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  --fuzz) build=build-fuzz; flags+=(-DVARNEL_FUZZ=ON -DVARNEL_TESTS=OFF -DVARNEL_BENCH=OFF
            -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  *) echo "unknown option: $mode" >&2; exit 2 ;;
esac

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
fi
cmake --build "$build" -j "$(nproc)"
