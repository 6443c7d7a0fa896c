#!/usr/bin/env bash
# Builds the panel alone (a first start stays quick) and starts it on the simulated board.
# Usage: scripts/demo.sh [more sensor-panel options, e.g. --log PATH]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target sensor-panel
exec build/default/sensor-panel --demo "$@"
