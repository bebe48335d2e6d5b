#!/usr/bin/env bash
# A newcomer's first command: installs what the project needs, builds it, and
# renders the built-in demo clip.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
cmake --preset native
cmake --build build
# The demo refuses to overwrite: clear what an earlier setup's demo wrote.
rm -f taviron-demo/input.000[1-9].png taviron-demo/output.000[1-9].png taviron-demo/comparison.png
build/bin/taviron demo
