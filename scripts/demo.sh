#!/usr/bin/env bash
# Builds the panel's core and decodes a sample capture that it makes itself.
# Usage: scripts/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target sensor-decode

# Three frames as the board sends them: module readings 255/300, 10/0, 700/65535.
sample=build/sample-capture.bin
printf '\x41\xff\x01\x2c\x70\x8a\x55\x66\x45\xbc\xff\xff\x09\x80\x48\x80\x00' >"$sample"
printf '\x41\xff\x01\x2c\x70\x8a\x55\x66\x45\xbc\xff\xff\x09\x80\x48\x80\x00' >>"$sample"
printf '\x41\xff\x01\x2c\x70\x8a\x55\x66\x45\xbc\xff\xff\x09\x80\x48\x80\x00' >>"$sample"
echo "Decoded $sample (Text1(0) to Text1(15) per frame):"
build/default/sensor-decode "$sample"
