#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure --timeout 900
