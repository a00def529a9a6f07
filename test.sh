#!/usr/bin/env bash
# Sets up, builds and runs every test: ./test.sh
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh
cd build
ctest --output-on-failure -j2 --timeout 600
