#!/usr/bin/env bash
# Installs what is missing, builds a release and starts Zelvora.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release
cmake --build --preset release
exec build/release/bin/zelvora
