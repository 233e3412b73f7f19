#!/usr/bin/env bash
# Runs the README's examples against a build and checks what they give.
set -euo pipefail
build=${1:?build directory}
export PATH=$PWD/$build/hsum:$PWD/$build/rtab:$PATH
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A 440 Hz tone of one second at 48 kHz, as a WAV file.
hsum -L48000 440 1 0 | sox -t f32 -r 48000 -c 1 - tone.wav
[ "$(soxi -s tone.wav)" = 48000 ] && [ "$(soxi -r tone.wav)" = 48000 ]

# A band-limited square wave from odd harmonics, and white noise.
hsum -L4096 1 1 0 3 0.333333 0 5 0.2 0 7 0.142857 0 > square.f32
rtab -L48000 | sox -t f32 -r 48000 -c 1 - noise.wav
[ "$(stat -c %s square.f32)" = 16384 ] && [ "$(soxi -s noise.wav)" = 48000 ]

# Reading a table in numpy, in the host's (little-endian) byte order.
/usr/bin/python3 - <<'PY'
import numpy
square = numpy.fromfile("square.f32", dtype=numpy.float32)
assert square.shape == (4096,) and abs(square[1024] - 0.9) < 0.2
assert numpy.dtype(numpy.float32).byteorder in "=<"
PY
hsum -L4 1 1 0 | od -An -tx1 | grep -q '00 00 80 3f'
echo "examples: ok"
