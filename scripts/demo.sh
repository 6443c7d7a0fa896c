#!/usr/bin/env bash
# Builds everything and starts the panel against the simulated board on a pseudo-terminal.
# Usage: scripts/demo.sh [more sensor-panel options, e.g. --log PATH]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec build/default/sensor-panel --demo "$@"
