#!/usr/bin/env bash
# Configures and builds the project into a build directory (default: build/).
#   scripts/build.sh [BUILD_DIR] [extra cmake -D options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
