#!/usr/bin/env bash
# Configures and builds: build.sh DIR [CMake cache arguments...]
# BUILD_TARGETS="a b" builds only those targets.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"
shift
mkdir -p "$dir"
cmake -S "$root" -B "$dir" -G Ninja "$@" > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; exit 1; }
if [ -n "${BUILD_TARGETS:-}" ]; then
  # shellcheck disable=SC2086
  cmake --build "$dir" -j 2 --target $BUILD_TARGETS
else
  cmake --build "$dir" -j 2
fi
