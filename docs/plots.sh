#!/usr/bin/env bash
# Regenerates docs/*.png from the programs' own output.
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/hsum/hsum" -L512 1 1 0 > "$work/sine.f32"
"$build/hsum/hsum" -L512 1 1 0 3 0.3333 0 5 0.2 0 7 0.1429 0 9 0.1111 0 > "$work/square.f32"
"$build/hsum/hsum" -L512 1 1 0 2 0.5 0 3 0.3333 0 4 0.25 0 5 0.2 0 6 0.1667 0 > "$work/sawtooth.f32"
"$build/rtab/rtab" -L512 > "$work/noise.f32"
(cd "$work" && gnuplot "$OLDPWD/plots.gnuplot")
cp "$work"/*.png .
echo "plots: docs/{sine,square,sawtooth,noise}.png"
