#!/usr/bin/env bash
# Installs what is missing, builds a release and starts Zelvora. Until the
# window is built this runs the command-line cutter on a generated demo song.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release
cmake --build --preset release
bash scripts/demo.sh build/release/bin
