#!/usr/bin/env bash
# A newcomer's first command: installs what the project needs, builds it, and
# renders the built-in demo clip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
cmake -S . -B build -G Ninja
cmake --build build
build/bin/taviron demo
