#!/usr/bin/env bash
# Sets up, builds and starts the editor: ./run.sh [picture]
set -euo pipefail
cd "$(dirname "$0")"
scripts/build.sh
exec build/tolvane "$@"
