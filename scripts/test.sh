#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test, then runs the engine's
# tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2
# The engine's threads under ThreadSanitizer.
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan -j2
